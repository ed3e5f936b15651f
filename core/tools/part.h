// 选区: a drag chooses the part of the picture that leaves the overlay, copied or saved; the rest
// shows dimmed. Choosing draws nothing into the picture and is no stroke: undo leaves it alone.
#pragma once

#include "tool.h"

namespace tovrel {

class PartTool final : public Tool {
  public:
    void press(ToolContext& c) override;
    void move(ToolContext& c, Point16 p) override;
    void release(ToolContext& c) override { finish(c); }
    void endStroke(ToolContext& c) override { finish(c); }

  private:
    // A part that encloses no pixel, a click's, chooses the whole picture again.
    void finish(ToolContext& c);

    bool choosing_ = false;
    // Kept here: a tool command may reset the drag's start meanwhile.
    Point16 anchor_;
};

} // namespace tovrel
