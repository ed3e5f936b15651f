// Timing for the Windows-side benchmarks: the median of several interleaved rounds.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

inline double secondsNow() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

// Times `rounds` rounds of `iterations` calls of each and returns the median
// seconds per call of each; interleaving keeps drifts out of the ratio.
template <typename Subject, typename Limit>
std::pair<double, double> medianPerCall(int rounds, int iterations, Subject subject, Limit limit) {
    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        double t0 = secondsNow();
        for (int i = 0; i < iterations; ++i)
            subject(i);
        double t1 = secondsNow();
        for (int i = 0; i < iterations; ++i)
            limit(i);
        double t2 = secondsNow();
        a.push_back((t1 - t0) / iterations);
        b.push_back((t2 - t1) / iterations);
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}
