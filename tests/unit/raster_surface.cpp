#include "raster_surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

namespace tovrel::test {

namespace {

// GDI's cosmetic dash: 18 pixels on, 6 off, running along the whole primitive.
constexpr int kDashOn = 18;
constexpr int kDashPeriod = 24;

RasterObject* asObject(GdiObject object) {
    return static_cast<RasterObject*>(object);
}

// Applies the mix mode to single pixels. The surface's state is copied in so it
// is not reloaded after every pixel store.
struct PixelPainter {
    ColorRef* pixels;
    std::uint32_t* marks; // null when the primitive cannot touch a pixel twice
    std::uint32_t generation;
    int width;
    int height;
    bool invert;

    void operator()(int x, int y, ColorRef colour) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x);
        if (marks) {
            if (marks[i] == generation) return;
            marks[i] = generation;
        }
        pixels[i] = invert ? pixels[i] ^ 0x00FFFFFFu : colour;
    }

    // Pixels left..right of one row; only for primitives that need no marks.
    void row(int y, int left, int right, ColorRef colour) const {
        if (y < 0 || y >= height) return;
        ColorRef* line = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = std::max(left, 0); x <= std::min(right, width - 1); ++x)
            line[x] = invert ? line[x] ^ 0x00FFFFFFu : colour;
    }
};

void strokePath(const std::vector<ScreenPoint>& path, const RasterObject& pen,
                const PixelPainter& paint) {
    const int width = pen.width;
    const bool dashed = pen.style == PenStyleDash && width == 1;
    const int low = -(width / 2);
    const int high = low + width - 1;
    int step = 0;
    for (ScreenPoint p : path) {
        if (dashed && step++ % kDashPeriod >= kDashOn) continue;
        for (int y = p.y + low; y <= p.y + high; ++y)
            for (int x = p.x + low; x <= p.x + high; ++x)
                paint(x, y, pen.colour);
    }
}

// The brush covers what lies strictly between the outline's ends on each row.
void fillInsidePath(const std::vector<ScreenPoint>& path, ColorRef colour,
                    const PixelPainter& paint) {
    auto [top, bottom] = std::minmax_element(
        path.begin(), path.end(), [](ScreenPoint a, ScreenPoint b) { return a.y < b.y; });
    const int firstRow = top->y;
    std::vector<int> minX(static_cast<std::size_t>(bottom->y - firstRow + 1), INT32_MAX);
    std::vector<int> maxX(minX.size(), INT32_MIN);
    for (ScreenPoint p : path) {
        auto row = static_cast<std::size_t>(p.y - firstRow);
        minX[row] = std::min(minX[row], p.x);
        maxX[row] = std::max(maxX[row], p.x);
    }
    for (std::size_t row = 1; row + 1 < minX.size(); ++row)
        for (int x = minX[row] + 1; x < maxX[row]; ++x)
            paint(x, firstRow + static_cast<int>(row), colour);
}

} // namespace

GdiObject RasterPlatform::CreatePen(int style, int width, ColorRef colour) {
    auto pen = std::make_unique<RasterObject>(
        RasterObject{RasterObject::Kind::Pen, style, std::max(width, 1), colour});
    RasterObject* handle = pen.get();
    live_.emplace(handle, std::move(pen));
    ++pensCreated_;
    return handle;
}

RasterObject* RasterPlatform::hollowBrush() {
    static RasterObject brush{RasterObject::Kind::Brush, 0, 0, 0, true};
    return &brush;
}

RasterObject* RasterPlatform::initialPen() {
    static RasterObject pen{RasterObject::Kind::Pen, PenStyleSolid, 1, 0x000000};
    return &pen;
}

RasterObject* RasterPlatform::initialBrush() {
    static RasterObject brush{RasterObject::Kind::Brush, 0, 0, 0xFFFFFF};
    return &brush;
}

GdiObject RasterPlatform::GetStockObject(int object) {
    return object == NULL_BRUSH_OBJECT ? hollowBrush() : nullptr;
}

bool RasterPlatform::DeleteObject(GdiObject object) {
    // Deleting a stock object is a harmless no-op, as in GDI.
    if (object == hollowBrush() || object == initialPen() || object == initialBrush()) return true;
    auto found = live_.find(asObject(object));
    if (found == live_.end()) {
        ++misuses_;
        return false;
    }
    if (found->second->selections > 0) {
        ++deletedWhileSelected_;
        zombies_.push_back(std::move(found->second));
    }
    live_.erase(found);
    return true;
}

RasterSurface::RasterSurface(RasterPlatform& platform, int width, int height, ColorRef fill)
    : platform_(platform), width_(width), height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {
    ++pen_->selections;
    ++brush_->selections;
}

RasterSurface::~RasterSurface() {
    --pen_->selections;
    --brush_->selections;
}

GdiObject RasterSurface::SelectObject(GdiObject object) {
    RasterObject* chosen = asObject(object);
    bool known = chosen == RasterPlatform::hollowBrush() ||
                 chosen == RasterPlatform::initialPen() ||
                 chosen == RasterPlatform::initialBrush() || platform_.isLive(chosen);
    if (!known) {
        ++platform_.misuses_;
        return nullptr;
    }
    RasterObject*& slot = chosen->kind == RasterObject::Kind::Pen ? pen_ : brush_;
    RasterObject* previous = slot;
    --previous->selections;
    ++chosen->selections;
    slot = chosen;
    return previous;
}

int RasterSurface::SetROP2(int mode) {
    int previous = mix_;
    mix_ = mode;
    return previous;
}

void RasterSurface::paintPath(bool pathRepeats, bool filled) {
    filled = filled && !brush_->hollow && !path_.empty();
    PixelPainter paint{pixels_.data(), nullptr, 0, width_, height_, mix_ == MIX_NOT};
    // A 1-pixel pen on a path without repeats touches each pixel once by
    // itself; skipping the marks then keeps the rubber band cheap.
    if (pen_->width > 1 || pathRepeats || filled) {
        if (marks_.empty()) marks_.assign(pixels_.size(), 0);
        if (++generation_ == 0) {
            std::fill(marks_.begin(), marks_.end(), 0);
            generation_ = 1;
        }
        paint.marks = marks_.data();
        paint.generation = generation_;
    }
    strokePath(path_, *pen_, paint);
    if (filled) fillInsidePath(path_, brush_->colour, paint);
}

// Bresenham, leaving out (x1, y1) as GDI does.
void RasterSurface::appendLine(int x0, int y0, int x1, int y1) {
    int dx = std::abs(x1 - x0);
    int dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1;
    int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        path_.push_back({x0, y0});
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void RasterSurface::LineTo(int x, int y) {
    path_.clear();
    appendLine(position_.x, position_.y, x, y);
    paintPath(false, false);
    position_ = {x, y};
}

void RasterSurface::Rectangle(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (left == right || top == bottom) return;
    int r = right - 1;
    int b = bottom - 1;
    // A solid hollow outline is a frame: whole rows at the top and bottom and
    // two runs on each row between, so it needs neither a path nor marks.
    const bool dashed = pen_->style == PenStyleDash && pen_->width == 1;
    if (!dashed && brush_->hollow && r > left && b > top) {
        PixelPainter paint{pixels_.data(), nullptr, 0, width_, height_, mix_ == MIX_NOT};
        const int low = -(pen_->width / 2), high = low + pen_->width - 1;
        const int innerLeft = left + high + 1, innerRight = r + low - 1;
        const int innerTop = top + high + 1, innerBottom = b + low - 1;
        for (int y = top + low; y <= b + high; ++y) {
            if (y < innerTop || y > innerBottom || innerLeft > innerRight) {
                paint.row(y, left + low, r + high, pen_->colour);
            } else {
                paint.row(y, left + low, innerLeft - 1, pen_->colour);
                paint.row(y, innerRight + 1, r + high, pen_->colour);
            }
        }
        return;
    }
    path_.clear();
    if (r == left && b == top) path_.push_back({left, top});
    appendLine(left, top, r, top);
    appendLine(r, top, r, b);
    appendLine(r, b, left, b);
    appendLine(left, b, left, top);
    paintPath(r == left || b == top, true);
}

void RasterSurface::Ellipse(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (left == right || top == bottom) return;
    path_.clear();
    int r = right - 1;
    int b = bottom - 1;
    double cx = (left + r) / 2.0;
    double cy = (top + b) / 2.0;
    double ax = (r - left) / 2.0;
    double ay = (b - top) / 2.0;
    if (ax == 0 || ay == 0) {
        for (int y = top; y <= b; ++y)
            for (int x = left; x <= r; ++x)
                path_.push_back({x, y});
    } else {
        // Sampling per column and per row keeps the outline connected on
        // both the flat and the steep parts.
        auto offset = [](double t) { return std::sqrt(std::max(0.0, 1.0 - t * t)); };
        for (int x = left; x <= r; ++x) {
            double d = ay * offset((x - cx) / ax);
            path_.push_back({x, static_cast<int>(std::floor(cy - d + 0.5))});
            path_.push_back({x, static_cast<int>(std::floor(cy + d + 0.5))});
        }
        for (int y = top; y <= b; ++y) {
            double d = ax * offset((y - cy) / ay);
            path_.push_back({static_cast<int>(std::floor(cx - d + 0.5)), y});
            path_.push_back({static_cast<int>(std::floor(cx + d + 0.5)), y});
        }
        // Dashes run around the outline, so order the points by angle.
        auto angle = [&](ScreenPoint p) { return std::atan2((p.y - cy) / ay, (p.x - cx) / ax); };
        std::sort(path_.begin(), path_.end(), [&](ScreenPoint p, ScreenPoint q) {
            double a = angle(p), c = angle(q);
            return a != c ? a < c : (p.y != q.y ? p.y < q.y : p.x < q.x);
        });
        path_.erase(
            std::unique(path_.begin(), path_.end(),
                        [](ScreenPoint p, ScreenPoint q) { return p.x == q.x && p.y == q.y; }),
            path_.end());
    }
    paintPath(false, true);
}

void RasterSurface::BitBlt(int width, int height, Surface& source) {
    ++bitBlts_;
    auto& from = dynamic_cast<RasterSurface&>(source);
    if (&from == this) return;
    width = std::min({width, width_, from.width_});
    height = std::min({height, height_, from.height_});
    if (width <= 0 || height <= 0) return;
    if (width == width_ && width == from.width_) {
        std::memcpy(pixels_.data(), from.pixels_.data(),
                    static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                        sizeof(ColorRef));
        return;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels_[index(0, y)], &from.pixels_[from.index(0, y)],
                    static_cast<std::size_t>(width) * sizeof(ColorRef));
}

std::string pictureDifference(const RasterSurface& actual, const RasterSurface& expected) {
    if (actual.width() != expected.width() || actual.height() != expected.height())
        return "sizes differ";
    if (actual.pixels() == expected.pixels()) return {};
    int differing = 0;
    std::ostringstream first;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (actual.pixel(x, y) == expected.pixel(x, y)) continue;
            if (differing++ == 0)
                first << " first at (" << x << ", " << y << "): 0x" << std::hex
                      << actual.pixel(x, y) << " instead of 0x" << expected.pixel(x, y);
        }
    }
    return std::to_string(differing) + " pixels differ," + first.str();
}

} // namespace tovrel::test
