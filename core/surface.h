// The drawing operations the core needs, named after their Win32 counterparts.
// The shell implements them over GDI; the unit tests over a software raster.
#pragma once

#include "settings.h"

namespace tovrel {

using GdiObject = void*; // a pen, brush or font; null means none

inline constexpr int NULL_BRUSH_OBJECT = 5;    // GetStockObject(NULL_BRUSH)
inline constexpr int MIX_NOT = 6;              // R2_NOT
inline constexpr int MIX_MASKPEN = 9;          // R2_MASKPEN: pixel AND pen colour
inline constexpr int MIX_COPYPEN = 13;         // R2_COPYPEN, a surface's normal mode
inline constexpr int FONT_WEIGHT_NORMAL = 400; // FW_NORMAL
inline constexpr int FONT_WEIGHT_BOLD = 700;   // FW_BOLD
// DrawTextW's formats: DT_CENTER, DT_VCENTER, DT_SINGLELINE, DT_NOCLIP, DT_CALCRECT, DT_NOPREFIX.
inline constexpr unsigned TEXT_CENTER = 0x1, TEXT_VCENTER = 0x4, TEXT_SINGLELINE = 0x20,
                          TEXT_NOCLIP = 0x100, TEXT_CALCRECT = 0x400, TEXT_NOPREFIX = 0x800;
inline constexpr std::uint32_t MK_LBUTTON_FLAG = 0x0001;

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// Pixels left..right-1 by top..bottom-1.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(PixelRect, PixelRect) = default;
};

constexpr bool isEmpty(PixelRect r) {
    return r.left >= r.right || r.top >= r.bottom;
}

// One device context: the Canvas or the overlay window's DC.
class Surface {
  public:
    virtual ~Surface() = default;
    virtual GdiObject SelectObject(GdiObject object) = 0;
    virtual int SetROP2(int mode) = 0;
    virtual void MoveToEx(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;
    // Copies the width x height pixels at (x, y) of source to (x, y) of this surface (SRCCOPY).
    virtual void BitBlt(int x, int y, int width, int height, Surface& source) = 0;
    // Copies width x height 32-bit pixels, in rows top-down one after the other, to (x, y).
    virtual void SetDIBitsToDevice(int x, int y, int width, int height,
                                   const std::uint32_t* pixels) = 0;
    virtual ColorRef SetTextColor(ColorRef colour) = 0;
    // Text in the selected font and the text colour, on a transparent background. With
    // TEXT_NOPREFIX | TEXT_NOCLIP: its first line's top-left corner at rect's, a line for each
    // CR LF; with TEXT_CALCRECT too, nothing is drawn and rect's right and bottom are set to the
    // text's extent. With TEXT_CENTER | TEXT_VCENTER | TEXT_SINGLELINE | TEXT_NOPREFIX: one line
    // centred in rect, and cut at its edges.
    virtual void DrawTextW(const char16_t* text, int length, PixelRect& rect, unsigned format) = 0;
    // The pixels, a 32-bit word each in rows top-down, with all drawing so far in them: the
    // Canvas's, as a 32-bit DIB section holds them. Null for the window.
    virtual std::uint32_t* Bits() = 0;
};

// The object factory and the cursor, shared by both surfaces.
class DrawingPlatform {
  public:
    virtual ~DrawingPlatform() = default;
    virtual GdiObject CreatePen(int style, int width, ColorRef colour) = 0;
    virtual GdiObject CreateSolidBrush(ColorRef colour) = 0;
    // "Microsoft YaHei" of this height in pixels (the characters', as a negative height asks) and
    // weight.
    virtual GdiObject CreateFontW(int height, int weight) = 0;
    virtual GdiObject GetStockObject(int object) = 0;
    virtual bool DeleteObject(GdiObject object) = 0;
    virtual ScreenPoint GetCursorPos() = 0;
};

// Selects an object into a surface for as long as it lives, then puts back what was there; an
// object made for the drawing (owned) is deleted then too.
class Selected {
  public:
    Selected(DrawingPlatform& platform, Surface& surface, GdiObject object, bool owned = true)
        : platform_(platform), surface_(surface), owned_(owned ? object : nullptr),
          previous_(surface.SelectObject(object)) {}
    ~Selected() {
        surface_.SelectObject(previous_);
        if (owned_) platform_.DeleteObject(owned_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

  private:
    DrawingPlatform& platform_;
    Surface& surface_;
    GdiObject owned_;
    GdiObject previous_;
};

// A surface's mix mode for as long as it lives.
class Mixing {
  public:
    Mixing(Surface& surface, int mode) : surface_(surface), previous_(surface.SetROP2(mode)) {}
    ~Mixing() { surface_.SetROP2(previous_); }
    Mixing(const Mixing&) = delete;
    Mixing& operator=(const Mixing&) = delete;

  private:
    Surface& surface_;
    int previous_;
};

// The two surfaces of an open overlay, the size of the frozen picture, where on the screen it lies
// (its monitor's top-left corner, which may be left of or above the primary's) and that monitor's
// dots per inch.
struct OverlaySurfaces {
    DrawingPlatform& platform;
    Surface& canvas;
    Surface& window;
    int width;
    int height;
    ScreenPoint origin = {};
    int dpi = 96;
};

// The overlay's own coordinates of a point on the screen.
constexpr ScreenPoint toOverlay(ScreenPoint screen, ScreenPoint origin) {
    return {screen.x - origin.x, screen.y - origin.y};
}

} // namespace tovrel
