// The core's drawing operations over GDI, one call each.
#pragma once

#include <windows.h>

#include "surface.h"

// A 32-bit top-down DIB section, whose pixels the program reads and writes directly (after
// GdiFlush): the Canvas's, for the undo history, the save and the copy alike. Null, and bits
// null, when out of memory.
HBITMAP createPixelBitmap(HDC dc, int width, int height, std::uint32_t*& bits);

class GdiSurface final : public tovrel::Surface {
  public:
    // bits: the pixels of the DIB section the DC holds, or null.
    explicit GdiSurface(HDC dc, std::uint32_t* bits = nullptr) : dc_(dc), bits_(bits) {}
    HDC dc() const { return dc_; }

    tovrel::GdiObject SelectObject(tovrel::GdiObject object) override;
    int SetROP2(int mode) override;
    void MoveToEx(int x, int y) override;
    void LineTo(int x, int y) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void BitBlt(int x, int y, int width, int height, tovrel::Surface& source) override;
    void SetDIBitsToDevice(int x, int y, int width, int height,
                           const std::uint32_t* pixels) override;
    tovrel::ColorRef SetTextColor(tovrel::ColorRef colour) override;
    void DrawTextW(const char16_t* text, int length, tovrel::PixelRect& rect,
                   unsigned format) override;
    std::uint32_t* Bits() override;

  private:
    HDC dc_;
    std::uint32_t* bits_;
};

class GdiPlatform final : public tovrel::DrawingPlatform {
  public:
    tovrel::GdiObject CreatePen(int style, int width, tovrel::ColorRef colour) override;
    tovrel::GdiObject CreateSolidBrush(tovrel::ColorRef colour) override;
    tovrel::GdiObject CreateFontW(int height, int weight) override;
    tovrel::GdiObject GetStockObject(int object) override;
    bool DeleteObject(tovrel::GdiObject object) override;
    tovrel::ScreenPoint GetCursorPos() override;
};
