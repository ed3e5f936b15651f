// Software drawing surfaces, so the core runs without a window system. Pixels are COLORREF
// values. Drawing follows GDI where the core relies on it: lines leave out their end point,
// Rectangle and Ellipse stay inside left..right-1 and top..bottom-1, a pen of width w covers
// w x w pixels around each point of its path, and dashes only at width 1. R2_NOT inverts;
// other modes paint the pen's colour. Brushes never fill. One primitive touches a pixel once,
// so drawing it twice under R2_NOT restores the picture.
#pragma once

#include "surface.h"

#include <algorithm>
#include <numeric>
#include <cmath>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace tovrel::test {

struct RasterObject {
    int style = PenStyleSolid, width = 1;
    ColorRef colour = 0;
    bool deleted = false;
    int selected = 0; // by how many surfaces now
};

class RasterPlatform : public DrawingPlatform {
  public:
    GdiObject CreatePen(int style, int width, ColorRef colour) override {
        return &pens.emplace_back(RasterObject{style, std::max(width, 1), colour});
    }
    GdiObject GetStockObject(int) override { return &hollowBrush; }
    ScreenPoint GetCursorPos() override { return cursor; }
    bool DeleteObject(GdiObject object) override {
        auto* o = static_cast<RasterObject*>(object);
        const bool pen = std::any_of(pens.begin(), pens.end(), [o](auto& p) { return &p == o; });
        if (!pen || o->deleted || o->selected > 0) return ++misuses, false;
        return o->deleted = true;
    }
    long livePens() const {
        return std::count_if(pens.begin(), pens.end(), [](auto& p) { return !p.deleted; });
    }

    ScreenPoint cursor;
    int misuses = 0; // deleting what is selected, shared or gone, or selecting what is gone
    RasterObject hollowBrush, initialBrush, initialPen; // shared, like GDI's stock objects
    std::deque<RasterObject> pens;
};

class RasterSurface : public Surface {
  public:
    RasterSurface(RasterPlatform& platform, int w, int h)
        : width(w), height(h), pixels(std::size_t(w) * h, 0xFFFFFF), platform_(platform),
          touched_(pixels.size()) {
        ++pen_->selected, ++brush_->selected;
    }
    ~RasterSurface() override { --pen_->selected, --brush_->selected; }

    GdiObject SelectObject(GdiObject object) override {
        auto* o = static_cast<RasterObject*>(object);
        if (o->deleted) return ++platform_.misuses, nullptr;
        RasterObject*& slot =
            o == &platform_.hollowBrush || o == &platform_.initialBrush ? brush_ : pen_;
        return --slot->selected, ++o->selected, std::exchange(slot, o);
    }
    int SetROP2(int mode) override { return std::exchange(mix_, mode); }
    void MoveToEx(int x, int y) override { at_ = {x, y}; }
    void LineTo(int x, int y) override {
        addLine(at_.x, at_.y, x, y);
        stroke();
        at_ = {x, y};
    }
    void Rectangle(int left, int top, int right, int bottom) override {
        if (left == right || top == bottom) return;
        const int l = std::min(left, right), r = std::max(left, right) - 1;
        const int t = std::min(top, bottom), b = std::max(top, bottom) - 1;
        path_.push_back({r, b});
        addLine(l, t, r, t), addLine(r, t, r, b), addLine(r, b, l, b), addLine(l, b, l, t);
        stroke();
    }
    // The outline sampled once per column and once per row, so that it is closed everywhere.
    void Ellipse(int left, int top, int right, int bottom) override {
        if (left == right || top == bottom) return;
        const int l = std::min(left, right), r = std::max(left, right) - 1;
        const int t = std::min(top, bottom), b = std::max(top, bottom) - 1;
        const double cx = (l + r) / 2.0, cy = (t + b) / 2.0, ax = (r - l) / 2.0, ay = (b - t) / 2.0;
        auto at = [](double centre, double radius, double offset, double axis) {
            return int(std::lround(
                centre + radius * std::sqrt(std::max(0.0, 1 - offset * offset / (axis * axis)))));
        };
        for (int x = l; x <= r; ++x)
            for (double radius : {-ay, ay})
                path_.push_back({x, at(cy, radius, x - cx, ax)});
        for (int y = t; y <= b; ++y)
            for (double radius : {-ax, ax})
                path_.push_back({at(cx, radius, y - cy, ay), y});
        stroke();
    }
    void BitBlt(int x, int y, int w, int h, Surface& source) override {
        auto& from = static_cast<RasterSurface&>(source);
        const int left = std::max(x, 0), right = std::min({x + w, width, from.width});
        for (int row = std::max(y, 0); row < std::min({y + h, height, from.height}) && left < right;
             ++row)
            std::copy_n(&from.pixels[std::size_t(row) * from.width + left], right - left,
                        &pixels[std::size_t(row) * width + left]);
    }

    const RasterObject* pen() const { return pen_; }
    const RasterObject* brush() const { return brush_; }

    const int width, height;
    std::vector<ColorRef> pixels;

  private:
    // Bresenham, leaving out (x1, y1) as GDI does.
    void addLine(int x0, int y0, int x1, int y1) {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0), sx = x0 < x1 ? 1 : -1,
                  sy = y0 < y1 ? 1 : -1;
        for (int err = dx + dy, e2; x0 != x1 || y0 != y1;) {
            path_.push_back({x0, y0}), e2 = 2 * err;
            if (e2 >= dy) err += dy, x0 += sx;
            if (e2 <= dx) err += dx, y0 += sy;
        }
    }
    void stroke() {
        const int w = pen_->width, low = -(w / 2);
        ++generation_;
        for (std::size_t i = 0; i < path_.size(); ++i)
            for (int y = path_[i].y + low; y < path_[i].y + low + w; ++y)
                for (int x = path_[i].x + low; x < path_[i].x + low + w; ++x) {
                    const bool gap =
                        pen_->style == PenStyleDash && w == 1 && i % 24 >= 18; // 18 on, 6 off
                    const std::size_t at = std::size_t(y) * width + x;
                    if (gap || x < 0 || y < 0 || x >= width || y >= height ||
                        std::exchange(touched_[at], generation_) == generation_)
                        continue;
                    pixels[at] = mix_ == MIX_NOT ? pixels[at] ^ 0xFFFFFF : pen_->colour;
                }
        path_.clear();
    }

    RasterPlatform& platform_;
    RasterObject* pen_ = &platform_.initialPen;
    RasterObject* brush_ = &platform_.initialBrush;
    int mix_ = MIX_COPYPEN;
    ScreenPoint at_;
    std::vector<ScreenPoint> path_;
    std::vector<unsigned> touched_; // == generation_ where the present primitive has been
    unsigned generation_ = 0;
};

// Empty when both hold the same pixels; otherwise how many differ and the first of them.
inline std::string pictureDifference(const RasterSurface& actual, const RasterSurface& expected) {
    const auto first =
        std::mismatch(actual.pixels.begin(), actual.pixels.end(), expected.pixels.begin());
    if (first.first == actual.pixels.end()) return {};
    const long at = first.first - actual.pixels.begin();
    return std::to_string(std::inner_product(actual.pixels.begin(), actual.pixels.end(),
                                             expected.pixels.begin(), 0L, std::plus<>(),
                                             std::not_equal_to<>())) +
           " pixels differ, the first at (" + std::to_string(at % actual.width) + ", " +
           std::to_string(at / actual.width) + ")";
}

} // namespace tovrel::test
