// Rubber-band steps through the GDI adapter against one plain full-screen BitBlt from a memory
// DC to a window DC, the cost of a step that copied the whole Canvas: a 300x200 rectangle, and
// one dragged from corner to corner. Then a character typed into a text on a 3840x2160 Canvas
// against one copy of that whole frame: a keystroke draws the text again and shows its
// rectangle, never the frame.
#include "gdi_surface.h"
#include "stroke_engine.h"
#include "win_timing.h"

#include <cstdio>

int main() {
    FullScreenWindow overlay;
    const int width = overlay.width();
    const int height = overlay.height();
    HDC windowDc = overlay.dc();
    ScreenCanvas screenCanvas(width, height);
    HDC canvasDc = screenCanvas.dc();

    GdiPlatform platform;
    GdiSurface canvas(canvasDc, screenCanvas.bits()), windowSurface(windowDc);
    tovrel::DrawingSettings settings;
    settings.tool = tovrel::ToolRectangle;
    const POINT drags[][2] = {{{width / 4, height / 4}, {width / 4 + 300, height / 4 + 200}},
                              {{0, 0}, {width - 1, height - 1}}};
    for (const auto& drag : drags) {
        tovrel::DragState state;
        tovrel::StrokeEngine engine(settings, state,
                                    {platform, canvas, windowSurface, width, height});
        SetCursorPos(drag[0].x, drag[0].y);
        engine.onLeftButtonDown();
        auto [step, copy] = medianPerCall(
            9, 40,
            [&](int i) {
                engine.onMouseMove(MK_LBUTTON, static_cast<std::uint16_t>(drag[1].x - i % 2),
                                   static_cast<std::uint16_t>(drag[1].y - i % 2));
            },
            [&](int) { BitBlt(windowDc, 0, 0, width, height, canvasDc, 0, 0, SRCCOPY); });
        GdiFlush();
        std::printf("%dx%d drag: step %.3f ms, full-screen BitBlt %.3f ms, ratio %.3f\n",
                    static_cast<int>(drag[1].x - drag[0].x),
                    static_cast<int>(drag[1].y - drag[0].y), step * 1e3, copy * 1e3, step / copy);
    }

    constexpr int k4kW = 3840, k4kH = 2160;
    ScreenCanvas canvas4k(k4kW, k4kH), frame(k4kW, k4kH);
    GdiSurface canvasSurface4k(canvas4k.dc(), canvas4k.bits());
    settings.tool = tovrel::ToolText;
    tovrel::DragState state;
    tovrel::StrokeEngine engine(settings, state,
                                {platform, canvasSurface4k, windowSurface, k4kW, k4kH});
    SetCursorPos(100, 100);
    engine.onLeftButtonDown();
    for (const char16_t* unit = u"A note of some length, 有中文"; *unit; ++unit)
        engine.onChar(*unit);
    auto [typing, copy] = medianPerCall( // a character and a backspace in turn
        9, 40, [&](int i) { engine.onChar(i % 2 ? u'\b' : u'字'); },
        [&](int) { BitBlt(frame.dc(), 0, 0, k4kW, k4kH, canvas4k.dc(), 0, 0, SRCCOPY); });
    GdiFlush();
    std::printf("a character typed on 3840x2160: %.3f ms, a copy of the frame %.3f ms\n"
                "character / frame copy: %.4f (aim: at most 0.05)\n",
                typing * 1e3, copy * 1e3, typing / copy);
    return 0;
}
