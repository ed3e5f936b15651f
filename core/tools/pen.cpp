#include "pen.h"

namespace tovrel {

// Each segment ends 2 pixels below the cursor while the next starts at the cursor itself. The pen
// stays selected after the step: the line tool draws with it.
void PenTool::move(ToolContext& c, Point16) {
    const ScreenPoint cursor = c.cursor();
    Point16& last = c.drag.lastFreehand;
    const PixelRect area = c.changing(Bounds(last).add(cursor.x, cursor.y + 2));
    GdiObject pen = c.s.platform.CreatePen(c.settings.penStyle, 3, c.settings.penColour);
    GdiObject previous = c.s.canvas.SelectObject(pen);
    if (freehandPen_)
        c.s.platform.DeleteObject(freehandPen_);
    else
        canvasOriginalPen_ = previous;
    freehandPen_ = pen;
    c.s.canvas.MoveToEx(last.x, last.y);
    c.s.canvas.LineTo(cursor.x, cursor.y + 2);
    c.show(area);
    last = {static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y)};
}

void PenTool::releasePen(ToolContext& c) {
    if (!freehandPen_) return;
    c.s.canvas.SelectObject(canvasOriginalPen_);
    c.s.platform.DeleteObject(freehandPen_);
    freehandPen_ = nullptr;
}

} // namespace tovrel
