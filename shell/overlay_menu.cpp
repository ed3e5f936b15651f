#include "overlay_menu.h"

#include "app_state.h"
#include "menus.h"

using namespace tovrel;

Request showOverlayMenu(HWND overlay) {
    CommandId id = 0;
    {
        UniqueMenu menu(buildMenu(MenuKind::Overlay));
        id = trackMenuAtCursor(menu.get(), overlay, TPM_LEFTALIGN);
    }
    return dispatchCommand(MenuKind::Overlay, id, g_settings, g_drag);
}
