// 序号: a press places the next number in a filled circle of the pen colour, centred there.
#pragma once

#include "tool.h"

namespace tovrel {

// The number is one more than the markers the picture shows now, as the undo history counts them:
// a marker taken back gives its number to the next, and one put back counts again.
class MarkerTool final : public Tool {
  public:
    void press(ToolContext& c) override;
};

} // namespace tovrel
