// Saving what the overlay shows as a BMP file, and the save dialog's record.
#pragma once

#include <windows.h>

void initSaveDialogRecord(HWND owner);
void saveCanvasAsBmp();
