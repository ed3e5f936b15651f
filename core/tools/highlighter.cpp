#include "highlighter.h"

namespace tovrel {

// 16 pixels wide at 96 dots per inch, 24 after the thick line.
void HighlighterTool::move(ToolContext& c, Point16) {
    const ScreenPoint cursor = c.cursor();
    Point16& last = c.drag.lastFreehand;
    const int width = c.scaled(c.settings.penWidth == 2 ? 24 : 16);
    const PixelRect area = c.changing(Bounds(last).add(cursor.x, cursor.y), width / 2 + 2);
    GdiObject pen = c.s.platform.CreatePen(PenStyleSolid, width, c.settings.penColour);
    GdiObject oldPen = c.s.canvas.SelectObject(pen);
    const int oldMode = c.s.canvas.SetROP2(MIX_MASKPEN);
    c.s.canvas.MoveToEx(last.x, last.y);
    c.s.canvas.LineTo(cursor.x, cursor.y);
    c.s.canvas.SetROP2(oldMode);
    c.s.canvas.SelectObject(oldPen);
    c.s.platform.DeleteObject(pen);
    c.show(area);
    last = {static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y)};
}

} // namespace tovrel
