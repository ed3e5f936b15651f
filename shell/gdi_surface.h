// The core's drawing operations over GDI, one call each.
#pragma once

#include <windows.h>

#include "surface.h"

class GdiSurface final : public tovrel::Surface {
  public:
    explicit GdiSurface(HDC dc) : dc_(dc) {}
    HDC dc() const { return dc_; }

    tovrel::GdiObject SelectObject(tovrel::GdiObject object) override;
    int SetROP2(int mode) override;
    void MoveToEx(int x, int y) override;
    void LineTo(int x, int y) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void BitBlt(int x, int y, int width, int height, tovrel::Surface& source) override;

  private:
    HDC dc_;
};

class GdiPlatform final : public tovrel::DrawingPlatform {
  public:
    tovrel::GdiObject CreatePen(int style, int width, tovrel::ColorRef colour) override;
    tovrel::GdiObject GetStockObject(int object) override;
    bool DeleteObject(tovrel::GdiObject object) override;
    tovrel::ScreenPoint GetCursorPos() override;
};
