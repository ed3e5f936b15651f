// Which monitor an overlay covers. The layout is read each time: monitors come and go, and may lie
// left of or above the primary, at negative screen coordinates.
#pragma once

#include <windows.h>

// The primary monitor's rectangle, its top-left corner at the screen's origin.
RECT primaryMonitor();
// The rectangle of the monitor under the mouse cursor.
RECT monitorUnderCursor();
// A picture of width x height that was frozen at origin: its monitor's rectangle if a monitor with
// exactly that rectangle is still there; otherwise its size at the primary's top-left corner.
RECT monitorFor(POINT origin, int width, int height);
// The dots per inch of the monitor the window is on (96 where the system cannot tell).
int dpiOf(HWND window);
