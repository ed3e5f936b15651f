// The stroke engine over random drags, against the software raster.
#include "raster_surface.h"
#include "stroke_engine.h"
#include "typed_text.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
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

// What a history holds for one step, measured by one of its own.
std::size_t stepBytes(const Canvas& before, const Canvas& after) {
    UndoHistory alone(kW, kH);
    alone.keep(before.data(), {0, 0, kW, kH});
    alone.endStroke(after.data());
    return alone.bytes();
}

// Random drags with every tool, colour, style and width, settings changed mid-drag from the
// overlay menu, across the edges of the screen, and undos and redos between drags. After every
// step the window shows the Canvas exactly (each step copies only what it changed), a move
// without the left button changes nothing and no pen is lost. Every undo and redo gives back the
// Canvas as it was at that point of the history, and undos stop exactly where the cap (odd seeds)
// has dropped the oldest strokes: the newest that fit stay. The engine tells whether any stroke
// shows, to keep a picture thrown away. With failOn, that allocation fails:
// the Canvas is still what the strokes drew, the history is kept or dropped whole, and the
// strokes after are taken back as before.
void drawAndTakeBack(unsigned seed, int steps, long failOn) {
    std::mt19937 random(seed);
    auto any = [&](int n) { return int(random() % n); };
    constexpr std::int32_t kTools[] = {ToolRectangle, ToolEllipse, ToolPen, ToolLine, ToolArrow};
    RasterPlatform platform;
    RasterSurface canvas(platform, kW, kH), window(platform, kW, kH);
    for (ColorRef& pixel : canvas.pixels)
        pixel = random() & 0xFFFFFF;
    window.BitBlt(0, 0, kW, kH, canvas);
    DrawingSettings settings;
    DragState drag;
    const std::size_t cap = seed % 2 ? 2000 : UndoHistory::kDefaultCapacity;
    // The Canvas after each stroke of the history and what the history holds for that stroke;
    // the Canvas stands at at, and undo reaches back to floor.
    std::vector<Canvas> history = {canvas.pixels};
    std::vector<std::size_t> bytes = {0};
    std::size_t at = 0, floor = 0;
    allocations = 0, failAt = failOn;
    long ended = 0; // allocations when the last stroke ended
    {
        StrokeEngine engine(settings, drag, {platform, canvas, window, kW, kH}, cap, kFailing);
        for (int step = 0; step < steps; ++step) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step
                                            << " failing allocation " << failOn);
            const int x = any(kW + 60) - 30, y = any(kH + 60) - 30, what = any(40);
            const auto before =
                std::tuple(canvas.pixels, drag.start, drag.lastFreehand, drag.lastRubber);
            platform.cursor = {x, y};
            if (step % 25 == 0 || what < 4) { // a press, or an undo or redo between drags only
                const bool press = step % 25 == 0, back = what < 2;
                const bool shows = engine.showsStrokes(); // ends the stroke, as what follows would
                if (canvas.pixels != history[at]) {
                    history.resize(++at), bytes.resize(at);
                    history.push_back(canvas.pixels);
                    bytes.push_back(stepBytes(history[at - 1], canvas.pixels));
                    auto held = std::accumulate(bytes.begin() + floor + 1, bytes.end(), 0UL);
                    while (held > cap) // the oldest go until the rest fit
                        held -= bytes[++floor];
                }
                // Whether a stroke shows, the beyond-undo ones included; a failed record counts.
                ASSERT_TRUE(shows == (at > 0) || (shows && failOn)) << "strokes shown: " << shows;
                bool done = false;
                if (press) {
                    settings = {kTools[any(5)], ColorRef(random() & 0xFFFFFF), any(2), 1 + any(2)};
                    engine.onLeftButtonDown();
                } else {
                    done = back ? engine.undo() : engine.redo();
                }
                // A stroke that could not be recorded takes every earlier one with it, and the
                // history is left empty.
                if (engine.historyBytes() == 0 && failAt > ended && failAt <= allocations)
                    history.resize(at + 1), bytes.resize(at + 1), floor = at;
                ended = allocations;
                ASSERT_EQ(done, !press && (back ? at > floor : at + 1 < history.size()));
                if (done) at += back ? -1 : 1;
                ASSERT_TRUE(canvas.pixels == history[at]) << "not the Canvas of that point";
                if (!press) engine.onLeftButtonDown();
            } else if (what < 6) {
                const MenuEntry& entry = kOverlayLayout[std::array{2, 4, 5}[any(3)]];
                dispatchCommand(MenuKind::Overlay,
                                entry.commands[any(int(entry.commands.size()))].overlayId, settings,
                                drag);
            } else {
                const bool held = any(8) != 0;
                engine.onMouseMove(held ? MK_LBUTTON_FLAG : 2 * any(2), std::uint16_t(x),
                                   std::uint16_t(y));
                ASSERT_LE(platform.livePens(), 1);
                ASSERT_TRUE(held || before == std::tuple(canvas.pixels, drag.start,
                                                         drag.lastFreehand, drag.lastRubber))
                    << "a move without the button drew";
            }
            ASSERT_TRUE(window.pixels == canvas.pixels) << "the window does not show the Canvas";
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
}

// Every allocation of the history fails in turn, with a cap and without.
TEST(StrokeEngine, OutOfMemoryLosesNoMoreThanTheHistory) {
    for (unsigned seed = 1; seed <= 2; ++seed)
        for (long k = 1; allocations >= k - 1; ++k) // until k is past the last allocation
            ASSERT_NO_FATAL_FAILURE(drawAndTakeBack(seed, 150, k));
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
        EXPECT_TRUE(std::u16string(text.lastLine()) == row.text.substr(row.text.rfind(u'\n') + 1));
    }
}

} // namespace
} // namespace tovrel
