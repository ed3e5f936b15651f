// The tray and overlay menus as built for the platform, read back item by item.
#include "menus.h"

#include "app_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tovrel;

namespace {

struct Item {
    UINT type;
    UINT id;
    std::wstring label;
    HMENU submenu;
};

std::vector<Item> readMenu(HMENU menu) {
    std::vector<Item> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t label[64] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
        info.dwTypeData = label;
        info.cch = 64;
        EXPECT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info));
        // Wine reports separators as greyed; only items the user can choose must be enabled.
        if (!(info.fType & MFT_SEPARATOR)) {
            EXPECT_EQ(info.fState & (MFS_CHECKED | MFS_DISABLED), 0u) << "item " << i;
        }
        items.push_back({info.fType, info.wID, label, info.hSubMenu});
    }
    return items;
}

void expectCommands(const std::vector<Item>& items, std::size_t& at,
                    std::span<const MenuCommand> commands, MenuKind kind) {
    for (const MenuCommand& command : commands) {
        ASSERT_LT(at, items.size());
        const Item& item = items[at++];
        EXPECT_EQ(item.type, MFT_STRING);
        EXPECT_EQ(item.id, commandId(command, kind));
        EXPECT_EQ(item.label, wide(command.label));
        EXPECT_EQ(item.submenu, nullptr);
    }
}

void expectMenuFollowsLayout(MenuKind kind) {
    UniqueMenu menu(buildMenu(kind));
    const std::vector<Item> items = readMenu(menu.get());
    std::size_t at = 0;
    for (const MenuEntry& entry : menuLayout(kind)) {
        switch (entry.kind) {
        case EntryKind::Separator:
            ASSERT_LT(at, items.size());
            EXPECT_EQ(items[at++].type, MFT_SEPARATOR);
            break;
        case EntryKind::Submenu: {
            ASSERT_LT(at, items.size());
            const Item& popup = items[at++];
            EXPECT_EQ(popup.label, wide(entry.submenuLabel));
            ASSERT_NE(popup.submenu, nullptr);
            const std::vector<Item> sub = readMenu(popup.submenu);
            std::size_t subAt = 0;
            expectCommands(sub, subAt, entry.commands, kind);
            EXPECT_EQ(subAt, sub.size());
            break;
        }
        default: expectCommands(items, at, entry.commands, kind); break;
        }
    }
    EXPECT_EQ(at, items.size());
}

} // namespace

TEST(Menus, TrayMenuHasEveryItemOfItsLayoutInOrder) {
    expectMenuFollowsLayout(MenuKind::Tray);
}

// The overlay's colour and width ids exceed 16 bits and must survive whole.
TEST(Menus, OverlayMenuKeepsThirtyTwoBitIdentifiers) {
    expectMenuFollowsLayout(MenuKind::Overlay);
    UniqueMenu menu(buildMenu(MenuKind::Overlay));
    HMENU colours = GetSubMenu(menu.get(), 9);
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(GetMenuItemID(colours, 6), 110107u);
}
