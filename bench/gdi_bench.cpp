// One rectangle rubber-band step through the GDI adapter against the floor the
// design sets: one plain full-screen BitBlt from a memory DC to a window DC.
#include "gdi_surface.h"
#include "stroke_engine.h"
#include "win_timing.h"

#include <cstdio>

int main() {
    FullScreenWindow overlay;
    const int width = overlay.width();
    const int height = overlay.height();
    HDC windowDc = overlay.dc();
    HDC screen = GetDC(nullptr);
    HDC canvasDc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ original = SelectObject(canvasDc, bitmap);
    BitBlt(canvasDc, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SetBkMode(canvasDc, TRANSPARENT);

    GdiPlatform platform;
    GdiSurface canvas(canvasDc), windowSurface(windowDc);
    tovrel::DrawingSettings settings;
    settings.tool = tovrel::ToolRectangle;
    tovrel::DragState drag;
    double step = 0, copy = 0;
    {
        tovrel::StrokeEngine engine(settings, drag,
                                    {platform, canvas, windowSurface, width, height});
        SetCursorPos(width / 4, height / 4);
        engine.onLeftButtonDown();
        auto [s, c] = medianPerCall(
            9, 40,
            [&](int i) {
                engine.onMouseMove(MK_LBUTTON, static_cast<std::uint16_t>(width / 2 + i % 200),
                                   static_cast<std::uint16_t>(height / 2 + i % 150));
            },
            [&](int) { BitBlt(windowDc, 0, 0, width, height, canvasDc, 0, 0, SRCCOPY); });
        step = s;
        copy = c;
    }
    GdiFlush();
    std::printf("rubber-band step through GDI: %.3f ms, full-screen BitBlt: %.3f ms (%dx%d)\n",
                step * 1e3, copy * 1e3, width, height);
    std::printf("ratio step/copy: %.3f\n", step / copy);

    SelectObject(canvasDc, original);
    DeleteObject(bitmap);
    DeleteDC(canvasDc);
    ReleaseDC(nullptr, screen);
    return 0;
}
