#include "stroke_engine.h"

#include <algorithm>

namespace tovrel {

Bounds& Bounds::add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
    return *this;
}

ScreenPoint ToolContext::cursor() {
    return toOverlay(s.platform.GetCursorPos(), s.origin);
}

PixelRect ToolContext::clipped(PixelRect a) const {
    return {std::max(a.left, 0), std::max(a.top, 0), std::min(a.right, s.width),
            std::min(a.bottom, s.height)};
}

PixelRect ToolContext::changing(Bounds shapes, int reach) {
    const PixelRect area = clipped({shapes.left - reach, shapes.top - reach,
                                    shapes.right + reach + 1, shapes.bottom + reach + 1});
    history.keep(s.canvas.Bits(), area);
    return area;
}

void ToolContext::show(PixelRect area) {
    if (area.left < area.right && area.top < area.bottom)
        s.window.BitBlt(area.left, area.top, area.right - area.left, area.bottom - area.top,
                        s.canvas);
}

Tool* StrokeEngine::toolFor(std::int32_t code) {
    switch (code) {
    case ToolRectangle:
    case ToolEllipse: return &shapes_;
    case ToolPen: return &pen_;
    case ToolLine: return &line_;
    case ToolArrow: return &arrow_;
    case ToolMosaic: return &mosaic_;
    case ToolText: return &text_;
    case ToolHighlighter: return &highlighter_;
    case ToolMarker: return &marker_;
    default: return nullptr;
    }
}

void StrokeEngine::onLeftButtonDown() {
    endStroke();
    const ScreenPoint cursor = c_.cursor();
    const Point16 p = {static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y)};
    c_.drag.start = c_.drag.lastFreehand = c_.drag.lastRubber = p;
    if (Tool* tool = toolFor(c_.settings.tool)) tool->press(c_);
}

void StrokeEngine::onMouseMove(std::uint32_t keyFlags, std::uint16_t clientX,
                               std::uint16_t clientY) {
    if (!(keyFlags & MK_LBUTTON_FLAG)) return;
    const Point16 p = {static_cast<std::int16_t>(clientX), static_cast<std::int16_t>(clientY)};
    if (Tool* tool = toolFor(c_.settings.tool)) tool->move(c_, p);
}

void StrokeEngine::onLeftButtonUp() {
    for (Tool* tool : tools_)
        tool->release(c_);
}

void StrokeEngine::endStroke() {
    for (Tool* tool : tools_)
        tool->endStroke(c_);
    history_.endStroke(c_.s.canvas.Bits());
}

bool StrokeEngine::replay(bool back) {
    endStroke();
    PixelRect changed;
    std::uint32_t* canvas = c_.s.canvas.Bits();
    const bool done = back ? history_.undo(canvas, changed) : history_.redo(canvas, changed);
    if (done) c_.show(changed);
    return done;
}

void StrokeEngine::refreshOverlay() {
    c_.s.window.BitBlt(0, 0, c_.s.width, c_.s.height, c_.s.canvas);
}

} // namespace tovrel
