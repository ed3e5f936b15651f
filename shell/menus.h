// Popup menus built from the core's layouts.
#pragma once

#include <windows.h>

#include "settings.h"

// A new popup menu with its submenus, items in layout order, ids of that menu.
HMENU buildMenu(tovrel::MenuKind kind);

// Tracks menu at the cursor and returns the chosen identifier, 0 if none.
tovrel::CommandId trackMenuAtCursor(HMENU menu, HWND owner, UINT alignment);
