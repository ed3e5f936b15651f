#include "app_state.h"

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
// The manifest declares DPI awareness, so these are physical pixels.
const ScreenSize g_screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
tovrel::DrawingSettings g_settings;
tovrel::DragState g_drag;
