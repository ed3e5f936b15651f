// Shared by the Windows-side benchmarks: a full-screen window standing in for the
// overlay, and the median of several interleaved timing rounds.
#pragma once

#include "gdi_surface.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <vector>

class FullScreenWindow {
  public:
    FullScreenWindow()
        : width_(GetSystemMetrics(SM_CXSCREEN)), height_(GetSystemMetrics(SM_CYSCREEN)),
          window_(CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                  width_, height_, nullptr, nullptr, nullptr, nullptr)),
          dc_(GetDC(window_)) {}
    ~FullScreenWindow() {
        ReleaseDC(window_, dc_);
        DestroyWindow(window_);
    }
    FullScreenWindow(const FullScreenWindow&) = delete;
    FullScreenWindow& operator=(const FullScreenWindow&) = delete;
    int width() const { return width_; }
    int height() const { return height_; }
    HWND window() const { return window_; }
    HDC dc() const { return dc_; }

  private:
    int width_;
    int height_;
    HWND window_;
    HDC dc_;
};

// A Canvas as the overlay makes one: a memory DC holding a DIB section with a copy of the screen,
// or, unless copyScreen, nothing written yet.
class ScreenCanvas {
  public:
    ScreenCanvas(int width, int height, bool copyScreen = true)
        : screen_(GetDC(nullptr)), dc_(CreateCompatibleDC(screen_)),
          bitmap_(createPixelBitmap(screen_, width, height, bits_)),
          original_(SelectObject(dc_, bitmap_)) {
        if (copyScreen) BitBlt(dc_, 0, 0, width, height, screen_, 0, 0, SRCCOPY);
        SetBkMode(dc_, TRANSPARENT);
    }
    ~ScreenCanvas() {
        SelectObject(dc_, original_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        ReleaseDC(nullptr, screen_);
    }
    ScreenCanvas(const ScreenCanvas&) = delete;
    ScreenCanvas& operator=(const ScreenCanvas&) = delete;
    HDC dc() const { return dc_; }
    std::uint32_t* bits() const { return bits_; }

  private:
    std::uint32_t* bits_ = nullptr;
    HDC screen_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ original_;
};

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

// Times `rounds` rounds of `iterations` calls of each subject in turn and returns the median
// seconds per call of each; interleaving keeps drifts out of the ratios.
template <typename... Subjects>
std::array<double, sizeof...(Subjects)> medianPerCall(int rounds, int iterations,
                                                      Subjects... subjects) {
    std::array<std::vector<double>, sizeof...(Subjects)> times;
    for (int r = 0; r < rounds; ++r) {
        std::size_t k = 0;
        auto timeOne = [&](auto& subject) {
            const double start = secondsNow();
            for (int i = 0; i < iterations; ++i)
                subject(i);
            times[k++].push_back((secondsNow() - start) / iterations);
        };
        (timeOne(subjects), ...);
    }
    std::array<double, sizeof...(Subjects)> medians{};
    for (std::size_t k = 0; k < medians.size(); ++k) {
        std::sort(times[k].begin(), times[k].end());
        medians[k] = times[k][times[k].size() / 2];
    }
    return medians;
}
