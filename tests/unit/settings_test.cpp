#include "settings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tovrel {
namespace {

constexpr DragState kDragged = {{12, 34}, {5, 6}, {7, 8}};

auto fields(const DrawingSettings& s) {
    return std::tuple{s.tool, s.penColour, s.penStyle, s.penWidth};
}

auto fields(const DragState& d) {
    return std::tuple{d.start.x,        d.start.y,      d.lastFreehand.x,
                      d.lastFreehand.y, d.lastRubber.x, d.lastRubber.y};
}

TEST(Settings, StartValues) {
    EXPECT_EQ(fields(DrawingSettings{}), fields(DrawingSettings{ToolNone, 0x000000, 0, 1}));
}

TEST(Dispatch, ColourItemsSetThePenColourFromBothMenus) {
    const std::pair<CommandId, ColorRef> colours[] = {
        {10101, 0x000000}, {10102, 0x00FF00}, {10103, 0xFF0000}, {10104, 0x0000FF},
        {10105, 0x00FFFF}, {10106, 0xFFFFFF}, {10107, 0xFF008B}};
    for (auto [trayId, colour] : colours) {
        for (auto [menu, id] :
             {std::pair{MenuKind::Tray, trayId}, std::pair{MenuKind::Overlay, trayId + 100000}}) {
            DrawingSettings settings{ToolLine, 0x123456, PenStyleDash, 2};
            DragState drag = kDragged;
            EXPECT_EQ(dispatchCommand(menu, id, settings, drag), Request::SettingsChanged) << id;
            EXPECT_EQ(fields(settings), fields(DrawingSettings{ToolLine, colour, PenStyleDash, 2}))
                << id;
            EXPECT_EQ(fields(drag), fields(kDragged)) << id;
        }
    }
}

// Nothing sets the width back to 1, and style and width are independent.
TEST(Dispatch, WidthItemsChangeOnlyTheirOwnField) {
    for (MenuKind menu : {MenuKind::Tray, MenuKind::Overlay}) {
        const CommandId thin = menu == MenuKind::Tray ? 20101 : 210101;
        const CommandId dashed = thin + 1, thick = thin + 2;
        DrawingSettings settings;
        DragState drag;
        for (CommandId id : {thick, thin})
            EXPECT_EQ(dispatchCommand(menu, id, settings, drag), Request::SettingsChanged);
        EXPECT_EQ(fields(settings), fields(DrawingSettings{ToolNone, 0, PenStyleSolid, 2}));
        settings = {};
        for (CommandId id : {dashed, thick})
            EXPECT_EQ(dispatchCommand(menu, id, settings, drag), Request::SettingsChanged);
        EXPECT_EQ(fields(settings), fields(DrawingSettings{ToolNone, 0, PenStyleDash, 2}));
    }
}

TEST(Dispatch, ToolItemsSetTheToolAndResetStart) {
    const std::int32_t tools[] = {ToolRectangle, ToolEllipse, ToolPen, ToolLine, ToolArrow};
    for (std::int32_t tool : tools) {
        for (auto [menu, id, request] :
             {std::tuple{MenuKind::Tray, CommandId(1000 + tool), Request::OpenOverlay},
              std::tuple{MenuKind::Overlay, CommandId(11000 + tool), Request::SettingsChanged}}) {
            DrawingSettings settings{ToolNone, 0xFF0000, PenStyleDash, 2};
            DragState drag = kDragged;
            EXPECT_EQ(dispatchCommand(menu, id, settings, drag), request) << id;
            EXPECT_EQ(fields(settings), fields(DrawingSettings{tool, 0xFF0000, PenStyleDash, 2}));
            DragState reset = kDragged;
            reset.start = {};
            EXPECT_EQ(fields(drag), fields(reset)) << id;
        }
    }
}

// Requests leave the settings alone; so does every identifier a menu does not
// hold: 0 (dismissed), the other menu's ids, and ids equal to real ones in
// their low 16 bits only.
TEST(Dispatch, OtherIdentifiersOnlyMakeTheirRequest) {
    const std::tuple<MenuKind, CommandId, Request> cases[] = {
        {MenuKind::Tray, 1003, Request::CloseOverlay},
        {MenuKind::Overlay, 11003, Request::CloseOverlay},
        {MenuKind::Overlay, 11011, Request::Save},
        {MenuKind::Tray, 1013, Request::ShowAbout},
        {MenuKind::Tray, 1012, Request::Exit},
        {MenuKind::Tray, 0, Request::None},
        {MenuKind::Overlay, 0, Request::None},
        {MenuKind::Tray, 1009, Request::None},
        {MenuKind::Tray, 11011, Request::None},
        {MenuKind::Tray, 110101, Request::None},
        {MenuKind::Overlay, 1003, Request::None},
        {MenuKind::Overlay, 1013, Request::None},
        {MenuKind::Overlay, 10101, Request::None},
        {MenuKind::Overlay, 110101 & 0xFFFF, Request::None},
        {MenuKind::Overlay, 110101 + 0x10000, Request::None},
    };
    const DrawingSettings changed{ToolEllipse, 0x00FFFF, PenStyleDash, 2};
    for (auto [menu, id, request] : cases) {
        DrawingSettings settings = changed;
        DragState drag = kDragged;
        EXPECT_EQ(dispatchCommand(menu, id, settings, drag), request) << id;
        EXPECT_EQ(fields(settings), fields(changed)) << id;
        EXPECT_EQ(fields(drag), fields(kDragged)) << id;
    }
}

using Line = std::pair<std::u16string, CommandId>; // "-" separator, "[x" submenu x, "]" its end

std::vector<Line> walk(MenuKind menu) {
    std::vector<Line> lines;
    for (const MenuEntry& entry : menuLayout(menu)) {
        if (entry.kind == EntryKind::Separator) lines.push_back({u"-", 0});
        if (entry.kind == EntryKind::Submenu) {
            lines.push_back({u"[", 0});
            lines.back().first += entry.submenuLabel;
        }
        for (const MenuCommand& command : entry.commands)
            lines.push_back({command.label, commandId(command, menu)});
        if (entry.kind == EntryKind::Submenu) lines.push_back({u"]", 0});
    }
    return lines;
}

TEST(MenuLayout, ItemsLabelsAndIdsInOrder) {
    struct Row {
        const char16_t* label;
        CommandId trayId, overlayId;
    };
    // clang-format off
    const Row shared[] = {
        {u"撤销(&U)      ESC", 1003, 11003}, {u"-", 0, 0},
        {u"矩形", 1004, 11004}, {u"椭圆", 1005, 11005}, {u"钢笔", 1006, 11006},
        {u"线条", 1007, 11007}, {u"箭头", 1008, 11008}, {u"-", 0, 0},
        {u"[宽度", 0, 0}, {u"细线", 20101, 210101}, {u"虚线", 20102, 210102},
        {u"粗线", 20103, 210103}, {u"]", 0, 0},
        {u"[颜色", 0, 0}, {u"黑色", 10101, 110101}, {u"绿色", 10102, 110102},
        {u"蓝色", 10103, 110103}, {u"红色", 10104, 110104}, {u"黄色", 10105, 110105},
        {u"白色", 10106, 110106}, {u"紫色", 10107, 110107}, {u"]", 0, 0}, {u"-", 0, 0}};
    // clang-format on
    std::vector<Line> tray, overlay;
    for (const Row& row : shared) {
        tray.push_back({row.label, row.trayId});
        overlay.push_back({row.label, row.overlayId});
    }
    tray.insert(tray.end(), {{u"关于作者", 1013}, {u"退出(&Q)", 1012}});
    overlay.push_back({u"保存(&S)", 11011});
    EXPECT_EQ(walk(MenuKind::Tray), tray);
    EXPECT_EQ(walk(MenuKind::Overlay), overlay);
}

} // namespace
} // namespace tovrel
