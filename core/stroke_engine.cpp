#include "stroke_engine.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace tovrel {

Bounds& Bounds::add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
    return *this;
}

ScreenPoint ToolContext::cursor() {
    return toOverlay(s.platform.GetCursorPos(), s.origin);
}

PixelRect ToolContext::clipped(PixelRect a) const {
    return {std::max(a.left, 0), std::max(a.top, 0), std::min(a.right, s.width),
            std::min(a.bottom, s.height)};
}

PixelRect ToolContext::changing(Bounds shapes, int reach) {
    const PixelRect area = clipped({shapes.left - reach, shapes.top - reach,
                                    shapes.right + reach + 1, shapes.bottom + reach + 1});
    history.keep(s.canvas.Bits(), area);
    return area;
}

ToolContext::~ToolContext() {
    std::free(band_);
}

namespace {

constexpr std::uint32_t dimmed(std::uint32_t pixel) {
    return (pixel >> 1) & 0x7F7F7F;
}

// A megabyte: a 300x200 step in one go, a 4K frame in about thirty.
constexpr std::size_t kBandPixels = std::size_t{1} << 18;

} // namespace

void ToolContext::show(PixelRect area) {
    area = clipped(area);
    if (isEmpty(area)) return;
    const int width = area.right - area.left;
    const int rows = std::min(area.bottom - area.top, std::max(1, int(kBandPixels / width)));
    const bool inside = area.left >= lit_.left && area.right <= lit_.right &&
                        area.top >= lit_.top && area.bottom <= lit_.bottom;
    if (!inside && bandPixels_ < std::size_t(width) * rows) {
        std::free(band_);
        band_ = static_cast<std::uint32_t*>(std::malloc(sizeof(std::uint32_t) * width * rows));
        bandPixels_ = band_ ? std::size_t(width) * rows : 0;
    }
    // Out of memory for a band, the picture shows undimmed rather than not at all.
    if (inside || !band_)
        return s.window.BitBlt(area.left, area.top, width, area.bottom - area.top, s.canvas);
    const std::uint32_t* canvas = s.canvas.Bits();
    // Of each row, the pixels left of, inside and right of the lit part.
    const int litLeft = std::clamp(lit_.left, area.left, area.right);
    const int litRight = std::clamp(lit_.right, litLeft, area.right);
    for (int top = area.top; top < area.bottom; top += rows) {
        const int count = std::min(rows, area.bottom - top);
        for (int y = top; y < top + count; ++y) {
            const std::uint32_t* from = canvas + std::size_t(y) * s.width + area.left;
            std::uint32_t* to = band_ + std::size_t(y - top) * width;
            const bool litRow = y >= lit_.top && y < lit_.bottom;
            const int left = (litRow ? litLeft : area.right) - area.left,
                      right = (litRow ? litRight : area.right) - area.left;
            for (int x = 0; x < left; ++x)
                to[x] = dimmed(from[x]);
            std::copy(from + left, from + right, to + left);
            for (int x = right; x < width; ++x)
                to[x] = dimmed(from[x]);
        }
        s.window.SetDIBitsToDevice(area.left, top, width, count, band_);
    }
}

// Only what lies in one part and not the other changes: bands between the parts' top and bottom
// edges, each cut at their left and right edges.
void ToolContext::light(PixelRect part) {
    if (isEmpty(part)) part = {};
    const PixelRect was = lit_;
    lit_ = part;
    auto covers = [](PixelRect r, int x, int y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    int ys[] = {was.top, was.bottom, part.top, part.bottom};
    int xs[] = {was.left, was.right, part.left, part.right};
    std::sort(std::begin(ys), std::end(ys));
    std::sort(std::begin(xs), std::end(xs));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (covers(was, xs[j], ys[i]) != covers(part, xs[j], ys[i]))
                show({xs[j], ys[i], xs[j + 1], ys[i + 1]});
}

Tool* StrokeEngine::toolFor(std::int32_t code) {
    switch (code) {
    case ToolRectangle:
    case ToolEllipse: return &shapes_;
    case ToolPen: return &pen_;
    case ToolLine: return &line_;
    case ToolArrow: return &arrow_;
    case ToolMosaic: return &mosaic_;
    case ToolText: return &text_;
    case ToolHighlighter: return &highlighter_;
    case ToolMarker: return &marker_;
    case ToolPart: return &part_;
    default: return nullptr;
    }
}

void StrokeEngine::onLeftButtonDown() {
    endStroke();
    const ScreenPoint cursor = c_.cursor();
    const Point16 p = {static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y)};
    c_.drag.start = c_.drag.lastFreehand = c_.drag.lastRubber = p;
    if (Tool* tool = toolFor(c_.settings.tool)) tool->press(c_);
}

void StrokeEngine::onMouseMove(std::uint32_t keyFlags, std::uint16_t clientX,
                               std::uint16_t clientY) {
    if (!(keyFlags & MK_LBUTTON_FLAG)) return;
    const Point16 p = {static_cast<std::int16_t>(clientX), static_cast<std::int16_t>(clientY)};
    if (Tool* tool = toolFor(c_.settings.tool)) tool->move(c_, p);
}

void StrokeEngine::onLeftButtonUp() {
    for (Tool* tool : tools_)
        tool->release(c_);
}

void StrokeEngine::endStroke() {
    for (Tool* tool : tools_)
        tool->endStroke(c_);
    history_.endStroke(c_.s.canvas.Bits());
}

bool StrokeEngine::replay(bool back) {
    endStroke();
    PixelRect changed;
    std::uint32_t* canvas = c_.s.canvas.Bits();
    const bool done = back ? history_.undo(canvas, changed) : history_.redo(canvas, changed);
    if (done) c_.show(changed);
    return done;
}

void StrokeEngine::refreshOverlay() {
    c_.show({0, 0, c_.s.width, c_.s.height});
}

PixelRect StrokeEngine::part() const {
    return isEmpty(c_.lit()) ? PixelRect{0, 0, c_.s.width, c_.s.height} : c_.lit();
}

} // namespace tovrel
