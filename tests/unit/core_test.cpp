// The drawing core against the software raster: the arrow's integer geometry, and the rubber
// band over random drags.
#include "arrow.h"
#include "raster_surface.h"
#include "stroke_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace tovrel {
namespace {

using test::pictureDifference;
using test::RasterPlatform;
using test::RasterSurface;

TEST(ArrowGeometry, WorkedCases) {
    const struct {
        Point16 start;
        int tipX, tipY;
        ScreenPoint foot, a, b;
    } cases[] = {
        {{100, 100}, 200, 100, {190, 100}, {190, 110}, {190, 90}},
        {{0, 0}, 77, 0, {68, 0}, {68, 9}, {68, -9}}, // 10.0 / 77 * 77 is just under 10
        {{0, 0}, 154, 0, {145, 0}, {145, 9}, {145, -9}},
        {{0, 0}, 3, 4, {-3, -4}, {-11, 2}, {5, -10}},
        {{0, 0}, 1, 1, {-9, -9}, {-19, 1}, {1, -19}}, // divided by the truncated length, 1
        {{100, 100}, 103, 107, {99, 97}, {89, 101}, {109, 93}},
        {{0, 0}, 7, 7, {0, 0}, {-7, 7}, {7, -7}},
        {{0, 0}, -6, -6, {1, 1}, {8, -6}, {-6, 8}}, // -7.5 truncates toward zero
    };
    for (const auto& c : cases) {
        const auto arrow = arrowGeometry(c.start, c.tipX, c.tipY);
        ASSERT_TRUE(arrow) << c.tipX << "," << c.tipY;
        for (auto [got, want] :
             {std::pair{arrow->foot, c.foot}, {arrow->cornerA, c.a}, {arrow->cornerB, c.b}})
            EXPECT_EQ(std::pair(got.x, got.y), std::pair(want.x, want.y))
                << c.tipX << "," << c.tipY;
    }
    EXPECT_FALSE(arrowGeometry({-300, 40}, -300, 40));
}

// The shape from start to (x, y) drawn once, inverted, as the rubber band should leave it.
void drawOnce(RasterPlatform& platform, RasterSurface& surface, const DrawingSettings& settings,
              Point16 start, int x, int y, int lineWidth) {
    const bool line = settings.tool == ToolLine;
    GdiObject pen = platform.CreatePen(line ? PenStyleSolid : settings.penStyle,
                                       line ? lineWidth : settings.penWidth, 0);
    GdiObject original = surface.SelectObject(pen);
    surface.SetROP2(MIX_NOT);
    surface.MoveToEx(start.x, start.y);
    switch (settings.tool) {
    case ToolArrow: drawArrow(platform, surface, settings, start, x, y); break;
    case ToolLine: surface.LineTo(x, y); break;
    case ToolRectangle: surface.Rectangle(start.x, start.y, x, y); break;
    default: surface.Ellipse(start.x, start.y, x, y); break;
    }
    surface.SetROP2(MIX_COPYPEN);
    platform.DeleteObject(surface.SelectObject(original));
}

// Random drags with every tool, colour, style and width, across the edges of the screen. After
// every step the window shows the Canvas exactly, a rubber-band shape has left nothing of its
// earlier outlines, a move without the left button changes nothing, and no pen is lost.
TEST(StrokeEngine, WindowShowsTheCanvasAndOnlyTheLastShapeRemains) {
    constexpr int kW = 120, kH = 90;
    constexpr std::int32_t kTools[] = {ToolRectangle, ToolEllipse, ToolPen, ToolLine, ToolArrow};
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        auto any = [&](int n) { return int(random() % n); };
        RasterPlatform platform;
        RasterSurface canvas(platform, kW, kH), window(platform, kW, kH), atPress(platform, kW, kH),
            before(platform, kW, kH), expected(platform, kW, kH);
        for (ColorRef& pixel : canvas.pixels)
            pixel = random() & 0xFFFFFF;
        window.BitBlt(0, 0, kW, kH, canvas);
        DrawingSettings settings;
        DragState drag;
        int lineWidth = 1;
        {
            StrokeEngine engine(settings, drag, {platform, canvas, window, kW, kH});
            for (int step = 0; step < 300; ++step) {
                SCOPED_TRACE(testing::Message()
                             << "seed " << seed << " step " << step << " tool " << settings.tool
                             << " style " << settings.penStyle << " width " << settings.penWidth);
                const int x = any(kW + 60) - 30, y = any(kH + 60) - 30;
                platform.cursor = {x, y};
                if (step % 25 == 0) {
                    settings = {kTools[any(5)], ColorRef(random() & 0xFFFFFF), any(2), 1 + any(2)};
                    engine.onLeftButtonDown();
                    atPress.BitBlt(0, 0, kW, kH, canvas);
                    lineWidth = canvas.pen()->width; // the line tool draws with the Canvas's pen
                    continue;
                }
                const bool held = any(8) != 0;
                const auto dragBefore = std::tuple(drag.start, drag.lastFreehand, drag.lastRubber);
                before.BitBlt(0, 0, kW, kH, canvas);
                engine.onMouseMove(held ? MK_LBUTTON_FLAG : 2 * any(2), std::uint16_t(x),
                                   std::uint16_t(y));
                ASSERT_EQ(pictureDifference(window, canvas), "");
                ASSERT_LE(platform.livePens(), 1);
                if (!held) {
                    ASSERT_EQ(pictureDifference(canvas, before), "");
                    ASSERT_EQ(std::tuple(drag.start, drag.lastFreehand, drag.lastRubber),
                              dragBefore);
                } else if (settings.tool != ToolPen) {
                    expected.BitBlt(0, 0, kW, kH, atPress);
                    drawOnce(platform, expected, settings, drag.start, x, y, lineWidth);
                    ASSERT_EQ(pictureDifference(canvas, expected), "");
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
