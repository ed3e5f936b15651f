#include "settings.h"

namespace tovrel {

namespace {

const MenuCommand* findCommand(MenuKind menu, CommandId id) {
    if (id == 0) return nullptr;
    for (const MenuEntry& entry : menuLayout(menu))
        for (const MenuCommand& command : entry.commands)
            if (commandId(command, menu) == id) return &command;
    return nullptr;
}

} // namespace

Request dispatchCommand(MenuKind menu, CommandId id, DrawingSettings& settings, DragState& drag) {
    const MenuCommand* command = findCommand(menu, id);
    if (!command) return Request::None;
    switch (command->effect) {
    case Effect::SetColour: settings.penColour = static_cast<ColorRef>(command->value); break;
    case Effect::SetStyle: settings.penStyle = command->value; break;
    case Effect::SetWidth: settings.penWidth = command->value; break;
    case Effect::SetTool:
        settings.tool = command->value;
        drag.start = {};
        return menu == MenuKind::Tray ? Request::OpenOverlay : Request::SettingsChanged;
    case Effect::Undo: return Request::CloseOverlay;
    case Effect::Save: return Request::Save;
    case Effect::StartWithWindows: return Request::ToggleStartWithWindows;
    case Effect::About: return Request::ShowAbout;
    case Effect::Exit: return Request::Exit;
    }
    return Request::SettingsChanged;
}

} // namespace tovrel
