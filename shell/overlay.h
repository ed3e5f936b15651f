// The full-screen window that shows the frozen screen and takes the drawing.
#pragma once

#include <windows.h>

// Sent to the main window once Ctrl+S has saved the picture and closed the overlay; lParam is the
// file's full path, valid during the call.
inline constexpr UINT WM_PICTURESAVED = WM_USER + 101;

// Freezes the primary monitor into a new overlay, half a second after the tray menu has closed;
// with one already open, brings it to the front.
void openOverlay();
// Freezes the monitor under the cursor into a new overlay at once, in the same way.
void openOverlayUnderCursor();
// Discards the open overlay; does nothing when none is open. Its picture is kept for
// bringBackOverlay if anything was drawn on it, in place of any picture kept before.
void closeOverlay();
// Opens the overlay again on the picture kept, at once and at its own size, on the monitor it was
// frozen on if that is still there, else at the primary's top-left corner; does nothing while an
// overlay is open or nothing is kept.
void bringBackOverlay();
// Discards any overlay without keeping its picture, and forgets the picture kept.
void forgetPictures();

// The open overlay's window, or null when none is open.
HWND overlayWindow();
