// The overlay's right-click menu.
#pragma once

#include <windows.h>

void showOverlayMenu(HWND overlay);
