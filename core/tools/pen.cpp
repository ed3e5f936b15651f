#include "pen.h"

namespace tovrel {

// Freehand segments are painted on both surfaces so no copy to the window is needed. Each ends 2
// pixels below the cursor while the next starts at the cursor itself. The pen stays selected
// after the step: the line tool draws with it.
void PenTool::move(ToolContext& c, Point16) {
    const ScreenPoint cursor = c.cursor();
    Point16& last = c.drag.lastFreehand;
    c.changing(Bounds(last).add(cursor.x, cursor.y + 2));
    GdiObject pen = c.s.platform.CreatePen(c.settings.penStyle, 3, c.settings.penColour);
    GdiObject previousCanvas = c.s.canvas.SelectObject(pen);
    GdiObject previousWindow = c.s.window.SelectObject(pen);
    if (freehandPen_) {
        c.s.platform.DeleteObject(freehandPen_);
    } else {
        canvasOriginalPen_ = previousCanvas;
        windowOriginalPen_ = previousWindow;
    }
    freehandPen_ = pen;
    for (Surface* surface : {&c.s.canvas, &c.s.window}) {
        surface->MoveToEx(last.x, last.y);
        surface->LineTo(cursor.x, cursor.y + 2);
    }
    last = {static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y)};
}

void PenTool::releasePen(ToolContext& c) {
    if (!freehandPen_) return;
    c.s.canvas.SelectObject(canvasOriginalPen_);
    c.s.window.SelectObject(windowOriginalPen_);
    c.s.platform.DeleteObject(freehandPen_);
    freehandPen_ = nullptr;
}

} // namespace tovrel
