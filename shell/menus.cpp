#include "menus.h"

#include "app_state.h"

using namespace tovrel;

namespace {

void appendCommands(HMENU menu, std::span<const MenuCommand> commands, MenuKind kind) {
    for (const MenuCommand& command : commands)
        AppendMenuW(menu, MF_STRING, commandId(command, kind), wide(command.label));
}

} // namespace

HMENU buildMenu(MenuKind kind) {
    HMENU menu = CreatePopupMenu();
    for (const MenuEntry& entry : menuLayout(kind)) {
        switch (entry.kind) {
        case EntryKind::Command:
        case EntryKind::Commands: appendCommands(menu, entry.commands, kind); break;
        case EntryKind::Separator: AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); break;
        case EntryKind::Submenu: {
            HMENU submenu = CreatePopupMenu();
            appendCommands(submenu, entry.commands, kind);
            AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu),
                        wide(entry.submenuLabel));
            break;
        }
        }
    }
    return menu;
}

CommandId trackMenuAtCursor(HMENU menu, HWND owner, UINT alignment) {
    POINT cursor{};
    GetCursorPos(&cursor);
    InModalLoop modal;
    // With TPM_RETURNCMD the whole 32-bit identifier comes back, not a WM_COMMAND word.
    const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | alignment, cursor.x,
                                       cursor.y, 0, owner, nullptr);
    return static_cast<CommandId>(chosen);
}
