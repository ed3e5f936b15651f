// Rubber-band steps, undo and the mosaic on a 3840x2160 raster surface against one plain copy of
// the whole frame, the floor of a step that copied the whole Canvas to the window. A step copies
// only what it changed, so a 300x200 rectangle costs a small part of a frame; a step whose shape
// spans the screen still costs about one frame. An undo puts back only the pixels its stroke
// changed.
#include "raster_surface.h"
#include "stroke_engine.h"

#include "ratio_bench.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using ratio_bench::median;
using ratio_bench::seconds;

using tovrel::test::RasterPlatform;
using tovrel::test::RasterSurface;

constexpr int kWidth = 3840, kHeight = 2160;
double historyPerFrame = 0;

// A 4K Canvas of varied pixels, its window, and an engine drawing rectangles on them.
struct Screen {
    RasterPlatform platform;
    RasterSurface canvas{platform, kWidth, kHeight}, window{platform, kWidth, kHeight};
    std::vector<tovrel::ColorRef> frame = std::vector<tovrel::ColorRef>(canvas.pixels.size());
    tovrel::DrawingSettings settings{tovrel::ToolRectangle, 0x0000FF, tovrel::PenStyleSolid, 1};
    tovrel::DragState drag;
    tovrel::StrokeEngine engine{settings, drag, {platform, canvas, window, kWidth, kHeight}};
    Screen() {
        for (std::size_t i = 0; i < canvas.pixels.size(); ++i)
            canvas.pixels[i] = (i * 2654435761u) & 0xFFFFFF;
    }

    // Times subject against a plain copy of the whole frame, in alternation, and which goes
    // first alternates too, so that a change in the machine's pace touches both alike; medians
    // keep a stray slow run from deciding. prepare, untimed, runs before each subject.
    template <typename Subject, typename Prepare = void (*)()>
    void againstFrameCopy(
        benchmark::State& state, Subject subject, Prepare prepare = [] {}) {
        std::vector<double> times, copies;
        bool subjectFirst = true;
        for (auto _ : state) {
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == subjectFirst) prepare();
                const auto start = std::chrono::steady_clock::now();
                if ((turn == 0) == subjectFirst) {
                    subject();
                    times.push_back(seconds(start));
                } else {
                    std::memcpy(frame.data(), canvas.pixels.data(), frame.size() * sizeof frame[0]);
                    copies.push_back(seconds(start));
                }
                benchmark::DoNotOptimize(window.pixels.data());
                benchmark::DoNotOptimize(frame.data());
            }
            subjectFirst = !subjectFirst;
        }
        state.counters["subject_ms"] = 1000 * median(times);
        state.counters["copy_ms"] = 1000 * median(copies);
        state.counters["ratio"] = median(times) / median(copies);
    }
};

// state.range(0): 0 drags a 300x200 rectangle, 1 drags one from corner to corner.
void rectangleStepAgainstFrameCopy(benchmark::State& state) {
    Screen screen;
    const bool diagonal = state.range(0) == 1;
    screen.platform.cursor = diagonal ? tovrel::ScreenPoint{0, 0} : tovrel::ScreenPoint{1500, 900};
    screen.engine.onLeftButtonDown();
    int move = 0;
    screen.againstFrameCopy(state, [&] {
        const int wobble = ++move % 2;
        screen.engine.onMouseMove(tovrel::MK_LBUTTON_FLAG,
                                  diagonal ? kWidth - 1 - wobble : 1800 - wobble,
                                  diagonal ? kHeight - 1 - wobble : 1100 - wobble);
    });
}

// Undo of a 300x200 rectangle stroke against one plain copy of the whole frame, and what the
// history of 100 such strokes holds against the size of one frame.
void undoAgainstFrameCopy(benchmark::State& state) {
    Screen screen;
    for (int stroke = 0; stroke < 100; ++stroke) {
        const int x = 100 + stroke % 10 * 360, y = 100 + stroke / 10 * 200;
        screen.platform.cursor = {x, y};
        screen.engine.onLeftButtonDown();
        for (int move = 1; move <= 10; ++move)
            screen.engine.onMouseMove(tovrel::MK_LBUTTON_FLAG, std::uint16_t(x + 30 * move),
                                      std::uint16_t(y + 20 * move));
    }
    screen.engine.onLeftButtonDown(); // ends the last stroke
    historyPerFrame = double(screen.engine.historyBytes()) / (screen.frame.size() * 4);
    bool back = false; // undo and redo in turn: the same operation, at the same cost
    screen.againstFrameCopy(state,
                            [&] { (back = !back) ? screen.engine.undo() : screen.engine.redo(); });
}

// A mosaic with its undo step against one plain copy of the whole frame: the release (the outline
// removed, the blocks made, the window updated) and the recording of its stroke for undo, which
// the next press or the overlay's closing would do. Each is drawn afresh, by a new engine, on the
// picture as it was, with the outline shown by a move, all untimed. state.range(0): 0 a 300x200
// rectangle, 1 the whole picture.
void mosaicAgainstFrameCopy(benchmark::State& state) {
    Screen screen;
    RasterSurface picture{screen.platform, kWidth, kHeight};
    picture.pixels = screen.canvas.pixels;
    const bool whole = state.range(0) == 1;
    const tovrel::PixelRect r =
        whole ? tovrel::PixelRect{0, 0, kWidth, kHeight} : tovrel::PixelRect{1500, 900, 1800, 1100};
    std::optional<tovrel::StrokeEngine> engine;
    screen.settings.tool = tovrel::ToolMosaic;
    screen.againstFrameCopy(
        state,
        [&] {
            engine->onLeftButtonUp();
            benchmark::DoNotOptimize(engine->showsStrokes());
        },
        [&] {
            engine.reset();
            for (RasterSurface* surface : {&screen.canvas, &screen.window})
                surface->BitBlt(r.left, r.top, r.right - r.left, r.bottom - r.top, picture);
            engine.emplace(screen.settings, screen.drag,
                           tovrel::OverlaySurfaces{screen.platform, screen.canvas, screen.window,
                                                   kWidth, kHeight});
            screen.platform.cursor = {r.left, r.top};
            engine->onLeftButtonDown();
            engine->onMouseMove(tovrel::MK_LBUTTON_FLAG, r.right, r.bottom);
        });
}

// With a 1000x800 part chosen, everything outside it shown dimmed: state.range(0) 0 a 300x200
// rectangle's step across the part's corner, 1 the part's corner moved by 8 pixels as it is chosen.
void partAgainstFrameCopy(benchmark::State& state) {
    Screen screen;
    screen.settings.tool = tovrel::ToolPart;
    screen.platform.cursor = {1000, 600};
    screen.engine.onLeftButtonDown();
    screen.engine.onMouseMove(tovrel::MK_LBUTTON_FLAG, 2000, 1400);
    const bool corner = state.range(0) == 1;
    if (!corner) {
        screen.engine.onLeftButtonUp();
        screen.settings.tool = tovrel::ToolRectangle;
        screen.platform.cursor = {1850, 1300};
        screen.engine.onLeftButtonDown();
    }
    const int x = corner ? 2000 : 2150, y = corner ? 1400 : 1500, step = corner ? 8 : 1;
    int move = 0;
    screen.againstFrameCopy(state, [&] {
        const int wobble = ++move % 2 * step;
        screen.engine.onMouseMove(tovrel::MK_LBUTTON_FLAG, std::uint16_t(x + wobble),
                                  std::uint16_t(y + wobble));
    });
}

} // namespace

BENCHMARK(rectangleStepAgainstFrameCopy)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(partAgainstFrameCopy)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(undoAgainstFrameCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(mosaicAgainstFrameCopy)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
// Setting up a whole-picture mosaic takes long: a fixed number of them, for a median worth its
// name.
BENCHMARK(mosaicAgainstFrameCopy)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(15);

int main(int argc, char** argv) {
    const std::vector<double> ratios = ratio_bench::runBenchmarks(&argc, argv);
    std::fflush(stderr);
    if (ratios.size() != 7) return 1;
    std::printf("3840x2160 rubber-band step / one frame copy (medians):\n"
                "  300x200 rectangle:        %.3f (aim: at most 0.05)\n"
                "  corner-to-corner drag:    %.3f (aim: at most 1.1)\n"
                "with a 1000x800 part chosen, the rest dimmed / one frame copy:\n"
                "  300x200 rectangle step across the part's corner: %.3f (aim: at most 0.05)\n"
                "  the part's corner moved by 8 pixels:             %.3f (aim: at most 0.05)\n"
                "undo of a 300x200 rectangle stroke / one frame copy: %.4f (aim: at most 0.05)\n"
                "history of 100 such strokes / one frame: %.4f (aim: at most 1)\n"
                "mosaic with its undo step (release and the stroke recorded) / one frame copy:\n"
                "  300x200 rectangle:        %.3f (aim: at most 0.05)\n"
                "  the whole picture:        %.3f (aim: at most 2)\n",
                ratios[0], ratios[1], ratios[2], ratios[3], ratios[4], historyPerFrame, ratios[5],
                ratios[6]);
    return 0;
}
