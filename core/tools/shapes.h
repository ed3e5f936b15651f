// 矩形 and 椭圆: outlines rubber-banded under R2_NOT from the press to the mouse.
#pragma once

#include "tool.h"

namespace tovrel {

class ShapeTool final : public Tool {
  public:
    void move(ToolContext& c, Point16 p) override;
};

} // namespace tovrel
