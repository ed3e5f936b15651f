// What the overlay should show, drawn in this process with the same GDI calls on a copy of the
// driver's pattern.
#pragma once

#include "driver.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

namespace overlay_support {

using Segment = std::pair<POINT, POINT>;

// The pattern window's picture (left half white, right half black) in a DIB of screen size,
// with the pixel layout of driver::Screenshot.
class Picture {
  public:
    Picture()
        : width_(GetSystemMetrics(SM_CXSCREEN)), height_(GetSystemMetrics(SM_CYSCREEN)),
          dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        original_ = SelectObject(dc_, bitmap_);
        // The Canvas draws dashes without filling their gaps.
        SetBkMode(dc_, TRANSPARENT);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                bits_[static_cast<size_t>(y) * width_ + x] =
                    x < width_ / 2 ? driver::kWhite : driver::kBlack;
    }
    ~Picture() {
        SelectObject(dc_, original_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // R2_NOT sets the unused top byte too.
    std::uint32_t at(int x, int y) const {
        return bits_[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF;
    }

    // Outlines as the rubber band leaves them: inverted, hollow.
    void invertRectangle(POINT a, POINT b, int style = PS_SOLID, int width = 1) {
        withPen(style, width, RGB(0, 0, 0), R2_NOT, [&] { Rectangle(dc_, a.x, a.y, b.x, b.y); });
    }
    void invertEllipse(POINT a, POINT b) {
        withPen(PS_SOLID, 1, RGB(0, 0, 0), R2_NOT, [&] { Ellipse(dc_, a.x, a.y, b.x, b.y); });
    }
    void invertLines(std::initializer_list<Segment> segments, int width = 1) {
        withPen(PS_SOLID, width, RGB(0, 0, 0), R2_NOT, [&] {
            for (const Segment& segment : segments) {
                MoveToEx(dc_, segment.first.x, segment.first.y, nullptr);
                LineTo(dc_, segment.second.x, segment.second.y);
            }
        });
    }
    void paintLine(POINT a, POINT b, COLORREF colour, int width) {
        withPen(PS_SOLID, width, colour, R2_COPYPEN, [&] {
            MoveToEx(dc_, a.x, a.y, nullptr);
            LineTo(dc_, b.x, b.y);
        });
    }

  private:
    template <typename Draw>
    void withPen(int style, int width, COLORREF colour, int mode, Draw draw) {
        HPEN pen = CreatePen(style, width, colour);
        HGDIOBJ oldPen = SelectObject(dc_, pen);
        HGDIOBJ oldBrush = SelectObject(dc_, GetStockObject(NULL_BRUSH));
        const int oldMode = SetROP2(dc_, mode);
        draw();
        GdiFlush();
        SetROP2(dc_, oldMode);
        SelectObject(dc_, oldBrush);
        SelectObject(dc_, oldPen);
        DeleteObject(pen);
    }

    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

inline std::string hex(std::uint32_t pixel) {
    char text[16];
    std::snprintf(text, sizeof(text), "%06X", static_cast<unsigned>(pixel));
    return text;
}

// Empty when the screen shows exactly the picture; otherwise how many pixels differ and where
// the first few are.
inline std::string differences(const driver::Screenshot& shot, const Picture& expected) {
    if (shot.width != expected.width() || shot.height != expected.height())
        return "screen is " + std::to_string(shot.width) + "x" + std::to_string(shot.height);
    size_t count = 0;
    std::string first;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            if (shot.at(x, y) == expected.at(x, y)) continue;
            if (++count <= 6)
                first += " (" + std::to_string(x) + "," + std::to_string(y) + ") " +
                         hex(shot.at(x, y)) + " not " + hex(expected.at(x, y)) + ";";
        }
    return count == 0 ? std::string() : std::to_string(count) + " pixels differ:" + first;
}

inline driver::Screenshot waitForPicture(const Picture& expected) {
    return driver::waitForScreen(
        [&](const driver::Screenshot& shot) { return differences(shot, expected).empty(); });
}

} // namespace overlay_support
