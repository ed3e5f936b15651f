// Rubber-band steps on a 3840x2160 raster surface against one plain copy of the whole frame,
// the floor of a step that copied the whole Canvas to the window. A step copies only what it
// changed, so a 300x200 rectangle costs a small part of a frame; a step whose shape spans the
// screen still costs about one frame.
#include "raster_surface.h"
#include "stroke_engine.h"

#include "ratio_bench.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using ratio_bench::median;
using ratio_bench::seconds;

using tovrel::test::RasterPlatform;
using tovrel::test::RasterSurface;

constexpr int kWidth = 3840, kHeight = 2160;
double historyPerFrame = 0;

// state.range(0): 0 drags a 300x200 rectangle, 1 drags one from corner to corner.
void rectangleStepAgainstFrameCopy(benchmark::State& state) {
    RasterPlatform platform;
    RasterSurface canvas(platform, kWidth, kHeight), window(platform, kWidth, kHeight);
    for (std::size_t i = 0; i < canvas.pixels.size(); ++i)
        canvas.pixels[i] = (i * 2654435761u) & 0xFFFFFF;
    std::vector<tovrel::ColorRef> frame(canvas.pixels.size());
    tovrel::DrawingSettings settings{tovrel::ToolRectangle, 0x0000FF, tovrel::PenStyleSolid, 1};
    tovrel::DragState drag;
    tovrel::StrokeEngine engine(settings, drag, {platform, canvas, window, kWidth, kHeight});
    const bool diagonal = state.range(0) == 1;
    platform.cursor = diagonal ? tovrel::ScreenPoint{0, 0} : tovrel::ScreenPoint{1500, 900};
    engine.onLeftButtonDown();

    // Step and copy alternate, and which goes first alternates too, so a change in the
    // machine's pace touches both alike; medians keep a stray slow run from deciding.
    std::vector<double> step, copy;
    bool stepFirst = true;
    int move = 0;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = std::chrono::steady_clock::now();
            if ((turn == 0) == stepFirst) {
                const int wobble = ++move % 2;
                engine.onMouseMove(tovrel::MK_LBUTTON_FLAG,
                                   diagonal ? kWidth - 1 - wobble : 1800 - wobble,
                                   diagonal ? kHeight - 1 - wobble : 1100 - wobble);
                step.push_back(seconds(start));
            } else {
                std::memcpy(frame.data(), canvas.pixels.data(), frame.size() * sizeof frame[0]);
                copy.push_back(seconds(start));
            }
            benchmark::DoNotOptimize(window.pixels.data());
            benchmark::DoNotOptimize(frame.data());
        }
        stepFirst = !stepFirst;
    }
    state.counters["step_ms"] = 1000 * median(step);
    state.counters["copy_ms"] = 1000 * median(copy);
    state.counters["ratio"] = median(step) / median(copy);
}

// Undo of a 300x200 rectangle stroke against one plain copy of the whole frame, and what the
// history of 100 such strokes holds against the size of one frame.
void undoAgainstFrameCopy(benchmark::State& state) {
    RasterPlatform platform;
    RasterSurface canvas(platform, kWidth, kHeight), window(platform, kWidth, kHeight);
    for (std::size_t i = 0; i < canvas.pixels.size(); ++i)
        canvas.pixels[i] = (i * 2654435761u) & 0xFFFFFF;
    std::vector<tovrel::ColorRef> frame(canvas.pixels.size());
    tovrel::DrawingSettings settings{tovrel::ToolRectangle, 0x0000FF, tovrel::PenStyleSolid, 1};
    tovrel::DragState drag;
    tovrel::StrokeEngine engine(settings, drag, {platform, canvas, window, kWidth, kHeight});
    for (int stroke = 0; stroke < 100; ++stroke) {
        const int x = 100 + stroke % 10 * 360, y = 100 + stroke / 10 * 200;
        platform.cursor = {x, y};
        engine.onLeftButtonDown();
        for (int move = 1; move <= 10; ++move)
            engine.onMouseMove(tovrel::MK_LBUTTON_FLAG, std::uint16_t(x + 30 * move),
                               std::uint16_t(y + 20 * move));
    }
    engine.onLeftButtonDown(); // ends the last stroke
    std::vector<double> undo, copy;
    bool undoFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = std::chrono::steady_clock::now();
            if ((turn == 0) == undoFirst) {
                engine.undo();
                undo.push_back(seconds(start));
                engine.redo();
            } else {
                std::memcpy(frame.data(), canvas.pixels.data(), frame.size() * sizeof frame[0]);
                copy.push_back(seconds(start));
            }
            benchmark::DoNotOptimize(window.pixels.data());
            benchmark::DoNotOptimize(frame.data());
        }
        undoFirst = !undoFirst;
    }
    state.counters["undo_ms"] = 1000 * median(undo);
    state.counters["copy_ms"] = 1000 * median(copy);
    state.counters["ratio"] = median(undo) / median(copy);
    state.counters["history_per_frame"] =
        double(engine.historyBytes()) / (frame.size() * sizeof frame[0]);
    historyPerFrame = state.counters["history_per_frame"];
}

} // namespace

BENCHMARK(rectangleStepAgainstFrameCopy)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(undoAgainstFrameCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

int main(int argc, char** argv) {
    const std::vector<double> ratios = ratio_bench::runBenchmarks(&argc, argv);
    std::fflush(stderr);
    if (ratios.size() != 3) return 1;
    std::printf("3840x2160 rubber-band step / one frame copy (medians):\n"
                "  300x200 rectangle:        %.3f (aim: at most 0.05)\n"
                "  corner-to-corner drag:    %.3f (aim: at most 1.1)\n"
                "undo of a 300x200 rectangle stroke / one frame copy: %.4f (aim: at most 0.05)\n"
                "history of 100 such strokes / one frame: %.4f (aim: at most 1)\n",
                ratios[0], ratios[1], ratios[2], historyPerFrame);
    return 0;
}
