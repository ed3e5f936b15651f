#include "gdi_surface.h"

using tovrel::GdiObject;

static_assert(tovrel::MIX_MASKPEN == R2_MASKPEN && tovrel::FONT_WEIGHT_NORMAL == FW_NORMAL &&
              tovrel::FONT_WEIGHT_BOLD == FW_BOLD && tovrel::TEXT_CENTER == DT_CENTER &&
              tovrel::TEXT_VCENTER == DT_VCENTER && tovrel::TEXT_SINGLELINE == DT_SINGLELINE &&
              tovrel::TEXT_NOCLIP == DT_NOCLIP && tovrel::TEXT_CALCRECT == DT_CALCRECT &&
              tovrel::TEXT_NOPREFIX == DT_NOPREFIX);

namespace {

// 32-bit pixels in rows top-down, as the Canvas holds them.
BITMAPINFO topDownPixels(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

} // namespace

HBITMAP createPixelBitmap(HDC dc, int width, int height, std::uint32_t*& bits) {
    const BITMAPINFO info = topDownPixels(width, height);
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = bitmap ? static_cast<std::uint32_t*>(pixels) : nullptr;
    return bitmap;
}

GdiObject GdiSurface::SelectObject(GdiObject object) {
    return ::SelectObject(dc_, static_cast<HGDIOBJ>(object));
}

int GdiSurface::SetROP2(int mode) {
    return ::SetROP2(dc_, mode);
}

void GdiSurface::MoveToEx(int x, int y) {
    ::MoveToEx(dc_, x, y, nullptr);
}

void GdiSurface::LineTo(int x, int y) {
    // A line ending where it starts is empty, but Wine paints a wide pen's round cap there; the
    // rubber band's first removal pass, from the start to itself, would leave that dot inverted.
    POINT current{};
    if (::GetCurrentPositionEx(dc_, &current) && current.x == x && current.y == y) return;
    ::LineTo(dc_, x, y);
}

void GdiSurface::Rectangle(int left, int top, int right, int bottom) {
    ::Rectangle(dc_, left, top, right, bottom);
}

void GdiSurface::Ellipse(int left, int top, int right, int bottom) {
    ::Ellipse(dc_, left, top, right, bottom);
}

void GdiSurface::BitBlt(int x, int y, int width, int height, tovrel::Surface& source) {
    ::BitBlt(dc_, x, y, width, height, static_cast<GdiSurface&>(source).dc_, x, y, SRCCOPY);
}

void GdiSurface::SetDIBitsToDevice(int x, int y, int width, int height,
                                   const std::uint32_t* pixels) {
    const BITMAPINFO info = topDownPixels(width, height);
    ::SetDIBitsToDevice(dc_, x, y, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), pixels,
                        &info, DIB_RGB_COLORS);
}

tovrel::ColorRef GdiSurface::SetTextColor(tovrel::ColorRef colour) {
    return ::SetTextColor(dc_, colour);
}

void GdiSurface::DrawTextW(const char16_t* text, int length, tovrel::PixelRect& rect,
                           unsigned format) {
    // Nothing to draw or measure; Wine reads past an empty text given with its length.
    if (length == 0) {
        rect.right = rect.left, rect.bottom = rect.top;
        return;
    }
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    ::DrawTextW(dc_, reinterpret_cast<const wchar_t*>(text), length, &r, format);
    rect = {r.left, r.top, r.right, r.bottom};
}

// GDI may still hold drawing calls in its batch; the pixels show them only once it is flushed.
std::uint32_t* GdiSurface::Bits() {
    if (bits_) GdiFlush();
    return bits_;
}

GdiObject GdiPlatform::CreatePen(int style, int width, tovrel::ColorRef colour) {
    return ::CreatePen(style, width, colour);
}

GdiObject GdiPlatform::CreateSolidBrush(tovrel::ColorRef colour) {
    return ::CreateSolidBrush(colour);
}

GdiObject GdiPlatform::CreateFontW(int height, int weight) {
    return ::CreateFontW(-height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
}

GdiObject GdiPlatform::GetStockObject(int object) {
    return ::GetStockObject(object);
}

bool GdiPlatform::DeleteObject(GdiObject object) {
    return ::DeleteObject(static_cast<HGDIOBJ>(object)) != 0;
}

tovrel::ScreenPoint GdiPlatform::GetCursorPos() {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    return {cursor.x, cursor.y};
}
