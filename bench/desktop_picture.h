// A 3840x2160 picture like a real desktop's, the same at every run: flat areas (the desktop, title
// bars, the taskbar, window backgrounds), lines of small text-like glyphs with soft edges, and a
// photo-like window of gradients and noise. Neither a flat colour nor pure noise, whose PNGs would
// be far smaller or far larger than a screen's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

struct DesktopPicture {
    static constexpr int kWidth = 3840, kHeight = 2160;
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(std::size_t(kWidth) * kHeight);

    DesktopPicture() {
        std::mt19937 random(20261207);
        makeAlphabet(random);
        fill(0, 0, kWidth, kHeight, 0x2D5F8A);            // the desktop
        fill(0, kHeight - 72, kWidth, kHeight, 0x202020); // the taskbar
        for (const int* w : {kEditor, kBrowser, kChat}) { // text windows
            fill(w[0], w[1], w[2], w[3], 0xF3F3F3);       // frame and title bar
            fill(w[0] + 2, w[1] + 48, w[2] - 2, w[3] - 2, 0xFFFFFF);
            for (int y = w[1] + 64; y + 20 < w[3]; y += 26)
                text(random, w[0] + 24, y, w[2] - 40);
        }
        photo(random, 2460, 1180, 3700, 1980);
    }

  private:
    static constexpr int kEditor[] = {60, 60, 1900, 2000}, kBrowser[] = {1960, 60, 3780, 1120},
                         kChat[] = {1960, 1180, 2400, 2000};

    void fill(int left, int top, int right, int bottom, std::uint32_t colour) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                pixels[std::size_t(y) * kWidth + x] = colour;
    }

    // Words of 7x14 letters from an alphabet of 40, as a font's letters repeat: strokes dark on
    // white with grey edges, as anti-aliased text is; lines of varied length.
    void text(std::mt19937& random, int left, int top, int right) {
        const int end = left + int(random() % (right - left));
        for (int x = left; x + 8 < end;) {
            for (int letters = 2 + random() % 8; letters > 0 && x + 8 < end; --letters, x += 8) {
                const std::uint8_t* letter = alphabet_[random() % 40];
                for (int y = 0; y < 14; ++y)
                    for (int dx = 0; dx < 7; ++dx)
                        if (const std::uint32_t grey = letter[y * 7 + dx])
                            pixels[std::size_t(top + y) * kWidth + x + dx] =
                                grey | grey << 8 | grey << 16;
            }
            x += 8;
        }
    }

    // Each letter a few upright and level strokes, with grey at their ends.
    void makeAlphabet(std::mt19937& random) {
        for (auto& letter : alphabet_)
            for (int strokes = 2 + random() % 3; strokes > 0; --strokes) {
                const bool upright = random() % 2;
                const int at = random() % (upright ? 7 : 14), from = random() % 7;
                const int length = 3 + random() % (upright ? 8 : 4);
                for (int i = -1; i <= length; ++i) {
                    const int x = upright ? at : from + i, y = upright ? from + i : at;
                    if (x < 0 || x >= 7 || y < 0 || y >= 14) continue;
                    std::uint8_t& pixel = letter[y * 7 + x];
                    const std::uint8_t grey = i < 0 || i == length ? 0xA0 : 0x20;
                    pixel = pixel ? std::min(pixel, grey) : grey;
                }
            }
    }

    std::uint8_t alphabet_[40][7 * 14] = {};

    // Smooth colours with a camera's noise in them.
    void photo(std::mt19937& random, int left, int top, int right, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                auto channel = [&](int base) {
                    const int v = base + int(random() % 17) - 8;
                    return std::uint32_t(v < 0 ? 0 : v > 255 ? 255 : v);
                };
                const int u = (x - left) * 255 / (right - left),
                          v = (y - top) * 255 / (bottom - top);
                pixels[std::size_t(y) * kWidth + x] =
                    channel(u) << 16 | channel((u + v) / 2) << 8 | channel(255 - v);
            }
    }
};
