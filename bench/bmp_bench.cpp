// Saving a 1920x1080 picture with writeBmp against one raw write + fsync of the same number of
// bytes in the same folder (TMPDIR or /tmp). Prints writeBmp's time over the raw time; the aim
// is at most 1.2.
#include "bmp_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kStride = 5760;
constexpr std::size_t kPixelBytes = std::size_t{kStride} * kHeight;
constexpr std::size_t kFileBytes = 54 + kPixelBytes;

fs::path folder;
std::vector<unsigned char> buffer(kFileBytes, 0x5A);

void writeBmpPicture(benchmark::State& state) {
    const std::u16string path = (folder / "bench.bmp").u16string();
    const tovrel::BitmapShape shape{0, kWidth, kHeight, 3 * kWidth, 1, 3, nullptr};
    for (auto _ : state)
        if (tovrel::writeBmp(path.c_str(), shape, buffer.data()) != 1)
            state.SkipWithError("writeBmp failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

void rawWriteFsync(benchmark::State& state) {
    const std::string path = (folder / "raw.bin").string();
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::write(fd, buffer.data(), kFileBytes) != ssize_t(kFileBytes) ||
            ::fsync(fd) != 0)
            state.SkipWithError("raw write failed");
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

// Keeps each benchmark's median real time per iteration for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.aggregate_name == "median")
                medians[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> medians;
};

} // namespace

BENCHMARK(writeBmpPicture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.3)
    ->Repetitions(5);
BENCHMARK(rawWriteFsync)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.3)
    ->Repetitions(5);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string dir = (fs::temp_directory_path() / "bmp_bench.XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) return 1;
    folder = dir;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    fs::remove_all(folder);
    const auto bmp = reporter.medians.find("writeBmpPicture");
    const auto raw = reporter.medians.find("rawWriteFsync");
    if (bmp != reporter.medians.end() && raw != reporter.medians.end() && raw->second > 0)
        std::printf("writeBmp / raw write+fsync (medians): %.3f (aim: at most 1.2)\n",
                    bmp->second / raw->second);
    benchmark::Shutdown();
    return 0;
}
