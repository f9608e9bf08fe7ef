#include "images/alpha_merge.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace pagelith {
namespace {

// v × a + (1 − a) × background, a in single precision, rounded to nearest with ties to even.
uint8_t Blend(uint8_t v, uint8_t alpha, uint8_t background) {
    const double a = static_cast<float>(alpha) / 255.0f;
    return static_cast<uint8_t>(std::nearbyint(v * a + (1.0 - a) * background));
}

// result[v] for one alpha value. A table per alpha keeps the per-pixel work to lookups.
using TBlendTable = std::array<uint8_t, 256>;

TBlendTable BlendTable(uint8_t alpha, uint8_t background) {
    TBlendTable t{};
    for (int v = 0; v < 256; ++v)
        t[static_cast<std::size_t>(v)] = Blend(static_cast<uint8_t>(v), alpha, background);
    return t;
}

// Levels that are their own indices: the gray picture can be blended in its indices.
bool LevelPalette(const TBMPImage& bitmap) {
    if (bitmap.Format() != TPixelFormat::Indexed8) return false;
    for (std::size_t i = 0; i < bitmap.Palette.size(); ++i)
        if (bitmap.Palette[i] != TRGB{uint8_t(i), uint8_t(i), uint8_t(i)}) return false;
    return true;
}

} // namespace

void MergeAlpha(TBMPImage& bitmap, std::span<const uint8_t> mask, int32_t maskWidth, int32_t maskHeight,
                uint32_t color) {
    const int32_t width = bitmap.Width();
    const int32_t height = bitmap.Height();
    if (maskWidth != width || maskHeight != height || width <= 0 || height <= 0) return;
    if (mask.size() < std::size_t(width) * std::size_t(height)) return;
    const auto r = static_cast<uint8_t>(color & 0xFF);
    const auto g = static_cast<uint8_t>((color >> 8) & 0xFF);
    const auto b = static_cast<uint8_t>((color >> 16) & 0xFF);

    // A gray picture blended with a colour takes that colour's hue where it is transparent.
    const bool gray = r == g && g == b && LevelPalette(bitmap);
    if (!gray) bitmap.ConvertTo24();

    // Tables are built lazily per alpha value actually present.
    std::array<bool, 256> built{};
    std::vector<std::array<TBlendTable, 3>> tables(256);
    const auto tablesFor = [&](uint8_t alpha) -> const std::array<TBlendTable, 3>& {
        if (!built[alpha]) {
            tables[alpha] = {BlendTable(alpha, b), BlendTable(alpha, g), BlendTable(alpha, r)};
            built[alpha] = true;
        }
        return tables[alpha];
    };

    for (int32_t y = 0; y < height; ++y) {
        const auto alphaRow = mask.subspan(std::size_t(y) * std::size_t(width), std::size_t(width));
        auto row = bitmap.Row(y);
        for (std::size_t x = 0; x < alphaRow.size(); ++x) {
            const uint8_t alpha = alphaRow[x];
            if (alpha == 255) continue;
            const auto& t = tablesFor(alpha);
            if (!gray) {
                row[3 * x] = t[0][row[3 * x]];         // blue
                row[3 * x + 1] = t[1][row[3 * x + 1]]; // green
                row[3 * x + 2] = t[2][row[3 * x + 2]]; // red
            } else {
                row[x] = t[2][row[x]];
            }
        }
    }
}

void MergePaletteAlpha(TBMPImage& bitmap, std::span<const uint8_t> alpha, uint32_t color) {
    const auto r = static_cast<uint8_t>(color & 0xFF);
    const auto g = static_cast<uint8_t>((color >> 8) & 0xFF);
    const auto b = static_cast<uint8_t>((color >> 16) & 0xFF);
    for (std::size_t i = 0; i < bitmap.Palette.size() && i < alpha.size(); ++i) {
        TRGB& c = bitmap.Palette[i];
        c = {Blend(c.R, alpha[i], r), Blend(c.G, alpha[i], g), Blend(c.B, alpha[i], b)};
    }
}

} // namespace pagelith
