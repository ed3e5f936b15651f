// Shared by the native benchmarks: each times its subject and the physical limit in
// alternation and reports the ratio of their medians as the counter "ratio".
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace ratio_bench {

inline double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Medians keep a stray slow run from deciding the ratio.
inline double median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// Keeps the ratio counters for the lines printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.counters.count("ratio") != 0) ratios.push_back(r.counters.at("ratio"));
    }
    std::vector<double> ratios;
};

// Runs the registered benchmarks and returns their ratios in order.
inline std::vector<double> runBenchmarks(int* argc, char** argv) {
    benchmark::Initialize(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.ratios;
}

} // namespace ratio_bench
