// 线条: a straight line rubber-banded under R2_NOT from the press to the mouse.
#pragma once

#include "tool.h"

namespace tovrel {

class LineTool final : public Tool {
  public:
    void move(ToolContext& c, Point16 p) override;
};

} // namespace tovrel
