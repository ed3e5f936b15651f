#include "overlay_menu.h"

#include "app_state.h"
#include "menus.h"
#include "overlay.h"
#include "save.h"

using namespace tovrel;

void showOverlayMenu(HWND overlay) {
    CommandId id = 0;
    {
        UniqueMenu menu(buildMenu(MenuKind::Overlay));
        id = trackMenuAtCursor(menu.get(), overlay, TPM_LEFTALIGN);
    }
    switch (dispatchCommand(MenuKind::Overlay, id, g_settings, g_drag)) {
    case Request::CloseOverlay: closeOverlay(); break;
    case Request::Save: saveCanvasAsBmp(); break;
    default: break;
    }
}
