#include "draw_key.h"

#include "app_state.h"
#include "overlay.h"

bool registerDrawKey(HWND mainWindow) {
    return RegisterHotKey(mainWindow, kDrawKeyId, MOD_WIN | MOD_SHIFT | MOD_NOREPEAT, 'D') != 0;
}

void unregisterDrawKey(HWND mainWindow) {
    UnregisterHotKey(mainWindow, kDrawKeyId);
}

void onDrawKey() {
    if (g_modalLoops > 0) return;
    if (overlayWindow()) return closeOverlay();
    if (g_settings.tool == tovrel::ToolNone) g_settings.tool = tovrel::ToolPen;
    openOverlayUnderCursor();
}
