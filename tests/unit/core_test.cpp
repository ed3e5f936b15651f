// The stroke engine over random drags, against the software raster.
#include "raster_surface.h"
#include "stroke_engine.h"
#include "typed_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numeric>
#include <optional>
#include <random>
#include <tuple>

namespace tovrel {
namespace {

using test::RasterPlatform;
using test::RasterSurface;
using Canvas = std::vector<ColorRef>;

constexpr int kW = 120, kH = 90;

// The engine's history counts its allocations; the failAt-th fails.
long allocations = 0, failAt = 0;
constexpr Allocator kFailing = {[](void* block, std::size_t bytes) {
                                    return ++allocations == failAt ? nullptr
                                                                   : std::realloc(block, bytes);
                                },
                                kCLibrary.release};

// Steps so far as large as a 64x64 tile.
long wholeTileSteps = 0;

// What a history holds for one step, measured by one of its own: at least each changed pixel, and
// the same whether it kept the whole Canvas or only around what changed.
std::size_t stepBytes(const Canvas& before, const Canvas& after) {
    PixelRect changed = {kW, kH, 0, 0};
    std::size_t count = 0;
    for (int i = 0; i < kW * kH; ++i)
        if (before[i] != after[i])
            ++count, changed = {std::min(changed.left, i % kW), std::min(changed.top, i / kW),
                                std::max(changed.right, i % kW + 1),
                                std::max(changed.bottom, i / kW + 1)};
    std::size_t bytes[2];
    for (int whole : {0, 1}) {
        UndoHistory alone(kW, kH);
        alone.keep(before.data(), whole ? PixelRect{0, 0, kW, kH} : changed);
        alone.endStroke(after.data());
        bytes[whole] = alone.bytes();
    }
    EXPECT_EQ(bytes[0], bytes[1]);
    EXPECT_GE(bytes[1], sizeof(ColorRef) * count);
    wholeTileSteps += bytes[1] >= sizeof(ColorRef) * 64 * 64;
    return bytes[1];
}

// The picture with what draw does on it, once, with object selected.
template <typename Draw>
Canvas drawnOn(RasterPlatform& platform, const Canvas& picture, GdiObject object, Draw draw) {
    RasterSurface surface(platform, kW, kH);
    surface.pixels = picture;
    GdiObject original = surface.SelectObject(object);
    draw(surface);
    surface.SelectObject(original);
    platform.DeleteObject(object);
    return surface.pixels;
}

// The picture with the rectangle from a to b inverted on it in a 1-pixel solid outline.
Canvas outlined(RasterPlatform& platform, const Canvas& picture, Point16 a, Point16 b) {
    return drawnOn(platform, picture, platform.CreatePen(PenStyleSolid, 1, 0),
                   [&](RasterSurface& surface) {
                       surface.SetROP2(MIX_NOT);
                       surface.Rectangle(a.x, a.y, b.x, b.y);
                   });
}

// The picture with text drawn once on it, as the text tool draws it.
Canvas written(RasterPlatform& platform, const Canvas& picture, const TypedText& text, Point16 at,
               int height, ColorRef colour) {
    return drawnOn(platform, picture, platform.CreateFontW(height, FONT_WEIGHT_NORMAL),
                   [&](RasterSurface& surface) {
                       surface.SetTextColor(colour);
                       PixelRect box = {at.x, at.y, at.x, at.y};
                       surface.DrawTextW(text.text(), int(text.length()), box,
                                         TEXT_NOPREFIX | TEXT_NOCLIP);
                   });
}

// The picture with a segment from a to b ANDed on it in a solid pen of this width and colour.
Canvas highlighted(RasterPlatform& platform, const Canvas& picture, Point16 a, ScreenPoint b,
                   int width, ColorRef colour) {
    return drawnOn(platform, picture, platform.CreatePen(PenStyleSolid, width, colour),
                   [&](RasterSurface& surface) {
                       surface.SetROP2(MIX_MASKPEN);
                       surface.MoveToEx(a.x, a.y);
                       surface.LineTo(b.x, b.y);
                   });
}

// The picture with a filled circle of this radius and colour at at, and number on it in a bold
// font of this height, black on a light colour and white on a dark one, centred in its box.
Canvas marked(RasterPlatform& platform, const Canvas& picture, Point16 at, int number, int radius,
              int height, ColorRef colour) {
    PixelRect box = {at.x - radius, at.y - radius, at.x + radius, at.y + radius};
    const Canvas circle =
        drawnOn(platform, picture, platform.CreateSolidBrush(colour), [&](auto& s) {
            GdiObject pen = s.SelectObject(platform.CreatePen(PenStyleSolid, 1, colour));
            s.Ellipse(box.left, box.top, box.right, box.bottom);
            platform.DeleteObject(s.SelectObject(pen));
        });
    const int light = 299 * (colour & 0xFF) + 587 * (colour >> 8 & 0xFF) + 114 * (colour >> 16);
    std::u16string digits;
    for (char digit : std::to_string(number))
        digits += char16_t(digit);
    return drawnOn(platform, circle, platform.CreateFontW(height, FONT_WEIGHT_BOLD), [&](auto& s) {
        s.SetTextColor(light >= 128000 ? 0 : 0xFFFFFF);
        s.DrawTextW(digits.data(), int(digits.size()), box,
                    TEXT_CENTER | TEXT_VCENTER | TEXT_SINGLELINE | TEXT_NOPREFIX);
    });
}

// What the window shows of the picture with the part lit: outside it, each channel halved.
Canvas shownLit(const Canvas& picture, PixelRect lit) {
    Canvas shown = picture;
    for (int i = 0; i < kW * kH; ++i)
        if (i % kW < lit.left || i % kW >= lit.right || i / kW < lit.top || i / kW >= lit.bottom)
            shown[i] = (picture[i] >> 1) & 0x7F7F7F;
    return shown;
}

// Adjacent blocks of the mosaics checked so far, and how many of them share a colour.
long blockPairs = 0, sameColour = 0;

// After a mosaic of the rectangle from a to b, with blocks of side block: nothing outside it
// changed; inside, uniform blocks aligned to its top-left corner and cut at the edges, each the
// average colour of what it covered (each channel rounded) plus one d in -12..12 for all three.
void expectMosaic(const Canvas& before, const Canvas& after, Point16 a, Point16 b, int block) {
    const int l = std::min<int>(a.x, b.x), t = std::min<int>(a.y, b.y);
    const PixelRect in = {std::max(l, 0), std::max(t, 0), std::min<int>(std::max(a.x, b.x), kW),
                          std::min<int>(std::max(a.y, b.y), kH)};
    double sum[3] = {}, count = 0;
    for (int y = in.top; y < in.bottom; ++y)
        for (int x = in.left; x < in.right; ++x, ++count)
            for (int c = 0; c < 3; ++c)
                sum[c] += before[y * kW + x] >> 8 * c & 0xFF;
    for (int i = 0; i < kW * kH; ++i) {
        const int x = i % kW, y = i / kW;
        if (x < in.left || x >= in.right || y < in.top || y >= in.bottom) {
            ASSERT_EQ(after[i], before[i]) << "changed outside the mosaic at " << x << "," << y;
            continue;
        }
        const int cx = std::max(l + (x - l) / block * block, in.left),
                  cy = std::max(t + (y - t) / block * block, in.top);
        ASSERT_EQ(after[i], after[cy * kW + cx]) << "a block not uniform at " << x << "," << y;
        if (x != cx || y != cy) continue;
        bool shaded = false;
        for (int d = -12; d <= 12 && !shaded; ++d) {
            ColorRef shade = 0;
            for (int c = 0; c < 3; ++c)
                shade |= ColorRef(std::clamp(int(std::lround(sum[c] / count)) + d, 0, 255))
                         << 8 * c;
            shaded = after[i] == shade;
        }
        ASSERT_TRUE(shaded) << "a block not the average plus noise at " << x << "," << y;
        if (cx > in.left)
            ++blockPairs, sameColour += after[i] == after[cy * kW + std::max(cx - block, in.left)];
    }
}

// Random drags with every tool, colour, style and width, settings changed mid-drag from the
// overlay menu, across the edges of the screen, and undos and redos between drags. After every
// step the window shows the Canvas exactly (each step copies only what it changed), a move
// without the left button changes nothing and no pen is lost. Every undo and redo gives back the
// Canvas as it was at that point of the history, and undos stop exactly where the cap (odd seeds)
// has dropped the oldest strokes: the newest that fit stay. The engine tells whether any stroke
// shows, to keep a picture thrown away. With failOn, that allocation fails:
// the Canvas is still what the strokes drew, the history is kept or dropped whole, and the
// strokes after are taken back as before. Each mosaic is checked when a release, the overlay
// menu or the next press or undo finishes it, on a monitor of 96, 120, 144, 123 or 150 dots per
// inch. Texts are typed with letters, line breaks, backspaces, surrogates and control characters:
// after each, the Canvas is the picture as it was at the press with the whole text drawn on it
// once. Each highlighter segment is the wide pen's footprint ANDed on the picture, which a second
// pass leaves as it is; each marker bears one more than the markers shown, through undos, redos
// and the cap, and moves add nothing to it. A drag with 选区 lights the part from the press to
// the mouse, clipped, while the rest of the window shows dimmed; a part with no pixel, a click's,
// lights the whole picture again at the release or the stroke's end; undo and redo leave the
// part alone, and it is what leaves the overlay.
void drawAndTakeBack(unsigned seed, int steps, long failOn) {
    std::mt19937 random(seed);
    auto any = [&](int n) { return int(random() % n); };
    constexpr std::int32_t kTools[] = {ToolRectangle,   ToolEllipse, ToolPen,  ToolLine,
                                       ToolArrow,       ToolMosaic,  ToolText, ToolMarker,
                                       ToolHighlighter, ToolPart};
    constexpr char16_t kUnits[] = {u'a', u'W', u'文', u' ', u'\r', u'\b', 0xD83D, 0xDE00, 0x1A};
    const int dpi = std::array{96, 120, 144, 123, 150}[seed % 5];
    auto at96 = [&](int pixels) { return int(std::lround(pixels * dpi / 96.0)); };
    const int block = at96(12);
    RasterPlatform platform;
    RasterSurface canvas(platform, kW, kH), window(platform, kW, kH);
    // Half the pictures dark in one channel and bright in another, so that mosaics meet the
    // limits of a channel.
    for (ColorRef& pixel : canvas.pixels)
        pixel = seed % 2 ? random() & 0xFFFFFF : (random() & 0x0F0FFF) | 0xF00000;
    window.BitBlt(0, 0, kW, kH, canvas);
    DrawingSettings settings;
    DragState drag;
    // Odd seeds cap the history below one tile kept whole, or at about two.
    constexpr std::size_t kDefault = UndoHistory::kDefaultCapacity;
    const std::size_t cap = std::array<std::size_t, 4>{kDefault, 2000, kDefault, 40000}[seed % 4];
    // The Canvas after each stroke of the history and what the history holds for that stroke;
    // the Canvas stands at at, and undo reaches back to floor.
    std::vector<Canvas> history = {canvas.pixels};
    std::vector<std::size_t> bytes = {0};
    std::vector<int> marks = {0}; // markers shown at each point of the history
    int placed = 0;               // in the stroke in progress
    std::size_t at = 0, floor = 0;
    allocations = 0, failAt = failOn;
    long ended = 0; // allocations when the last stroke ended
    // The mosaic's outline shown, if any, and the Canvas when it was last finished or pressed;
    // another tool drawing meanwhile leaves nothing to compare with.
    std::optional<std::pair<Point16, Point16>> outline;
    Canvas unmasked = canvas.pixels;
    bool othersDrew = false;
    std::optional<TypedText> typed; // what the open text should hold, and where and how
    Point16 typedAt;
    DrawingSettings typedWith;
    Canvas shown;
    constexpr PixelRect kWhole = {0, 0, kW, kH};
    PixelRect lit = kWhole;
    std::optional<Point16> choosingFrom;
    auto choiceFinished = [&] {
        if (std::exchange(choosingFrom, std::nullopt) && isEmpty(lit)) lit = kWhole;
    };
    auto mosaicFinished = [&] {
        if (outline && !othersDrew)
            expectMosaic(unmasked, canvas.pixels, outline->first, outline->second, block);
        outline.reset(), unmasked = canvas.pixels, othersDrew = false;
    };
    {
        StrokeEngine engine(settings, drag, {platform, canvas, window, kW, kH, {}, dpi}, cap,
                            kFailing);
        for (int step = 0; step < steps; ++step) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step
                                            << " failing allocation " << failOn);
            const int x = any(kW + 60) - 30, y = any(kH + 60) - 30, what = any(40);
            const auto before =
                std::tuple(canvas.pixels, drag.start, drag.lastFreehand, drag.lastRubber);
            platform.cursor = {x, y};
            if (step % 25 == 0 || what < 4) { // a press, or an undo or redo between drags only
                const bool press = step % 25 == 0, back = what < 2;
                choiceFinished();
                const bool shows = engine.showsStrokes(); // ends the stroke, as what follows would
                ASSERT_NO_FATAL_FAILURE(mosaicFinished());
                if (canvas.pixels != history[at]) {
                    history.resize(++at), bytes.resize(at), marks.resize(at);
                    history.push_back(canvas.pixels);
                    marks.push_back(marks[at - 1] + std::exchange(placed, 0));
                    bytes.push_back(stepBytes(history[at - 1], canvas.pixels));
                    auto held = std::accumulate(bytes.begin() + floor + 1, bytes.end(), 0UL);
                    while (held > cap) // the oldest go until the rest fit
                        held -= bytes[++floor];
                }
                // Whether a stroke shows, the beyond-undo ones included; a failed record counts.
                ASSERT_TRUE(shows == (at > 0) || (shows && failOn)) << "strokes shown: " << shows;
                bool done = false;
                typed.reset(), placed = 0;
                if (press)
                    settings = {kTools[any(10)], ColorRef(random() & 0xFFFFFF), any(2), 1 + any(2)};
                else
                    done = back ? engine.undo() : engine.redo();
                // A stroke that could not be recorded takes every earlier one with it, and the
                // history is left empty.
                if (engine.historyBytes() == 0 && failAt > ended && failAt <= allocations)
                    history.resize(at + 1), bytes.resize(at + 1), marks.resize(at + 1), floor = at;
                ended = allocations;
                ASSERT_EQ(done, !press && (back ? at > floor : at + 1 < history.size()));
                if (done) at += back ? -1 : 1;
                ASSERT_TRUE(canvas.pixels == history[at]) << "not the Canvas of that point";
                engine.onLeftButtonDown();
                if (press && settings.tool == ToolText)
                    typed.emplace(), typedAt = drag.start, shown = canvas.pixels;
                typedWith = settings;
                if (settings.tool == ToolPart) choosingFrom = drag.start, lit = {};
                const bool thick = settings.penWidth == 2;
                ASSERT_TRUE(settings.tool != ToolMarker ||
                            canvas.pixels == marked(platform, history[at], drag.start,
                                                    marks[at] + ++placed, at96(thick ? 18 : 14),
                                                    at96(thick ? 20 : 16), settings.penColour))
                    << "not marker " << marks[at] + 1;
                unmasked = canvas.pixels;
            } else if (what < 6) { // the right-click that opens the menu finishes a text
                engine.finishText(), engine.finishMosaic(), typed.reset();
                ASSERT_NO_FATAL_FAILURE(mosaicFinished());
                const MenuEntry& entry = kOverlayLayout[std::array{2, 4, 5}[any(3)]];
                dispatchCommand(MenuKind::Overlay,
                                entry.commands[any(int(entry.commands.size()))].overlayId, settings,
                                drag);
            } else if (typed && what < 24) {
                const char16_t unit = kUnits[any(9)];
                const int height = at96(typedWith.penWidth == 2 ? 36 : 24);
                if (typed->type(unit)) // half a surrogate pair shows nothing new
                    shown =
                        written(platform, unmasked, *typed, typedAt, height, typedWith.penColour);
                engine.onChar(unit);
                othersDrew = true;
                // Unless the stroke could not keep the picture before the text: then it is drawn
                // over itself.
                ASSERT_TRUE(canvas.pixels == shown || (failAt > ended && failAt <= allocations))
                    << "not the picture with the text drawn once";
            } else if (what < 9) {
                engine.onLeftButtonUp();
                choiceFinished();
                ASSERT_TRUE(outline || canvas.pixels == std::get<0>(before)) << "a release drew";
                ASSERT_NO_FATAL_FAILURE(mosaicFinished());
            } else {
                const bool held = any(8) != 0;
                if (held && settings.tool == ToolMosaic)
                    outline = {drag.start, {std::int16_t(x), std::int16_t(y)}};
                else if (held && settings.tool == ToolPart && choosingFrom)
                    lit = {std::max(std::min<int>(choosingFrom->x, x), 0),
                           std::max(std::min<int>(choosingFrom->y, y), 0),
                           std::min(std::max<int>(choosingFrom->x, x), kW),
                           std::min(std::max<int>(choosingFrom->y, y), kH)};
                else if (held && settings.tool != ToolNone)
                    othersDrew = true;
                engine.onMouseMove(held ? MK_LBUTTON_FLAG : 2 * any(2), std::uint16_t(x),
                                   std::uint16_t(y));
                if (held && settings.tool == ToolHighlighter) {
                    auto pass = [&](const Canvas& on) {
                        return highlighted(platform, on, std::get<2>(before), {x, y},
                                           at96(settings.penWidth == 2 ? 24 : 16),
                                           settings.penColour);
                    };
                    const Canvas once = pass(std::get<0>(before));
                    ASSERT_TRUE(canvas.pixels == once && (failOn || pass(once) == once))
                        << "not the wide pen's footprint ANDed once";
                }
                ASSERT_LE(platform.livePens(), engine.typing() ? 2 : 1); // a pen, and a font
                const bool outlineAlone = held && settings.tool == ToolMosaic && !othersDrew;
                ASSERT_TRUE(!outlineAlone ||
                            canvas.pixels ==
                                outlined(platform, unmasked, outline->first, outline->second))
                    << "not the rectangle tool's outline at width 1";
                ASSERT_TRUE((held && settings.tool != ToolMarker) ||
                            before == std::tuple(canvas.pixels, drag.start, drag.lastFreehand,
                                                 drag.lastRubber))
                    << "a move without the button, or with a marker, drew";
            }
            ASSERT_TRUE(window.pixels == shownLit(canvas.pixels, lit))
                << "the window does not show the Canvas, dimmed outside the part";
            ASSERT_TRUE(engine.part() == (isEmpty(lit) ? kWhole : lit)) << "not the part chosen";
        }
    }
    // Closing gives both surfaces their own pen back and deletes the freehand pen.
    EXPECT_EQ(platform.livePens(), 0);
    EXPECT_EQ(platform.misuses, 0);
    EXPECT_TRUE(canvas.pen() == &platform.initialPen && window.pen() == &platform.initialPen &&
                canvas.brush() == &platform.initialBrush);
}

TEST(StrokeEngine, WindowShowsTheCanvasAndUndoWalksTheHistory) {
    for (unsigned seed = 1; seed <= 40; ++seed)
        ASSERT_NO_FATAL_FAILURE(drawAndTakeBack(seed, 400, 0));
    // d varies from block to block: neighbours share a colour about once in 25.
    EXPECT_TRUE(blockPairs > 500 && sameColour * 10 < blockPairs)
        << sameColour << " of " << blockPairs;
}

// Every allocation of the history fails in turn, with a cap and without, with steps as large as a
// tile, which the history holds whole.
TEST(StrokeEngine, OutOfMemoryLosesNoMoreThanTheHistory) {
    wholeTileSteps = 0;
    for (unsigned seed = 3; seed <= 4; ++seed)
        for (long k = 1; allocations >= k - 1; ++k) // until k is past the last allocation
            ASSERT_NO_FATAL_FAILURE(drawAndTakeBack(seed, 150, k));
    EXPECT_GT(wholeTileSteps, 0);
}

// The mosaic says nothing of how the pixels under it lay: over the same pixels rearranged, it is
// the same. A release that never arrived is made up for by the undo that takes the mosaic back.
TEST(StrokeEngine, MosaicIsTheSameOverRearrangedPixels) {
    Canvas pictures[3], mosaics[3];
    for (int turn : {0, 1, 2}) {
        RasterPlatform platform;
        RasterSurface canvas(platform, kW, kH), window(platform, kW, kH);
        std::mt19937 random(5);
        for (ColorRef& pixel : canvas.pixels)
            pixel = random() & 0xFFFFFF;
        // Turned half a turn inside the rectangle (clipped: 0,10 to 70,60).
        for (int y = 10; turn == 1 && y < 35; ++y)
            for (int x = 0; x < 70; ++x)
                std::swap(canvas.pixels[y * kW + x], canvas.pixels[(69 - y) * kW + 69 - x]);
        pictures[turn] = canvas.pixels;
        DrawingSettings settings{ToolMosaic};
        DragState drag;
        StrokeEngine engine(settings, drag, {platform, canvas, window, kW, kH});
        platform.cursor = {-5, 10};
        engine.onLeftButtonDown();
        engine.onMouseMove(MK_LBUTTON_FLAG, 70, 60);
        if (turn < 2) engine.onLeftButtonUp();
        EXPECT_TRUE(turn < 2 || (engine.undo() && canvas.pixels == pictures[0] && engine.redo()));
        mosaics[turn] = canvas.pixels;
    }
    EXPECT_TRUE(pictures[0] != pictures[1] && mosaics[0] == mosaics[1] && mosaics[0] == mosaics[2]);
}

// On a monitor left of, above or right of the primary, the cursor's screen position is turned into
// the overlay's own: a rectangle and a pen stroke land where they would at the screen's origin.
TEST(StrokeEngine, DrawsUnderTheCursorOnEveryMonitor) {
    Canvas atOrigin;
    for (ScreenPoint origin : {ScreenPoint{0, 0}, {-1920, 0}, {-1280, -1024}, {2304, -768}}) {
        SCOPED_TRACE(testing::Message() << "monitor at " << origin.x << "," << origin.y);
        RasterPlatform platform;
        RasterSurface canvas(platform, kW, kH), window(platform, kW, kH);
        DrawingSettings settings;
        DragState drag;
        StrokeEngine engine(settings, drag, {platform, canvas, window, kW, kH, origin});
        for (auto [tool, from, to] :
             {std::tuple{ToolRectangle, ScreenPoint{10, 20}, ScreenPoint{50, 60}},
              {ToolPen, {30, 30}, {90, 42}}}) {
            settings.tool = tool;
            platform.cursor = {origin.x + from.x, origin.y + from.y};
            engine.onLeftButtonDown();
            platform.cursor = {origin.x + to.x, origin.y + to.y};
            engine.onMouseMove(MK_LBUTTON_FLAG, std::uint16_t(to.x), std::uint16_t(to.y));
        }
        if (atOrigin.empty()) atOrigin = canvas.pixels;
        EXPECT_TRUE(canvas.pixels == atOrigin && canvas.pixels != Canvas(kW * kH));
    }
}

// Typing adds and takes away at the end: Enter is a line break, Backspace takes the last character,
// a surrogate pair or a line break as one; other control characters are not text.
TEST(TypedText, BackspaceTakesWholeCharactersAndJoinsLines) {
    const struct {
        std::u16string typed, text;
        int lines;
        bool lastShown; // whether the last unit changed what is shown
    } rows[] = {
        {u"ab\r", u"ab\r\n", 2, true},
        {u"ab\rc\b\b", u"ab", 1, true},
        {u"\b\bx", u"x", 1, true},
        {u"a\U0001F600", u"a\U0001F600", 1, true},
        {u"a\U0001F600\b", u"a", 1, true},
        {u"\xD83D", u"\xD83D", 1, false}, // half a pair shows nothing new
        {u"z\x1A\x03\x1B\t", u"z", 1, false},
        {u"\r\r\b", u"\r\n", 2, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        TypedText text;
        bool shown = false;
        for (char16_t unit : row.typed)
            shown = text.type(unit);
        EXPECT_TRUE(text.text() == row.text && text.length() == row.text.size());
        EXPECT_EQ(text.lines(), row.lines);
        EXPECT_EQ(shown, row.lastShown);
        EXPECT_EQ(text.lastLineStart(), row.text.rfind(u'\n') + 1);
    }
}

} // namespace
} // namespace tovrel
