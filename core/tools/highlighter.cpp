#include "highlighter.h"

namespace tovrel {

// 16 pixels wide at 96 dots per inch, 24 after the thick line.
void HighlighterTool::move(ToolContext& c, Point16) {
    const ScreenPoint cursor = c.cursor();
    Point16& last = c.drag.lastFreehand;
    const int width = c.scaled(c.settings.penWidth == 2 ? 24 : 16);
    const PixelRect area = c.changing(Bounds(last).add(cursor.x, cursor.y), width / 2 + 2);
    {
        const Selected pen(c.s.platform, c.s.canvas,
                           c.s.platform.CreatePen(PenStyleSolid, width, c.settings.penColour));
        const Mixing masking(c.s.canvas, MIX_MASKPEN);
        c.s.canvas.MoveToEx(last.x, last.y);
        c.s.canvas.LineTo(cursor.x, cursor.y);
    }
    c.show(area);
    last = {static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y)};
}

} // namespace tovrel
