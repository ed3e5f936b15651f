// Win+Shift+D: one keystroke to start drawing on the monitor under the cursor, or to stop.
#pragma once

#include <windows.h>

inline constexpr int kDrawKeyId = 1;

// Registers the key for the main window; false when another program holds it.
bool registerDrawKey(HWND mainWindow);
void unregisterDrawKey(HWND mainWindow);
// WM_HOTKEY: opens an overlay at once, or closes the open one as Esc does; nothing while a menu,
// dialog or message box of the program is open.
void onDrawKey();
