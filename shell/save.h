// Saving what the overlay shows as a BMP file, and the save dialog's record.
#pragma once

#include <windows.h>

void initSaveDialogRecord(HWND owner);
void saveCanvasAsBmp();

// Writes what window shows, at the screen size of this moment, as a 24-bit BMP.
bool writeWindowPicture(HWND window, HDC windowDc, const wchar_t* path);
