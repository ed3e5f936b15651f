#include "app_state.h"

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
tovrel::DrawingSettings g_settings;
tovrel::DragState g_drag;
int g_modalLoops = 0;
