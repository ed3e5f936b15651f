// 马赛克: covers a rectangle so that nothing under it can be recovered but its average colour.
#pragma once

#include "tool.h"

#include <cstdint>

namespace tovrel {

// The side of a block, in pixels, on a monitor of this many dots per inch.
constexpr int mosaicBlock(int dpi) {
    const int side = (12 * dpi + 48) / 96;
    return side < 1 ? 1 : side;
}

// Covers r's pixels (clipped to the width x height picture, 32-bit words in rows top-down) with
// square blocks of side block, aligned to r's top-left corner, the right and bottom ones cut. Each
// block is the area's average colour shifted by a whole number in -12..12, the same for the three
// low bytes, which comes from r and the block's place alone. Returns the area covered.
PixelRect applyMosaic(std::uint32_t* pixels, int width, int height, PixelRect r, int block);

// While dragged, the rectangle tool's outline at width 1, whatever the pen; at the release, or at
// the stroke's end when a menu took the release away, the mosaic.
class MosaicTool final : public Tool {
  public:
    void move(ToolContext& c, Point16 p) override;
    void release(ToolContext& c) override { finish(c); }
    void endStroke(ToolContext& c) override { finish(c); }
    // Takes the outline away and makes the mosaic, if an outline shows.
    void finish(ToolContext& c);

  private:
    // The outline on the Canvas, kept here: a tool command may reset the drag's start meanwhile.
    bool outlineShown_ = false;
    Point16 outlineFrom_, outlineTo_;
};

} // namespace tovrel
