#include "arrow.h"

#include <cmath>

namespace tovrel {

namespace {

constexpr double kHeadSize = 10.0;

void segment(Surface& canvas, ScreenPoint from, ScreenPoint to) {
    canvas.MoveToEx(from.x, from.y);
    canvas.LineTo(to.x, to.y);
}

} // namespace

std::optional<ArrowGeometry> arrowGeometry(Point16 start, int tipX, int tipY) {
    const int dx = tipX - start.x;
    const int dy = tipY - start.y;
    const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
    // The divisor is the truncated length, so short drags get long heads; a
    // zero-length arrow has no direction and is not drawn at all.
    const int truncated = static_cast<int>(length);
    if (truncated == 0) return std::nullopt;
    const double k = kHeadSize / truncated;
    const int bx = static_cast<int>(k * dx);
    const int by = static_cast<int>(k * dy);
    const ScreenPoint foot{tipX - bx, tipY - by};
    return ArrowGeometry{foot, {foot.x - by, foot.y + bx}, {foot.x + by, foot.y - bx}};
}

void drawArrow(DrawingPlatform& platform, Surface& canvas, const DrawingSettings& settings,
               Point16 start, int tipX, int tipY) {
    const std::optional<ArrowGeometry> arrow = arrowGeometry(start, tipX, tipY);
    if (!arrow) return;
    const Selected pen(
        platform, canvas,
        platform.CreatePen(settings.penStyle, settings.penWidth, settings.penColour));
    const Selected hollow(platform, canvas, platform.GetStockObject(NULL_BRUSH_OBJECT), false);
    const ScreenPoint tip{tipX, tipY};
    segment(canvas, {start.x, start.y}, arrow->foot);
    segment(canvas, arrow->cornerA, arrow->cornerB);
    segment(canvas, arrow->cornerB, tip);
    segment(canvas, tip, arrow->cornerA);
}

// Both arrows take their tips with the sign, so the removal pass always meets the arrow drawn
// before, even for a tip beyond the screen's top or left edge.
void ArrowTool::move(ToolContext& c, Point16 p) {
    const Point16 start = c.drag.start;
    Bounds shapes(start);
    for (Point16 tip : {c.drag.lastRubber, p}) {
        shapes.add(tip.x, tip.y);
        if (const auto arrow = arrowGeometry(start, tip.x, tip.y))
            for (ScreenPoint corner : {arrow->foot, arrow->cornerA, arrow->cornerB})
                shapes.add(corner.x, corner.y);
    }
    const PixelRect area = c.changing(shapes);
    {
        const Mixing inverting(c.s.canvas, MIX_NOT);
        for (Point16 tip : {c.drag.lastRubber, p})
            drawArrow(c.s.platform, c.s.canvas, c.settings, start, tip.x, tip.y);
    }
    c.show(area);
    c.drag.lastRubber = p;
}

} // namespace tovrel
