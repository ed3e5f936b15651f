#include "part.h"

#include <algorithm>

namespace tovrel {

// Until the mouse moves, the part encloses nothing: all of the picture shows dimmed.
void PartTool::press(ToolContext& c) {
    choosing_ = true;
    anchor_ = c.drag.start;
    c.light({});
}

// The pixels a mosaic from the press to the mouse would cover.
void PartTool::move(ToolContext& c, Point16 p) {
    if (!choosing_) return;
    c.light(c.clipped({std::min(anchor_.x, p.x), std::min(anchor_.y, p.y), std::max(anchor_.x, p.x),
                       std::max(anchor_.y, p.y)}));
}

void PartTool::finish(ToolContext& c) {
    if (!choosing_) return;
    choosing_ = false;
    if (isEmpty(c.lit())) c.light({0, 0, c.s.width, c.s.height});
}

} // namespace tovrel
