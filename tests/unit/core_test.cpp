// The stroke engine over random drags, against the software raster.
#include "raster_surface.h"
#include "stroke_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace tovrel {
namespace {

using test::RasterPlatform;
using test::RasterSurface;

// Random drags with every tool, colour, style and width, across the edges of the screen. After
// every step the window shows the Canvas exactly (each step copies only what it changed), a move
// without the left button changes nothing, and no pen is lost.
TEST(StrokeEngine, WindowShowsTheCanvasAfterEveryStep) {
    constexpr int kW = 120, kH = 90;
    constexpr std::int32_t kTools[] = {ToolRectangle, ToolEllipse, ToolPen, ToolLine, ToolArrow};
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        auto any = [&](int n) { return int(random() % n); };
        RasterPlatform platform;
        RasterSurface canvas(platform, kW, kH), window(platform, kW, kH), before(platform, kW, kH);
        for (ColorRef& pixel : canvas.pixels)
            pixel = random() & 0xFFFFFF;
        window.BitBlt(0, 0, kW, kH, canvas);
        DrawingSettings settings;
        DragState drag;
        {
            StrokeEngine engine(settings, drag, {platform, canvas, window, kW, kH});
            for (int step = 0; step < 300; ++step) {
                SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step);
                const int x = any(kW + 60) - 30, y = any(kH + 60) - 30;
                platform.cursor = {x, y};
                if (step % 25 == 0) {
                    settings = {kTools[any(5)], ColorRef(random() & 0xFFFFFF), any(2), 1 + any(2)};
                    engine.onLeftButtonDown();
                    continue;
                }
                const bool held = any(8) != 0;
                const auto dragBefore = std::tuple(drag.start, drag.lastFreehand, drag.lastRubber);
                before.BitBlt(0, 0, kW, kH, canvas);
                engine.onMouseMove(held ? MK_LBUTTON_FLAG : 2 * any(2), std::uint16_t(x),
                                   std::uint16_t(y));
                ASSERT_TRUE(window.pixels == canvas.pixels)
                    << "the window does not show the Canvas";
                ASSERT_LE(platform.livePens(), 1);
                if (!held) {
                    ASSERT_TRUE(canvas.pixels == before.pixels) << "a move without the button drew";
                    ASSERT_EQ(std::tuple(drag.start, drag.lastFreehand, drag.lastRubber),
                              dragBefore);
                }
            }
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
