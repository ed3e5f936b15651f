// Saving a 1920x1080 picture with writeBmp against one raw write + fsync (open and close
// included) of the same number of bytes in the same folder (a new folder under TMPDIR or /tmp).
// Prints writeBmp's time over the raw time; the aim is at most 1.2.
#include "bmp_writer.h"

#include "ratio_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using ratio_bench::median;
using ratio_bench::seconds;

constexpr int kWidth = 1920, kHeight = 1080, kStride = 5760;
constexpr std::size_t kPixelBytes = std::size_t{kStride} * kHeight;
constexpr std::size_t kFileBytes = 54 + kPixelBytes;

fs::path folder;
std::vector<unsigned char> buffer(kFileBytes, 0x5A);

// The two are timed in alternation, so that a change in the disk's pace during the run
// touches both alike; the first of a pair alternates too. Medians keep a stray slow fsync
// from deciding the ratio.
void writeBmpAgainstRawWrite(benchmark::State& state) {
    const std::u16string bmpPath = (folder / "bench.bmp").u16string();
    const std::string rawPath = (folder / "raw.bin").string();
    const tovrel::BitmapShape shape{0, kWidth, kHeight, 3 * kWidth, 1, 3, nullptr};
    std::vector<double> bmp, raw;
    bool bmpFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = std::chrono::steady_clock::now();
            if ((turn == 0) == bmpFirst) {
                if (tovrel::writeBmp(bmpPath.c_str(), shape, buffer.data() + 54) != 1)
                    state.SkipWithError("writeBmp failed");
                bmp.push_back(seconds(start));
            } else {
                const int fd = ::open(rawPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
                if (fd < 0 || ::write(fd, buffer.data(), kFileBytes) != ssize_t(kFileBytes) ||
                    ::fsync(fd) != 0)
                    state.SkipWithError("raw write failed");
                ::close(fd);
                raw.push_back(seconds(start));
            }
        }
        bmpFirst = !bmpFirst;
    }
    if (bmp.empty()) return;
    state.counters["writeBmp_ms"] = 1000 * median(bmp);
    state.counters["raw_ms"] = 1000 * median(raw);
    state.counters["ratio"] = median(bmp) / median(raw);
}

} // namespace

BENCHMARK(writeBmpAgainstRawWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
    std::string dir = (fs::temp_directory_path() / "bmp_bench.XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) return 1;
    folder = dir;
    const std::vector<double> ratios = ratio_bench::runBenchmarks(&argc, argv);
    const double ratio = ratios.empty() ? 0 : ratios.back();
    fs::remove_all(folder);
    std::fflush(stderr);
    std::printf("writeBmp / raw write+fsync of %zu bytes (medians): %.3f (aim: at most 1.2)\n",
                kFileBytes, ratio);
    return 0;
}
