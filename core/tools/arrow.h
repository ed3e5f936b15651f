// 箭头: a shaft from the drag start to the foot of a hollow triangular head, rubber-banded under
// R2_NOT.
#pragma once

#include "tool.h"

#include <optional>

namespace tovrel {

struct ArrowGeometry {
    ScreenPoint foot;    // where the shaft meets the head's base
    ScreenPoint cornerA; // ends of the base, across the shaft
    ScreenPoint cornerB;
};

// Integer geometry of the arrow from start to tip; none when the tip is the start.
std::optional<ArrowGeometry> arrowGeometry(Point16 start, int tipX, int tipY);

// Draws on the canvas with its current mix mode, using its own pen and the
// hollow brush, and leaves the canvas's pen and brush as they were.
void drawArrow(DrawingPlatform& platform, Surface& canvas, const DrawingSettings& settings,
               Point16 start, int tipX, int tipY);

class ArrowTool final : public Tool {
  public:
    void move(ToolContext& c, Point16 p) override;
};

} // namespace tovrel
