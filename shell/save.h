// Saving the drawing as a BMP file: the save dialog and its record, the failure message, and
// the picture's conversion to the file.
#pragma once

#include <windows.h>

void initSaveDialogRecord(HWND owner);
// Asks for a file name; the chosen path, or null when the user cancelled or the dialog failed
// (which it reports itself).
const wchar_t* askSavePath();
void reportSaveFailure();

// Writes the width x height picture of bitmap, which no DC may hold, as a 24-bit BMP file.
bool writeBitmapAsBmp(HDC dc, HBITMAP bitmap, int width, int height, const wchar_t* path);
