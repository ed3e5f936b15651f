#include "arrow.h"
#include "raster_surface.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace tovrel {
namespace {

using test::RasterPlatform;
using test::RasterSurface;

struct GeometryCase {
    Point16 start;
    int tipX, tipY;
    ScreenPoint foot, a, b;
};

TEST(ArrowGeometry, WorkedCases) {
    const GeometryCase cases[] = {
        {{100, 100}, 200, 100, {190, 100}, {190, 110}, {190, 90}},
        // 10.0 / 77 * 77 is just under 10 in double precision.
        {{0, 0}, 77, 0, {68, 0}, {68, 9}, {68, -9}},
        {{0, 0}, 154, 0, {145, 0}, {145, 9}, {145, -9}},
        {{0, 0}, 3, 4, {-3, -4}, {-11, 2}, {5, -10}},
        // The divisor is the truncated length, so short drags get long heads.
        {{0, 0}, 1, 1, {-9, -9}, {-19, 1}, {1, -19}},
        {{100, 100}, 103, 107, {99, 97}, {89, 101}, {109, 93}},
        {{0, 0}, 7, 7, {0, 0}, {-7, 7}, {7, -7}},
        // -7.5 truncates toward zero, not down.
        {{0, 0}, -6, -6, {1, 1}, {8, -6}, {-6, 8}},
    };
    for (const GeometryCase& c : cases) {
        auto geometry = arrowGeometry(c.start, c.tipX, c.tipY);
        ASSERT_TRUE(geometry) << c.tipX << "," << c.tipY;
        auto pair = [](ScreenPoint p) { return std::pair{p.x, p.y}; };
        EXPECT_EQ(pair(geometry->foot), pair(c.foot)) << c.tipX << "," << c.tipY;
        EXPECT_EQ(pair(geometry->cornerA), pair(c.a)) << c.tipX << "," << c.tipY;
        EXPECT_EQ(pair(geometry->cornerB), pair(c.b)) << c.tipX << "," << c.tipY;
    }
    EXPECT_FALSE(arrowGeometry({0, 0}, 0, 0));
    EXPECT_FALSE(arrowGeometry({-300, 40}, -300, 40));
}

ColorRef background(int x, int y) {
    return (x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
}

TEST(DrawArrow, InvertsItsFourSegmentsAndCleansUp) {
    RasterPlatform platform;
    RasterSurface canvas(platform, 240, 160);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x)
            canvas.setPixel(x, y, background(x, y));
    const auto* canvasPen = canvas.currentPen();
    const auto* canvasBrush = canvas.currentBrush();
    DrawingSettings settings{ToolArrow, 0x0000FF, PenStyleSolid, 1};
    canvas.SetROP2(MIX_NOT);

    // Start (100, 100), tip (200, 100): shaft to (190, 100), base from (190, 110)
    // to (190, 90), sides to the tip; each segment leaves out its end point.
    std::set<std::pair<int, int>> inverted;
    for (int x = 100; x < 190; ++x)
        inverted.insert({x, 100});
    for (int y = 90; y <= 110; ++y)
        inverted.insert({190, y});
    for (int i = 0; i < 10; ++i) {
        inverted.insert({190 + i, 90 + i});
        inverted.insert({200 - i, 100 + i});
    }

    drawArrow(platform, canvas, settings, {100, 100}, 200, 100);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x) {
            ColorRef expected = background(x, y) ^ (inverted.contains({x, y}) ? 0xFFFFFF : 0);
            ASSERT_EQ(canvas.pixel(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(canvas.mixMode(), MIX_NOT);

    drawArrow(platform, canvas, settings, {100, 100}, 200, 100);
    drawArrow(platform, canvas, settings, {100, 100}, 100, 100);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x)
            ASSERT_EQ(canvas.pixel(x, y), background(x, y)) << x << "," << y;

    // In the normal mode the arrow is painted with its own pen.
    canvas.SetROP2(MIX_COPYPEN);
    settings.penWidth = 2;
    drawArrow(platform, canvas, settings, {10, 20}, 60, 20);
    EXPECT_EQ(canvas.pixel(30, 20), 0x0000FFu);
    EXPECT_EQ(canvas.pixel(30, 19), 0x0000FFu);

    EXPECT_GE(platform.pensCreated(), 3);
    EXPECT_EQ(platform.livePens(), 0);
    EXPECT_EQ(platform.pensDeletedWhileSelected(), 0);
    EXPECT_EQ(platform.misuses(), 0);
    EXPECT_EQ(canvas.currentPen(), canvasPen);
    EXPECT_EQ(canvas.currentBrush(), canvasBrush);
}

} // namespace
} // namespace tovrel
