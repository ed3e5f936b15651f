// The full-screen window that shows the frozen screen and takes the drawing.
#pragma once

#include <windows.h>

// Freezes the screen into a new overlay; with one already open, brings it to the front.
void openOverlay();
// Discards the open overlay and its drawing; does nothing when none is open.
void closeOverlay();

// The open overlay's window, or null when none is open.
HWND overlayWindow();
