// Software drawing surfaces, so the core runs without a window system. Pixels are COLORREF
// values. Drawing follows GDI where the core relies on it: lines leave out their end point,
// Rectangle and Ellipse stay inside left..right-1 and top..bottom-1, a pen of width w covers
// w x w pixels around each point of its path, and dashes only at width 1. A solid brush fills
// what lies between the outline's pixels on each row; the hollow one fills nothing. R2_NOT
// inverts, R2_MASKPEN ANDs the pixel with the pen's (or brush's) colour, other modes paint that
// colour. One primitive touches a pixel once, so drawing it twice under R2_NOT restores the
// picture. Text is a cell per character (a pair of surrogates is one), of half the font's height
// across below U+0080 and the whole height above, with a pattern of its own in each, denser in a
// bold font, blended half and half with the picture as smoothed text is: drawn twice in a place,
// it shows. Centred, a single line lies in the middle of its rectangle and is cut at its edges.
#pragma once

#include "surface.h"

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

namespace tovrel::test {

struct RasterObject {
    int style = PenStyleSolid, width = 1; // a font's width is its height
    ColorRef colour = 0;
    bool deleted = false, shared = false;
    int selected = 0; // by how many surfaces now
    int weight = 0;   // a font's
};

class RasterPlatform : public DrawingPlatform {
  public:
    GdiObject CreatePen(int style, int width, ColorRef colour) override {
        return &pens.emplace_back(RasterObject{style, std::max(width, 1), colour});
    }
    GdiObject CreateSolidBrush(ColorRef colour) override {
        return &pens.emplace_back(RasterObject{kBrush, 1, colour});
    }
    GdiObject CreateFontW(int height, int weight) override {
        return &pens.emplace_back(RasterObject{kFont, height, 0, false, false, 0, weight});
    }
    GdiObject GetStockObject(int) override { return &hollowBrush; }
    ScreenPoint GetCursorPos() override { return cursor; }
    bool DeleteObject(GdiObject object) override {
        auto* o = static_cast<RasterObject*>(object);
        return o->shared || o->deleted || o->selected > 0 ? (++misuses, false)
                                                          : (o->deleted = true);
    }
    long livePens() const {
        return std::count_if(pens.begin(), pens.end(), [](auto& p) { return !p.deleted; });
    }

    static constexpr int kFont = -1, kBrush = -2; // the styles that mark a font and a brush

    ScreenPoint cursor;
    int misuses = 0; // deleting what is selected, shared or gone, or selecting what is gone
    RasterObject hollowBrush{0, 1, 0, false, true}, initialBrush = hollowBrush,
                                                    initialPen = hollowBrush,
                                                    initialFont{kFont, 16, 0, false, true};
    std::deque<RasterObject> pens;
};

class RasterSurface : public Surface {
  public:
    RasterSurface(RasterPlatform& platform, int w, int h)
        : width(w), height(h), pixels(std::size_t(w) * h), platform_(platform),
          touched_(pixels.size()) {
        ++pen_->selected, ++brush_->selected, ++font_->selected;
    }
    ~RasterSurface() override { --pen_->selected, --brush_->selected, --font_->selected; }

    GdiObject SelectObject(GdiObject object) override {
        auto* o = static_cast<RasterObject*>(object);
        if (o->deleted) return ++platform_.misuses, nullptr;
        RasterObject*& slot = o == &platform_.hollowBrush || o == &platform_.initialBrush ||
                                      o->style == RasterPlatform::kBrush
                                  ? brush_
                              : o->style == RasterPlatform::kFont || o == &platform_.initialFont
                                  ? font_
                                  : pen_;
        return --slot->selected, ++o->selected, std::exchange(slot, o);
    }
    int SetROP2(int mode) override { return std::exchange(mix_, mode); }
    void MoveToEx(int x, int y) override { at_ = {x, y}; }
    void LineTo(int x, int y) override { stroke({at_, at_ = {x, y}}, false); }
    void Rectangle(int left, int top, int right, int bottom) override {
        const int l = std::min(left, right), r = std::max(left, right) - 1;
        const int t = std::min(top, bottom), b = std::max(top, bottom) - 1;
        if (left != right && top != bottom) stroke({{l, t}, {r, t}, {r, b}, {l, b}}, true);
    }
    // A diamond inside the same rectangle stands in for the ellipse: its exact shape does not
    // matter to the engine, only where it lies and that it is drawn the same each time.
    void Ellipse(int left, int top, int right, int bottom) override {
        const int l = std::min(left, right), r = std::max(left, right) - 1, cx = (l + r) / 2;
        const int t = std::min(top, bottom), b = std::max(top, bottom) - 1, cy = (t + b) / 2;
        if (left != right && top != bottom) stroke({{cx, t}, {r, cy}, {cx, b}, {l, cy}}, true);
    }
    void BitBlt(int x, int y, int w, int h, Surface& source) override {
        auto& from = static_cast<RasterSurface&>(source);
        const int left = std::max(x, 0), right = std::min({x + w, width, from.width});
        for (int row = std::max(y, 0); row < std::min({y + h, height, from.height}) && left < right;
             ++row)
            std::copy_n(&from.pixels[std::size_t(row) * from.width + left], right - left,
                        &pixels[std::size_t(row) * width + left]);
    }
    void SetDIBitsToDevice(int x, int y, int w, int h, const std::uint32_t* from) override {
        for (int row = 0; row < h; ++row)
            std::copy_n(from + std::size_t(row) * w, w, &pixels[std::size_t(y + row) * width + x]);
    }

    ColorRef SetTextColor(ColorRef colour) override { return std::exchange(textColour_, colour); }
    void DrawTextW(const char16_t* text, int length, PixelRect& rect, unsigned format) override {
        const PixelRect all = {0, 0, width, height}, r = rect;
        const PixelRect extent = cells(text, length, {r.left, r.top}, all, false);
        if (format & TEXT_CALCRECT)
            rect.right = extent.right, rect.bottom = extent.bottom;
        else if (format & TEXT_SINGLELINE) // centred, and cut at the rectangle's edges
            cells(text, length,
                  {r.left + (r.right - extent.right) / 2,
                   r.top + (r.bottom - r.top - font_->width) / 2},
                  {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
                   std::min(r.bottom, height)},
                  true);
        else
            cells(text, length, {r.left, r.top}, all, true);
    }

    std::uint32_t* Bits() override { return pixels.data(); }

    const RasterObject* pen() const { return pen_; }
    const RasterObject* brush() const { return brush_; }

    const int width, height;
    std::vector<ColorRef> pixels;

  private:
    // Draws text from at, only inside clip, or unless draw only measures it: the box it takes.
    PixelRect cells(const char16_t* text, int length, ScreenPoint at, PixelRect clip, bool draw) {
        const int h = font_->width;
        int x = at.x, y = at.y, widest = 0;
        for (int i = 0; i < length; ++i) {
            if (text[i] == u'\r' && i + 1 < length && text[i + 1] == u'\n') {
                x = at.x, y += h, ++i;
                continue;
            }
            const bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < length;
            const int across = text[i] < 0x80 ? h / 2 : h;
            for (int py = std::max(y, clip.top); py < std::min(y + h, clip.bottom) && draw; ++py)
                for (int px = std::max(x, clip.left); px < std::min(x + across, clip.right); ++px)
                    if (font_->weight >= FONT_WEIGHT_BOLD ? (px * 7 + py * 3 + text[i]) % 11 < 3
                                                          : (px * 7 + py * 3 + text[i]) % 5 == 0) {
                        ColorRef& p = pixels[std::size_t(py) * width + px];
                        p = ((p & 0xFEFEFE) >> 1) + ((textColour_ & 0xFEFEFE) >> 1);
                    }
            x += across, i += pair;
            widest = std::max(widest, x - at.x);
        }
        return {at.x, at.y, at.x + widest, y + h};
    }

    void paint(std::size_t at, ColorRef colour) {
        ColorRef& p = pixels[at];
        p = mix_ == MIX_NOT ? p ^ 0xFFFFFF : mix_ == MIX_MASKPEN ? p & colour : colour;
    }

    // The path through the corners (Bresenham, each segment without its end point, as GDI
    // draws lines), painted with the pen, each pixel once.
    void stroke(const std::vector<ScreenPoint>& corners, bool closed) {
        std::vector<ScreenPoint> path(closed ? 1 : 0, corners.back());
        for (std::size_t i = 0; i + 1 < corners.size() + closed; ++i) {
            auto [x0, y0] = corners[i];
            const auto [x1, y1] = corners[(i + 1) % corners.size()];
            const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0), sx = x0 < x1 ? 1 : -1,
                      sy = y0 < y1 ? 1 : -1;
            for (int err = dx + dy, e2; x0 != x1 || y0 != y1;) {
                path.push_back({x0, y0}), e2 = 2 * err;
                if (e2 >= dy) err += dy, x0 += sx;
                if (e2 <= dx) err += dx, y0 += sy;
            }
        }
        const int w = pen_->width, low = -(w / 2);
        ++generation_;
        for (std::size_t i = 0; i < path.size(); ++i) {
            const ScreenPoint p = path[i], q = path[i > 0 ? i - 1 : 0];
            const bool gap = pen_->style == PenStyleDash && w == 1 && i % 24 >= 18; // 18 on, 6 off
            for (int y = p.y + low; y < p.y + low + w && !gap; ++y) {
                int from = p.x + low, to = from + w;
                // Where the square of the point before lies too, its pixels are painted already.
                if (i > 0 && w > 1 && y >= q.y + low && y < q.y + low + w) {
                    if (q.x < p.x)
                        from = std::max(from, q.x + low + w);
                    else
                        to = std::min(to, q.x + low);
                }
                for (int x = from; x < to; ++x)
                    touch(x, y, pen_->colour);
            }
        }
        if (!closed || brush_->style != RasterPlatform::kBrush) return;
        std::sort(path.begin(), path.end(), [](ScreenPoint a, ScreenPoint b) {
            return std::pair(a.y, a.x) < std::pair(b.y, b.x);
        });
        for (std::size_t i = 1; i < path.size(); ++i) // between the outline's pixels on a row
            for (int x = path[i - 1].x + 1; path[i - 1].y == path[i].y && x < path[i].x; ++x)
                touch(x, path[i].y, brush_->colour);
    }

    // Paints (x, y) unless it lies off the surface or the present primitive has been there.
    void touch(int x, int y, ColorRef colour) {
        const std::size_t at = std::size_t(y) * width + x;
        if (x >= 0 && y >= 0 && x < width && y < height && touched_[at] != generation_)
            touched_[at] = generation_, paint(at, colour);
    }

    RasterPlatform& platform_;
    RasterObject* pen_ = &platform_.initialPen;
    RasterObject* brush_ = &platform_.initialBrush;
    RasterObject* font_ = &platform_.initialFont;
    ColorRef textColour_ = 0;
    int mix_ = MIX_COPYPEN;
    ScreenPoint at_;
    std::vector<unsigned> touched_; // == generation_ where the present primitive has been
    unsigned generation_ = 0;
};

} // namespace tovrel::test
