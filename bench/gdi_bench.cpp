// Rubber-band steps through the GDI adapter against one plain full-screen BitBlt from a memory
// DC to a window DC, the cost of a step that copied the whole Canvas: a 300x200 rectangle, and
// one dragged from corner to corner. Then a character typed into a text on a 3840x2160 Canvas
// against one copy of that whole frame: a keystroke draws the text again and shows its
// rectangle, never the frame. A highlighter segment and a marker, each with its undo step, on the
// same Canvas against the same copy: their drawing is the platform's own work (a wide pen, a
// filled circle, a bold font and its text), which only real GDI measures honestly.
#include "gdi_surface.h"
#include "stroke_engine.h"
#include "win_timing.h"

#include <cstdio>

namespace {

// The program's objects, with a cursor that the benchmark places. Reading the real one, as every
// press and each freehand segment does, is timed on its own: under Wine it is a round trip to the
// X server, which would hide what drawing costs.
class PlacedCursor final : public tovrel::DrawingPlatform {
  public:
    tovrel::GdiObject CreatePen(int style, int width, tovrel::ColorRef colour) override {
        return gdi_.CreatePen(style, width, colour);
    }
    tovrel::GdiObject CreateSolidBrush(tovrel::ColorRef colour) override {
        return gdi_.CreateSolidBrush(colour);
    }
    tovrel::GdiObject CreateFontW(int height, int weight) override {
        return gdi_.CreateFontW(height, weight);
    }
    tovrel::GdiObject GetStockObject(int object) override { return gdi_.GetStockObject(object); }
    bool DeleteObject(tovrel::GdiObject object) override { return gdi_.DeleteObject(object); }
    tovrel::ScreenPoint GetCursorPos() override { return at; }
    tovrel::ScreenPoint at;

  private:
    GdiPlatform gdi_;
};

} // namespace

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

    // A highlighter segment about 200 pixels long, and a marker, each drawn, recorded as the next
    // press records it, and taken back, so that each draws on white again: the undo comes on top.
    PatBlt(canvas4k.dc(), 0, 0, k4kW, k4kH, WHITENESS);
    PlacedCursor placed;
    tovrel::DrawingSettings highlighter{tovrel::ToolHighlighter, 0x00FFFF},
        marker{tovrel::ToolMarker, 0x00FFFF};
    const tovrel::OverlaySurfaces surfaces{placed, canvasSurface4k, windowSurface, k4kW, k4kH};
    tovrel::StrokeEngine highlighting(highlighter, state, surfaces),
        marking(marker, state, surfaces);
    auto drawnAndTakenBack = [&](tovrel::StrokeEngine& engine) {
        placed.at = {300, 300};
        engine.onLeftButtonDown();
        placed.at = {500, 360};
        engine.onMouseMove(MK_LBUTTON, 500, 360);
        engine.undo();
    };
    auto [segment, mark, cursor, frameCopy] = medianPerCall(
        9, 40, [&](int) { drawnAndTakenBack(highlighting); },
        [&](int) { drawnAndTakenBack(marking); }, [&](int) { platform.GetCursorPos(); },
        [&](int) { BitBlt(frame.dc(), 0, 0, k4kW, k4kH, canvas4k.dc(), 0, 0, SRCCOPY); });
    GdiFlush();
    std::printf("on 3840x2160, with its undo step: a highlighter segment %.3f ms, a marker %.3f ms;"
                " a copy of the frame %.3f ms\n"
                "highlighter segment / frame copy: %.4f (aim: at most 0.05)\n"
                "marker / frame copy: %.4f (aim: at most 0.05)\n"
                "reading the cursor, as each press and freehand segment does: %.3f ms, %.4f of a"
                " frame copy\n",
                segment * 1e3, mark * 1e3, frameCopy * 1e3, segment / frameCopy, mark / frameCopy,
                cursor * 1e3, cursor / frameCopy);
    return 0;
}
