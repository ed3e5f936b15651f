// Software drawing surfaces so the core can be exercised without a window system.
//
// Pixels are stored as COLORREF values (0x00BBGGRR), so a pen's colour and the
// pixel it paints compare directly. Drawing follows GDI where the core relies on
// it: lines leave out their end point, Rectangle and Ellipse stay inside
// left..right-1 and top..bottom-1, dashes only at width 1. R2_NOT inverts the low
// 24 bits; every other mix mode paints like R2_COPYPEN. Within one primitive a
// pixel is touched at most once, so a shape drawn twice under R2_NOT cancels out.
#pragma once

#include "surface.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tovrel::test {

// A pen or a brush.
struct RasterObject {
    enum class Kind { Pen, Brush };
    Kind kind = Kind::Pen;
    int style = PenStyleSolid;
    int width = 1;
    ColorRef colour = 0;
    bool hollow = false; // brushes only
    int selections = 0;  // surfaces it is selected into now
};

class RasterPlatform : public DrawingPlatform {
  public:
    GdiObject CreatePen(int style, int width, ColorRef colour) override;
    GdiObject GetStockObject(int object) override;
    bool DeleteObject(GdiObject object) override;
    ScreenPoint GetCursorPos() override { return cursor; }

    int livePens() const { return static_cast<int>(live_.size()); }
    int pensCreated() const { return pensCreated_; }
    // GDI refuses or defers these; each one is a fault of the caller.
    int pensDeletedWhileSelected() const { return deletedWhileSelected_; }
    // Deleting or selecting something that is not a live object.
    int misuses() const { return misuses_; }

    ScreenPoint cursor;

  private:
    friend class RasterSurface;
    bool isLive(const RasterObject* object) const { return live_.contains(object); }
    // Shared like GDI's stock objects: a DC starts with BLACK_PEN and WHITE_BRUSH.
    static RasterObject* hollowBrush();
    static RasterObject* initialPen();
    static RasterObject* initialBrush();

    std::unordered_map<const RasterObject*, std::unique_ptr<RasterObject>> live_;
    // Deleted while selected: kept so the surfaces holding them stay valid.
    std::vector<std::unique_ptr<RasterObject>> zombies_;
    int pensCreated_ = 0;
    int deletedWhileSelected_ = 0;
    int misuses_ = 0;
};

// Declare after the platform it uses, which must outlive it.
class RasterSurface : public Surface {
  public:
    RasterSurface(RasterPlatform& platform, int width, int height, ColorRef fill = 0xFFFFFF);
    ~RasterSurface() override;
    RasterSurface(const RasterSurface&) = delete;
    RasterSurface& operator=(const RasterSurface&) = delete;

    GdiObject SelectObject(GdiObject object) override;
    int SetROP2(int mode) override;
    void MoveToEx(int x, int y) override { position_ = {x, y}; }
    void LineTo(int x, int y) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void BitBlt(int width, int height, Surface& source) override;

    int width() const { return width_; }
    int height() const { return height_; }
    ColorRef pixel(int x, int y) const { return pixels_[index(x, y)]; }
    void setPixel(int x, int y, ColorRef colour) { pixels_[index(x, y)] = colour; }
    const std::vector<ColorRef>& pixels() const { return pixels_; }

    const RasterObject* currentPen() const { return pen_; }
    const RasterObject* currentBrush() const { return brush_; }
    int mixMode() const { return mix_; }
    int bitBltCount() const { return bitBlts_; }

  private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }
    void appendLine(int x0, int y0, int x1, int y1);
    void paintPath(bool pathRepeats, bool filled);

    RasterPlatform& platform_;
    int width_;
    int height_;
    std::vector<ColorRef> pixels_;
    // marks_[i] == generation_ when pixel i was touched by the current primitive.
    std::vector<std::uint32_t> marks_;
    std::uint32_t generation_ = 0;
    std::vector<ScreenPoint> path_;

    RasterObject* pen_ = RasterPlatform::initialPen();
    RasterObject* brush_ = RasterPlatform::initialBrush();
    int mix_ = MIX_COPYPEN;
    ScreenPoint position_;
    int bitBlts_ = 0;
};

// Empty when both hold the same pixels; otherwise how many differ and where first.
std::string pictureDifference(const RasterSurface& actual, const RasterSurface& expected);

} // namespace tovrel::test
