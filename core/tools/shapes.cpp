#include "shapes.h"

namespace tovrel {

// The outline shown so far is inverted away and the new one inverted in: nothing of the picture
// under an outline is stored.
void ShapeTool::move(ToolContext& c, Point16 p) {
    const Point16 a = c.drag.start;
    const Point16 b = c.drag.lastRubber;
    const PixelRect area = c.changing(Bounds(a).add(b.x, b.y).add(p.x, p.y));
    c.invert(c.settings.penStyle, c.settings.penWidth, [&](Surface& canvas) {
        if (c.settings.tool == ToolRectangle) {
            canvas.Rectangle(a.x, a.y, b.x, b.y);
            canvas.Rectangle(a.x, a.y, p.x, p.y);
        } else {
            canvas.Ellipse(a.x, a.y, b.x, b.y);
            canvas.Ellipse(a.x, a.y, p.x, p.y);
        }
    });
    c.show(area);
    c.drag.lastRubber = p;
}

} // namespace tovrel
