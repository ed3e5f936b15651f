#include "line.h"

namespace tovrel {

// The line tool has no pen of its own: it draws with whatever the Canvas holds, which is the
// freehand pen once the pen tool has drawn in this overlay.
void LineTool::move(ToolContext& c, Point16 p) {
    const Point16 start = c.drag.start, shown = c.drag.lastRubber;
    const PixelRect area = c.changing(Bounds(start).add(shown.x, shown.y).add(p.x, p.y));
    Surface& canvas = c.s.canvas;
    {
        const Mixing inverting(canvas, MIX_NOT);
        canvas.MoveToEx(start.x, start.y);
        canvas.LineTo(shown.x, shown.y);
        canvas.MoveToEx(start.x, start.y);
        canvas.LineTo(p.x, p.y);
    }
    c.show(area);
    c.drag.lastRubber = p;
}

} // namespace tovrel
