// One rectangle rubber-band step on a 1920x1080 raster surface against one plain copy of the
// same frame. The step ends with a full-frame copy to the window, so that copy is its floor.
// Prints the step's time over the copy's time; the aim is at most 1.15.
#include "raster_surface.h"
#include "stroke_engine.h"

#include "ratio_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using ratio_bench::median;
using ratio_bench::seconds;

using tovrel::test::RasterPlatform;
using tovrel::test::RasterSurface;

constexpr int kWidth = 1920, kHeight = 1080;

// Step and copy alternate, and which goes first alternates too, so a change in the
// machine's pace touches both alike; medians keep a stray slow run from deciding.
void rectangleStepAgainstFrameCopy(benchmark::State& state) {
    RasterPlatform platform;
    RasterSurface canvas(platform, kWidth, kHeight);
    RasterSurface window(platform, kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            canvas.setPixel(x, y, (x * 2654435761u ^ y * 40503u) & 0xFFFFFF);
    tovrel::DrawingSettings settings{tovrel::ToolRectangle, 0x0000FF, tovrel::PenStyleSolid, 1};
    tovrel::DragState drag;
    tovrel::StrokeEngine engine(settings, drag, {platform, canvas, window, kWidth, kHeight});
    platform.cursor = {200, 150};
    engine.onLeftButtonDown();

    std::vector<double> step, copy;
    bool stepFirst = true;
    int move = 0;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = std::chrono::steady_clock::now();
            if ((turn == 0) == stepFirst) {
                const bool far = ++move % 2 == 0;
                engine.onMouseMove(tovrel::MK_LBUTTON_FLAG, far ? 1700 : 1500, far ? 1000 : 900);
                step.push_back(seconds(start));
            } else {
                window.BitBlt(kWidth, kHeight, canvas);
                copy.push_back(seconds(start));
            }
            benchmark::DoNotOptimize(window.pixels().data());
        }
        stepFirst = !stepFirst;
    }
    state.counters["step_ms"] = 1000 * median(step);
    state.counters["copy_ms"] = 1000 * median(copy);
    state.counters["ratio"] = median(step) / median(copy);
}

} // namespace

BENCHMARK(rectangleStepAgainstFrameCopy)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

int main(int argc, char** argv) {
    const double ratio = ratio_bench::runBenchmarks(&argc, argv);
    std::fflush(stderr);
    std::printf("rectangle step / frame copy of %dx%d (medians): %.3f (aim: at most 1.15)\n",
                kWidth, kHeight, ratio);
    return 0;
}
