// 1-bit test pictures: noise of a chosen density, long runs, and scanned-like pages.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>

#include "images/readers/working_bitmap.h"

namespace pagelith::testing {

inline void SetPixel(TBMPImage& bitmap, int32_t x, int32_t y, bool white) {
    auto row = bitmap.Row(y);
    const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
    row[x / 8] = static_cast<uint8_t>(white ? row[x / 8] | bit : row[x / 8] & ~bit);
}

inline bool WhiteAt(const TBMPImage& bitmap, int32_t x, int32_t y) {
    return (bitmap.Row(y)[x / 8] >> (7 - x % 8)) & 1;
}

inline void FillRect(TBMPImage& bitmap, int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool white) {
    for (int32_t y = std::max(y0, 0); y < std::min(y1, bitmap.Height()); ++y)
        for (int32_t x = std::max(x0, 0); x < std::min(x1, bitmap.Width()); ++x)
            SetPixel(bitmap, x, y, white);
}

// All white, then each pixel black with the given probability. The padding bits after each
// row get random values: coders must never take them as pixels.
inline TBMPImage NoisePicture(int32_t width, int32_t height, double blackShare, uint32_t seed) {
    TBMPImage bitmap;
    bitmap.SetSize(TPixelFormat::Indexed1, width, height);
    std::mt19937 rng(seed);
    std::bernoulli_distribution black(blackShare);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int32_t y = 0; y < height; ++y) {
        auto row = bitmap.Row(y);
        for (auto& b : row) b = static_cast<uint8_t>(byte(rng));
        for (int32_t x = 0; x < width; ++x) SetPixel(bitmap, x, y, !black(rng));
    }
    return bitmap;
}

// Rows made of runs whose lengths come from lengths[], in alternating colours; the next row
// repeats the previous one shifted a little, as edges in real pictures do.
template <std::size_t N>
inline TBMPImage RunPicture(int32_t width, int32_t height, const int32_t (&lengths)[N], uint32_t seed) {
    TBMPImage bitmap;
    bitmap.SetSize(TPixelFormat::Indexed1, width, height);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> pick(0, N - 1);
    std::uniform_int_distribution<int> shift(-4, 4);
    for (int32_t y = 0; y < height; ++y) {
        if (y > 0 && rng() % 3 != 0) {
            const int s = shift(rng);
            for (int32_t x = 0; x < width; ++x) {
                const int32_t from = std::clamp(x - s, 0, width - 1);
                SetPixel(bitmap, x, y, WhiteAt(bitmap, from, y - 1));
            }
            continue;
        }
        bool white = rng() % 2 == 0;
        for (int32_t x = 0; x < width;) {
            const int32_t run = lengths[pick(rng)];
            for (int32_t i = 0; i < run && x < width; ++i, ++x) SetPixel(bitmap, x, y, white);
            white = !white;
        }
    }
    return bitmap;
}

// A scanned-like page: text lines of small glyph strokes, rules, a framed figure with bars,
// and speckle.
inline TBMPImage ScannedPage(int32_t width, int32_t height, uint32_t seed) {
    TBMPImage bitmap;
    bitmap.SetSize(TPixelFormat::Indexed1, width, height);
    FillRect(bitmap, 0, 0, width, height, true);
    std::mt19937 rng(seed);
    auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int32_t margin = width / 10;
    int32_t y = height / 14;
    FillRect(bitmap, margin, y - 12, width - margin, y - 9, false);
    while (y < height - height / 14) {
        if (uniform(0, 9) == 0) { // figure
            const int32_t h = uniform(40, 160);
            FillRect(bitmap, margin, y, width - margin, y + h, false);
            FillRect(bitmap, margin + 4, y + 4, width - margin - 4, y + h - 4, true);
            for (int32_t x = margin + 20; x < width - margin - 30; x += uniform(20, 60))
                FillRect(bitmap, x, y + h - 8 - uniform(5, h - 20), x + 12, y + h - 8, false);
            y += h + 20;
            continue;
        }
        for (int32_t x = margin; x < width - margin - 16;) { // a line of words
            for (int n = uniform(1, 9); n > 0 && x < width - margin - 16; --n) {
                const int32_t gw = uniform(6, 14);
                for (int s = uniform(1, 3); s > 0; --s) {
                    const int32_t sx = x + uniform(0, gw - 3);
                    FillRect(bitmap, sx, y + uniform(0, 8), sx + 2, y + 20 + uniform(0, 1) * 6, false);
                }
                if (uniform(0, 1))
                    FillRect(bitmap, x, y + uniform(6, 18), x + gw, y + uniform(6, 18) + 2, false);
                x += gw + 2;
            }
            x += uniform(8, 14);
        }
        y += 34;
    }
    for (int i = 0; i < width * height / 4000; ++i)
        SetPixel(bitmap, uniform(0, width - 1), uniform(0, height - 1), false);
    return bitmap;
}

} // namespace pagelith::testing
