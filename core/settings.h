// Drawing settings, drag points and the two menus' command tables.
#pragma once

#include <cstdint>
#include <span>

namespace tovrel {

using ColorRef = std::uint32_t;  // 0x00BBGGRR
using CommandId = std::uint32_t; // overlay colour and width ids exceed 16 bits

enum ToolCode : std::int32_t {
    ToolNone = 0,
    ToolRectangle = 4,
    ToolEllipse = 5,
    ToolPen = 6,
    ToolLine = 7,
    ToolArrow = 8,
    ToolMosaic = 9,
    ToolText = 10,
    ToolPart = 11, // chooses the part of the picture that leaves the overlay
    ToolHighlighter = 12,
    ToolMarker = 13,
};

inline constexpr std::int32_t PenStyleSolid = 0;
inline constexpr std::int32_t PenStyleDash = 1;

struct DrawingSettings {
    std::int32_t tool = ToolNone;
    ColorRef penColour = 0x000000;
    std::int32_t penStyle = PenStyleSolid;
    std::int32_t penWidth = 1;
};

struct Point16 {
    std::int16_t x = 0;
    std::int16_t y = 0;
    friend bool operator==(Point16, Point16) = default;
};

struct DragState {
    Point16 start;
    Point16 lastFreehand;
    Point16 lastRubber;
};

enum class Effect {
    SetColour,
    SetStyle,
    SetWidth,
    SetTool,
    Undo,
    Save,
    StartWithWindows,
    About,
    Exit
};

struct MenuCommand {
    const char16_t* label;
    CommandId trayId;    // 0: not in the tray menu
    CommandId overlayId; // 0: not in the overlay menu
    Effect effect;
    std::int32_t value; // colour, style, width or tool
};

inline constexpr MenuCommand kColourItems[] = {
    {u"黑色", 10101, 110101, Effect::SetColour, 0x000000},
    {u"绿色", 10102, 110102, Effect::SetColour, 0x00FF00},
    {u"蓝色", 10103, 110103, Effect::SetColour, 0xFF0000},
    {u"红色", 10104, 110104, Effect::SetColour, 0x0000FF},
    {u"黄色", 10105, 110105, Effect::SetColour, 0x00FFFF},
    {u"白色", 10106, 110106, Effect::SetColour, 0xFFFFFF},
    {u"紫色", 10107, 110107, Effect::SetColour, 0xFF008B},
};

// Nothing sets the width back to 1: "thin" only restores the solid style.
inline constexpr MenuCommand kWidthItems[] = {
    {u"细线", 20101, 210101, Effect::SetStyle, PenStyleSolid},
    {u"虚线", 20102, 210102, Effect::SetStyle, PenStyleDash},
    {u"粗线", 20103, 210103, Effect::SetWidth, 2},
};

inline constexpr MenuCommand kToolItems[] = {
    {u"矩形", 1004, 11004, Effect::SetTool, ToolRectangle},
    {u"椭圆", 1005, 11005, Effect::SetTool, ToolEllipse},
    {u"钢笔", 1006, 11006, Effect::SetTool, ToolPen},
    {u"线条", 1007, 11007, Effect::SetTool, ToolLine},
    {u"箭头", 1008, 11008, Effect::SetTool, ToolArrow},
    {u"马赛克", 1009, 11009, Effect::SetTool, ToolMosaic},
    {u"文字", 1010, 11010, Effect::SetTool, ToolText},
    {u"荧光笔", 1015, 11015, Effect::SetTool, ToolHighlighter},
    {u"序号", 1016, 11016, Effect::SetTool, ToolMarker},
    {u"选区", 1014, 11014, Effect::SetTool, ToolPart},
};

inline constexpr MenuCommand kUndoItem = {u"撤销(&U)      ESC", 1003, 11003, Effect::Undo, 0};
inline constexpr MenuCommand kSaveItem = {u"保存(&S)", 0, 11011, Effect::Save, 0};
// Checked while the current user's Run key starts this program at sign-in.
inline constexpr MenuCommand kStartWithWindowsItem = {u"开机启动", 1017, 0,
                                                      Effect::StartWithWindows, 0};
inline constexpr MenuCommand kAboutItem = {u"关于作者", 1013, 0, Effect::About, 0};
inline constexpr MenuCommand kExitItem = {u"退出(&Q)", 1012, 0, Effect::Exit, 0};

enum class EntryKind { Command, Commands, Separator, Submenu };

// One row of a menu layout: a single command, a run of commands, a separator,
// or a popup item opening a submenu of commands.
struct MenuEntry {
    EntryKind kind;
    std::span<const MenuCommand> commands;
    const char16_t* submenuLabel = nullptr;
};

inline constexpr MenuEntry kSeparator = {EntryKind::Separator, {}};
inline constexpr MenuEntry kUndoEntry = {EntryKind::Command, {&kUndoItem, 1}};
inline constexpr MenuEntry kToolEntries = {EntryKind::Commands, kToolItems};
inline constexpr MenuEntry kWidthSubmenu = {EntryKind::Submenu, kWidthItems, u"宽度"};
inline constexpr MenuEntry kColourSubmenu = {EntryKind::Submenu, kColourItems, u"颜色"};

inline constexpr MenuEntry kTrayLayout[] = {
    kUndoEntry,
    kSeparator,
    kToolEntries,
    kSeparator,
    kWidthSubmenu,
    kColourSubmenu,
    kSeparator,
    {EntryKind::Command, {&kStartWithWindowsItem, 1}},
    {EntryKind::Command, {&kAboutItem, 1}},
    {EntryKind::Command, {&kExitItem, 1}},
};

inline constexpr MenuEntry kOverlayLayout[] = {
    kUndoEntry,    kSeparator,     kToolEntries, kSeparator,
    kWidthSubmenu, kColourSubmenu, kSeparator,   {EntryKind::Command, {&kSaveItem, 1}},
};

enum class MenuKind { Tray, Overlay };

constexpr CommandId commandId(const MenuCommand& command, MenuKind menu) {
    return menu == MenuKind::Tray ? command.trayId : command.overlayId;
}

constexpr std::span<const MenuEntry> menuLayout(MenuKind menu) {
    if (menu == MenuKind::Tray) return kTrayLayout;
    return kOverlayLayout;
}

enum class Request {
    None,
    SettingsChanged,
    OpenOverlay,
    CloseOverlay,
    ToggleStartWithWindows,
    ShowAbout,
    Exit,
    Save
};

// Applies the settings change of a chosen identifier (0 when the menu was
// dismissed) and names what the caller must do next.
Request dispatchCommand(MenuKind menu, CommandId id, DrawingSettings& settings, DragState& drag);

} // namespace tovrel
