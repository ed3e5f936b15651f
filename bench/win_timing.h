// Shared by the Windows-side benchmarks: a full-screen window standing in for the
// overlay, and the median of several interleaved timing rounds.
#pragma once

#include "gdi_surface.h"

#include <windows.h>

#include <algorithm>
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

// A Canvas as the overlay makes one: a memory DC holding a DIB section with a copy of the screen.
class ScreenCanvas {
  public:
    ScreenCanvas(int width, int height)
        : screen_(GetDC(nullptr)), dc_(CreateCompatibleDC(screen_)),
          bitmap_(createPixelBitmap(screen_, width, height, bits_)),
          original_(SelectObject(dc_, bitmap_)) {
        BitBlt(dc_, 0, 0, width, height, screen_, 0, 0, SRCCOPY);
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
