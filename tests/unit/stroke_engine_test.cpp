#include "arrow.h"
#include "raster_surface.h"
#include "stroke_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>

namespace tovrel {
namespace {

using test::pictureDifference;
using test::RasterPlatform;
using test::RasterSurface;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr std::int32_t kRubberTools[] = {ToolRectangle, ToolEllipse, ToolLine, ToolArrow};
constexpr std::int32_t kAllTools[] = {ToolPen, ToolRectangle, ToolLine, ToolEllipse, ToolArrow};

ColorRef noise(int x, int y) {
    return (x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
}

// One open overlay: a captured picture on the canvas, shown by the window.
struct Overlay {
    explicit Overlay(DrawingSettings s, std::optional<ColorRef> fill = {}) : settings(s) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                picture.setPixel(x, y, fill ? *fill : noise(x, y));
        canvas.BitBlt(kWidth, kHeight, picture);
        window.BitBlt(kWidth, kHeight, canvas);
    }
    void press(int x, int y) {
        platform.cursor = {x, y};
        engine.onLeftButtonDown();
    }
    void move(int x, int y, std::uint32_t keys = MK_LBUTTON_FLAG) {
        platform.cursor = {x, y};
        engine.onMouseMove(keys, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y));
    }

    DrawingSettings settings;
    DragState drag;
    RasterPlatform platform;
    RasterSurface picture{platform, kWidth, kHeight};
    RasterSurface canvas{platform, kWidth, kHeight};
    RasterSurface window{platform, kWidth, kHeight};
    StrokeEngine engine{settings, drag, {platform, canvas, window, kWidth, kHeight}};
};

constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kBlack = 0x000000;

// The rubber-band shape from start to end drawn once, inverted, on target.
void drawShapeOnce(RasterPlatform& platform, RasterSurface& target, const DrawingSettings& settings,
                   Point16 start, int endX, int endY) {
    target.SetROP2(MIX_NOT);
    if (settings.tool == ToolArrow) {
        drawArrow(platform, target, settings, start, endX, endY);
    } else if (settings.tool == ToolLine) {
        target.MoveToEx(start.x, start.y);
        target.LineTo(endX, endY);
    } else {
        GdiObject pen =
            target.SelectObject(platform.CreatePen(settings.penStyle, settings.penWidth, 0));
        GdiObject brush = target.SelectObject(platform.GetStockObject(NULL_BRUSH_OBJECT));
        if (settings.tool == ToolRectangle)
            target.Rectangle(start.x, start.y, endX, endY);
        else
            target.Ellipse(start.x, start.y, endX, endY);
        platform.DeleteObject(target.SelectObject(pen));
        target.SelectObject(brush);
    }
    target.SetROP2(MIX_COPYPEN);
}

// The rectangle, on its quick path and its general one, is the border of the
// box left..right-1, top..bottom-1 as lines with the same pen would draw it, and
// under R2_NOT each pixel flips once.
TEST(RasterSurface, RectangleIsTheBoxBorderTouchedOnce) {
    const int boxes[][4] = {{3, 4, 13, 9},  {13, 9, 3, 4},        {3, 9, 13, 4},
                            {-3, -2, 5, 4}, {150, 110, 170, 130}, {2, 7, 12, 8},
                            {5, 5, 6, 6},   {4, 4, 7, 7},         {40, 4, 42, 20}};
    for (int width : {1, 2, 3}) {
        for (auto [left, top, right, bottom] : boxes) {
            RasterPlatform platform;
            GdiObject pen = platform.CreatePen(PenStyleSolid, width, 0x000000);
            RasterSurface border(platform, kWidth, kHeight);
            border.SelectObject(pen);
            const int l = std::min(left, right), r = std::max(left, right) - 1;
            const int t = std::min(top, bottom), b = std::max(top, bottom) - 1;
            border.MoveToEx(l, t);
            for (ScreenPoint corner : {ScreenPoint{r, t}, {r, b}, {l, b}, {l, t}, {l + 1, t}})
                border.LineTo(corner.x, corner.y);
            for (bool hollow : {true, false}) {
                RasterSurface drawn(platform, kWidth, kHeight);
                drawn.SelectObject(pen);
                if (hollow) {
                    drawn.SelectObject(platform.GetStockObject(NULL_BRUSH_OBJECT));
                    drawn.SetROP2(MIX_NOT);
                }
                drawn.Rectangle(left, top, right, bottom);
                EXPECT_EQ(pictureDifference(drawn, border), "")
                    << left << "," << top << " width " << width << " hollow " << hollow;
            }
        }
    }
}

// Every step must leave the canvas as the picture plus the present shape alone,
// so each earlier outline has been removed exactly; the window shows the canvas.
TEST(RubberBand, OnlyTheLastShapeRemains) {
    const DrawingSettings pens[] = {
        {ToolNone, 0x000000, PenStyleSolid, 1},
        {ToolNone, 0x0000FF, PenStyleDash, 1},
        {ToolNone, 0xFF008B, PenStyleDash, 2},
    };
    for (std::int32_t tool : kRubberTools) {
        for (DrawingSettings pen : pens) {
            for (unsigned seed : {1u, 2u, 3u}) {
                SCOPED_TRACE(testing::Message() << "tool " << tool << " style " << pen.penStyle
                                                << " width " << pen.penWidth << " seed " << seed);
                pen.tool = tool;
                Overlay overlay(pen);
                RasterPlatform reference;
                RasterSurface expected(reference, kWidth, kHeight);
                std::mt19937 random(seed);
                auto coordinate = [&](int size) { return static_cast<int>(random() % size); };
                const Point16 start{static_cast<std::int16_t>(coordinate(kWidth)),
                                    static_cast<std::int16_t>(coordinate(kHeight))};
                overlay.press(start.x, start.y);
                int x = start.x, y = start.y;
                for (int step = 0; step < 300; ++step) {
                    switch (random() % 6) {
                    case 0: x = start.x, y = start.y; break;
                    case 1: // to the other side of the start point
                        x = std::clamp(2 * start.x - x, 0, kWidth - 1);
                        y = std::clamp(2 * start.y - y, 0, kHeight - 1);
                        break;
                    case 2: x = std::clamp(x + coordinate(7) - 3, 0, kWidth - 1); break;
                    default: x = coordinate(kWidth), y = coordinate(kHeight); break;
                    }
                    const int copies = overlay.window.bitBltCount();
                    overlay.move(x, y);
                    expected.BitBlt(kWidth, kHeight, overlay.picture);
                    drawShapeOnce(reference, expected, overlay.settings, start, x, y);
                    ASSERT_EQ(pictureDifference(overlay.canvas, expected), "") << "step " << step;
                    ASSERT_EQ(pictureDifference(overlay.window, overlay.canvas), "");
                    ASSERT_EQ(overlay.window.bitBltCount(), copies + 1);
                }
                EXPECT_EQ(overlay.drag.start, start);
                EXPECT_EQ(overlay.drag.lastRubber,
                          (Point16{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)}));
            }
        }
    }
}

TEST(RubberBand, OutlineIsTheInverseWhateverTheColour) {
    for (std::int32_t tool : kRubberTools) {
        for (ColorRef fill : {kWhite, kBlack}) {
            for (ColorRef colour : {0x000000u, 0xFFFFFFu, 0x0000FFu}) {
                Overlay overlay({tool, colour, PenStyleSolid, 1}, fill);
                overlay.press(20, 30);
                overlay.move(100, 90);
                overlay.move(70, 80);
                int outline = 0;
                for (ColorRef p : overlay.canvas.pixels()) {
                    ASSERT_TRUE(p == fill || p == (fill ^ 0xFFFFFF)) << "tool " << tool;
                    outline += p != fill;
                }
                EXPECT_GT(outline, 40) << "tool " << tool;
            }
        }
    }
}

TEST(RubberBand, ShapesDoNotDependOnTheDragDirection) {
    for (std::int32_t tool : {ToolRectangle, ToolEllipse}) {
        for (int width : {1, 2}) {
            auto drag = [&](int x0, int y0, int x1, int y1) {
                auto overlay =
                    std::make_unique<Overlay>(DrawingSettings{tool, 0, PenStyleDash, width});
                overlay->press(x0, y0);
                overlay->move((x0 + x1) / 2, y0);
                overlay->move(x1, y1);
                return overlay;
            };
            auto downRight = drag(30, 20, 100, 75);
            EXPECT_EQ(pictureDifference(drag(100, 75, 30, 20)->canvas, downRight->canvas), "")
                << "tool " << tool;
            EXPECT_EQ(pictureDifference(drag(30, 75, 100, 20)->canvas, downRight->canvas), "")
                << "tool " << tool;
        }
    }
}

TEST(PenTool, SegmentsAreSolidThreePixelsOnBothSurfaces) {
    Overlay overlay({ToolPen, 0x0000FF, PenStyleDash, 1}, kWhite);
    overlay.press(10, 10);
    EXPECT_EQ(pictureDifference(overlay.canvas, overlay.picture), "");
    EXPECT_EQ(overlay.platform.pensCreated(), 0);

    // From the previous cursor to 2 pixels below the present one; the next
    // segment starts at the cursor itself.
    overlay.move(40, 8);
    overlay.move(40, 40);
    overlay.move(120, 40);
    RasterPlatform reference;
    RasterSurface expected(reference, kWidth, kHeight);
    expected.BitBlt(kWidth, kHeight, overlay.picture);
    {
        GdiObject original = expected.SelectObject(reference.CreatePen(0, 3, 0x0000FF));
        expected.MoveToEx(10, 10);
        expected.LineTo(40, 10);
        expected.MoveToEx(40, 8);
        expected.LineTo(40, 42);
        expected.MoveToEx(40, 40);
        expected.LineTo(120, 42);
        reference.DeleteObject(expected.SelectObject(original));
    }
    EXPECT_EQ(pictureDifference(overlay.canvas, expected), "");
    EXPECT_EQ(pictureDifference(overlay.window, expected), "");
    EXPECT_EQ(overlay.window.bitBltCount(), 1); // the one that opened the overlay
    EXPECT_EQ(overlay.drag.lastFreehand, (Point16{120, 40}));

    // The line tool draws with the pen the canvas holds: the last freehand pen.
    overlay.settings.tool = ToolLine;
    overlay.press(60, 80);
    overlay.move(100, 80);
    for (int y : {79, 80, 81})
        EXPECT_EQ(overlay.canvas.pixel(80, y), 0x000000u) << y;
    EXPECT_EQ(overlay.canvas.pixel(80, 78), 0xFFFFFFu);
    EXPECT_EQ(overlay.canvas.pixel(80, 82), 0xFFFFFFu);
    EXPECT_EQ(pictureDifference(overlay.window, overlay.canvas), "");

    // Reopened: fresh surfaces and a new engine, so lines are thin again.
    Overlay reopened({ToolLine, 0x0000FF, PenStyleDash, 2}, kWhite);
    reopened.press(60, 80);
    reopened.move(100, 80);
    EXPECT_EQ(reopened.canvas.pixel(80, 80), 0x000000u);
    EXPECT_EQ(reopened.canvas.pixel(80, 79), 0xFFFFFFu);
    EXPECT_EQ(reopened.canvas.pixel(80, 81), 0xFFFFFFu);
}

TEST(StrokeEngine, NothingHappensWithoutTheLeftButton) {
    for (std::int32_t tool : {ToolRectangle, ToolEllipse, ToolLine, ToolArrow, ToolPen, ToolNone}) {
        Overlay overlay({tool, 0x00FF00, PenStyleSolid, 2});
        overlay.press(50, 40);
        overlay.engine.onLeftButtonUp();
        overlay.move(90, 70, 0);
        EXPECT_EQ(pictureDifference(overlay.canvas, overlay.picture), "") << "tool " << tool;

        overlay.move(60, 45);
        RasterSurface before(overlay.platform, kWidth, kHeight);
        before.BitBlt(kWidth, kHeight, overlay.canvas);
        const DragState drag = overlay.drag;
        const int copies = overlay.window.bitBltCount();
        for (std::uint32_t keys : {0x0u, 0x2u, 0x4u, 0x8u, 0x10u, 0xFFFEu}) {
            overlay.move(110, 20, keys);
            overlay.engine.onLeftButtonUp();
        }
        EXPECT_EQ(pictureDifference(overlay.canvas, before), "") << "tool " << tool;
        EXPECT_EQ(overlay.window.bitBltCount(), copies) << "tool " << tool;
        EXPECT_EQ(overlay.drag.start, drag.start);
        EXPECT_EQ(overlay.drag.lastFreehand, drag.lastFreehand);
        EXPECT_EQ(overlay.drag.lastRubber, drag.lastRubber);
    }
}

// Tools are mixed in one overlay, as the overlay menu allows, so the freehand
// pen meets the shapes that select and deselect their own pens around it.
TEST(StrokeEngine, PensAreReleased) {
    Overlay overlay({ToolPen, 0xFF0000, PenStyleDash, 1});
    const auto* canvasPen = overlay.canvas.currentPen();
    const auto* windowPen = overlay.window.currentPen();
    const auto* canvasBrush = overlay.canvas.currentBrush();
    auto originalsBack = [&] {
        return overlay.canvas.currentPen() == canvasPen &&
               overlay.window.currentPen() == windowPen &&
               overlay.canvas.currentBrush() == canvasBrush;
    };
    std::mt19937 random(7);
    for (int step = 0; step < 10000; ++step) {
        if (step % 500 == 0) {
            overlay.settings.tool = kAllTools[step / 500 % 5];
            overlay.settings.penWidth = 1 + static_cast<int>(random() % 2);
            overlay.press(random() % kWidth, random() % kHeight);
        }
        overlay.move(random() % kWidth, random() % kHeight);
        ASSERT_LE(overlay.platform.livePens(), 1) << "step " << step;
    }
    EXPECT_GT(overlay.platform.pensCreated(), 9000);
    overlay.engine.releasePen();
    EXPECT_EQ(overlay.platform.livePens(), 0);
    EXPECT_TRUE(originalsBack());

    // As when the overlay closes without an explicit release.
    {
        StrokeEngine engine(overlay.settings, overlay.drag,
                            {overlay.platform, overlay.canvas, overlay.window, kWidth, kHeight});
        overlay.settings.tool = ToolPen;
        engine.onLeftButtonDown();
        engine.onMouseMove(MK_LBUTTON_FLAG, 5, 5);
        engine.onMouseMove(MK_LBUTTON_FLAG, 9, 5);
        EXPECT_EQ(overlay.platform.livePens(), 1);
    }
    EXPECT_EQ(overlay.platform.livePens(), 0);
    EXPECT_TRUE(originalsBack());
    EXPECT_EQ(overlay.platform.pensDeletedWhileSelected(), 0);
    EXPECT_EQ(overlay.platform.misuses(), 0);
}

} // namespace
} // namespace tovrel
