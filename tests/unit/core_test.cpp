// The stroke engine over random drags, against the software raster.
#include "raster_surface.h"
#include "stroke_engine.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>

namespace tovrel {
namespace {

using test::RasterPlatform;
using test::RasterSurface;

// Random drags with every tool, colour, style and width, settings changed mid-drag from the
// overlay menu, across the edges of the screen, and undos and redos between drags. After every
// step the window shows the Canvas exactly (each step copies only what it changed), a move
// without the left button changes nothing, no pen is lost, and an undo or redo gives back the
// Canvas as it was at that point of the history. Odd seeds cap the history so that it must drop
// its oldest strokes.
TEST(StrokeEngine, WindowShowsTheCanvasAndUndoWalksTheHistory) {
    constexpr int kW = 120, kH = 90;
    constexpr std::int32_t kTools[] = {ToolRectangle, ToolEllipse, ToolPen, ToolLine, ToolArrow};
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        auto any = [&](int n) { return int(random() % n); };
        RasterPlatform platform;
        RasterSurface canvas(platform, kW, kH), window(platform, kW, kH);
        for (ColorRef& pixel : canvas.pixels)
            pixel = random() & 0xFFFFFF;
        window.BitBlt(0, 0, kW, kH, canvas);
        DrawingSettings settings;
        DragState drag;
        const std::size_t cap = seed % 2 ? 2000 : UndoHistory::kDefaultCapacity;
        // The Canvas after each stroke of the history; at is where the Canvas stands.
        std::vector<std::vector<ColorRef>> history = {canvas.pixels};
        std::size_t at = 0, dropped = 0;
        auto strokeEnds = [&] {
            if (canvas.pixels == history[at]) return;
            history.resize(++at);
            history.push_back(canvas.pixels);
        };
        {
            StrokeEngine engine(settings, drag, {platform, canvas, window, kW, kH}, cap);
            for (int step = 0; step < 400; ++step) {
                SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step);
                const int x = any(kW + 60) - 30, y = any(kH + 60) - 30, what = any(40);
                const auto before =
                    std::tuple(canvas.pixels, drag.start, drag.lastFreehand, drag.lastRubber);
                platform.cursor = {x, y};
                if (step % 25 == 0) {
                    settings = {kTools[any(5)], ColorRef(random() & 0xFFFFFF), any(2), 1 + any(2)};
                    strokeEnds();
                    engine.onLeftButtonDown();
                } else if (what < 4) { // between drags only, as the overlay allows
                    strokeEnds();
                    const bool back = what < 2, done = back ? engine.undo() : engine.redo();
                    // Only the cap may stop an undo short of the frozen screen.
                    ASSERT_TRUE(back ? (done ? at > 0 : at == 0 || (dropped = at, seed % 2))
                                     : done == (at + 1 < history.size()));
                    if (done) at += back ? -1 : 1;
                    ASSERT_TRUE(canvas.pixels == history[at]) << "not the Canvas of that point";
                    engine.onLeftButtonDown();
                } else if (what < 6) {
                    const MenuEntry& entry = kOverlayLayout[std::array{2, 4, 5}[any(3)]];
                    dispatchCommand(MenuKind::Overlay,
                                    entry.commands[any(int(entry.commands.size()))].overlayId,
                                    settings, drag);
                } else {
                    const bool held = any(8) != 0;
                    engine.onMouseMove(held ? MK_LBUTTON_FLAG : 2 * any(2), std::uint16_t(x),
                                       std::uint16_t(y));
                    ASSERT_LE(platform.livePens(), 1);
                    ASSERT_TRUE(held || before == std::tuple(canvas.pixels, drag.start,
                                                             drag.lastFreehand, drag.lastRubber))
                        << "a move without the button drew";
                }
                ASSERT_TRUE(window.pixels == canvas.pixels)
                    << "the window does not show the Canvas";
            }
            EXPECT_LE(engine.historyBytes(), cap);
            EXPECT_EQ(seed % 2 == 1, dropped > 0) << "the cap dropped nothing, or too much";
        }
        // Closing gives both surfaces their own pen back and deletes the freehand pen.
        EXPECT_EQ(platform.livePens(), 0);
        EXPECT_EQ(platform.misuses, 0);
        EXPECT_TRUE(canvas.pen() == &platform.initialPen && window.pen() == &platform.initialPen &&
                    canvas.brush() == &platform.initialBrush);
    }
}

} // namespace
} // namespace tovrel
