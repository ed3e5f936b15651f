// 钢笔: freehand segments in the pen colour, 3 pixels wide.
#pragma once

#include "tool.h"

namespace tovrel {

class PenTool final : public Tool {
  public:
    void move(ToolContext& c, Point16 p) override;
    // Puts the Canvas's own pen back and deletes the freehand pen, which otherwise stays selected
    // between pen steps. Call before the Canvas goes.
    void releasePen(ToolContext& c);

  private:
    GdiObject freehandPen_ = nullptr;
    GdiObject canvasOriginalPen_ = nullptr;
};

} // namespace tovrel
