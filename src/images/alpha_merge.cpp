#include "images/alpha_merge.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace pagelith {
namespace {

// result[v] for one alpha value: v × a + (1 − a) × background, a in single precision, rounded to
// nearest with ties to even. A table per alpha keeps the per-pixel work to lookups.
using TBlendTable = std::array<uint8_t, 256>;

TBlendTable BlendTable(uint8_t alpha, uint8_t background) {
    const float a = static_cast<float>(alpha) / 255.0f;
    const double da = a;
    TBlendTable t{};
    for (int v = 0; v < 256; ++v) {
        const double blended = v * da + (1.0 - da) * background;
        t[static_cast<std::size_t>(v)] = static_cast<uint8_t>(std::nearbyint(blended));
    }
    return t;
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

    const bool rgb = bitmap.Format() == TPixelFormat::Rgb24;
    const bool gray = bitmap.Format() == TPixelFormat::Indexed8 && bitmap.GrayPalette();
    if (!rgb && !(gray && r == g && g == b)) return;

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
            if (rgb) {
                row[3 * x] = t[0][row[3 * x]];         // blue
                row[3 * x + 1] = t[1][row[3 * x + 1]]; // green
                row[3 * x + 2] = t[2][row[3 * x + 2]]; // red
            } else {
                row[x] = t[2][row[x]];
            }
        }
    }
}

} // namespace pagelith
