#include "mosaic.h"

#include <algorithm>
#include <cstring>

namespace tovrel {
namespace {

constexpr int kNoise = 12;

// splitmix64's finaliser.
std::uint64_t mix(std::uint64_t z) {
    z += 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// A block's shade comes from r and the block's place alone, never from the picture.
class Noise {
  public:
    explicit Noise(PixelRect r) {
        for (int v : {r.left, r.top, r.right, r.bottom})
            seed_ = mix(seed_ ^ std::uint32_t(v));
    }
    int operator()(int column, int row) const {
        const std::uint64_t place = std::uint64_t(std::uint32_t(column)) << 32 | std::uint32_t(row);
        return int(mix(seed_ ^ place) % (2 * kNoise + 1)) - kNoise;
    }

  private:
    std::uint64_t seed_ = 0;
};

std::uint32_t shade(const int (&mean)[3], int d) {
    std::uint32_t colour = 0;
    for (int c = 0; c < 3; ++c)
        colour |= std::uint32_t(std::clamp(mean[c] + d, 0, 255)) << 8 * c;
    return colour;
}

} // namespace

PixelRect applyMosaic(std::uint32_t* pixels, int width, int height, PixelRect r, int block) {
    const PixelRect a = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
                         std::min(r.bottom, height)};
    if (a.left >= a.right || a.top >= a.bottom) return {};
    // The low and high channels share a word, in 16-bit lanes that 256 pixels cannot overflow.
    std::uint64_t sum[3] = {};
    for (int y = a.top; y < a.bottom; ++y) {
        const std::uint32_t* row = pixels + std::size_t(y) * width;
        for (int x = a.left; x < a.right;) {
            const int end = std::min(x + 256, a.right);
            std::uint32_t outer = 0, middle = 0;
            for (; x < end; ++x)
                outer += row[x] & 0xFF00FF, middle += row[x] >> 8 & 0xFF;
            sum[0] += outer & 0xFFFF, sum[1] += middle, sum[2] += outer >> 16;
        }
    }
    const std::uint64_t count = std::uint64_t(a.right - a.left) * (a.bottom - a.top);
    int mean[3];
    for (int c = 0; c < 3; ++c)
        mean[c] = int((sum[c] + count / 2) / count);

    // Each band of blocks: its first row block by block, the others copies of it.
    const Noise noise(r);
    for (int top = a.top; top < a.bottom;) {
        const int row = (top - r.top) / block;
        const int bottom = std::min(r.top + (row + 1) * block, a.bottom);
        std::uint32_t* first = pixels + std::size_t(top) * width;
        for (int x = a.left; x < a.right;) {
            const int column = (x - r.left) / block;
            const int end = std::min(r.left + (column + 1) * block, a.right);
            std::fill(first + x, first + end, shade(mean, noise(column, row)));
            x = end;
        }
        for (int y = top + 1; y < bottom; ++y)
            std::memcpy(pixels + std::size_t(y) * width + a.left, first + a.left,
                        sizeof(std::uint32_t) * (a.right - a.left));
        top = bottom;
    }
    return a;
}

void MosaicTool::move(ToolContext& c, Point16 p) {
    const Point16 a = c.drag.start;
    Bounds shapes = Bounds(a).add(p.x, p.y);
    if (outlineShown_) shapes.add(outlineFrom_.x, outlineFrom_.y).add(outlineTo_.x, outlineTo_.y);
    const PixelRect area = c.changing(shapes);
    c.invert(PenStyleSolid, 1, [&](Surface& canvas) {
        if (outlineShown_)
            canvas.Rectangle(outlineFrom_.x, outlineFrom_.y, outlineTo_.x, outlineTo_.y);
        canvas.Rectangle(a.x, a.y, p.x, p.y);
    });
    c.show(area);
    outlineShown_ = true, outlineFrom_ = a, outlineTo_ = c.drag.lastRubber = p;
}

void MosaicTool::finish(ToolContext& c) {
    if (!outlineShown_) return;
    outlineShown_ = false;
    const Point16 a = outlineFrom_, b = outlineTo_;
    const PixelRect area = c.changing(Bounds(a).add(b.x, b.y));
    c.invert(PenStyleSolid, 1, [&](Surface& canvas) { canvas.Rectangle(a.x, a.y, b.x, b.y); });
    applyMosaic(c.s.canvas.Bits(), c.s.width, c.s.height,
                {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)},
                mosaicBlock(c.s.dpi));
    c.show(area);
}

} // namespace tovrel
