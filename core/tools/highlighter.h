// 荧光笔: freehand segments that mark what they cross without hiding it.
#pragma once

#include "tool.h"

namespace tovrel {

// Each segment runs from the last point to the cursor, in a wide solid pen of the pen colour under
// R2_MASKPEN: a pixel becomes itself AND the colour, so that dark text stays readable and a place
// crossed again changes no more.
class HighlighterTool final : public Tool {
  public:
    void move(ToolContext& c, Point16 p) override;
};

} // namespace tovrel
