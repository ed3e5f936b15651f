// The overlay's right-click menu.
#pragma once

#include <windows.h>

#include "settings.h"

// Applies a setting chosen there, and names what the overlay must do next.
tovrel::Request showOverlayMenu(HWND overlay);
