#include "images/readers/png_pixels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace pagelith {

std::optional<TPngPixelKind> PngPixelKind(uint8_t colorType, uint8_t bitDepth) {
    using K = TPngPixelKind;
    switch (colorType) {
    case 0:
        switch (bitDepth) {
        case 1:
            return K::Gray1;
        case 2:
            return K::Gray2;
        case 4:
            return K::Gray4;
        case 8:
            return K::Gray8;
        case 16:
            return K::Gray16;
        }
        break;
    case 2:
        if (bitDepth == 8) return K::Rgb8;
        if (bitDepth == 16) return K::Rgb16;
        break;
    case 3:
        switch (bitDepth) {
        case 1:
            return K::Palette1;
        case 2:
            return K::Palette2;
        case 4:
            return K::Palette4;
        case 8:
            return K::Palette8;
        }
        break;
    case 4:
        if (bitDepth == 8) return K::GrayAlpha8;
        if (bitDepth == 16) return K::GrayAlpha16;
        break;
    case 6:
        if (bitDepth == 8) return K::RgbAlpha8;
        if (bitDepth == 16) return K::RgbAlpha16;
        break;
    }
    return std::nullopt;
}

TPixelFormat PngWorkingFormat(TPngPixelKind kind) {
    using K = TPngPixelKind;
    switch (kind) {
    case K::Gray1:
    case K::Palette1:
        return TPixelFormat::Indexed1;
    case K::Gray2:
    case K::Gray4:
    case K::Palette2:
    case K::Palette4:
        return TPixelFormat::Indexed4;
    case K::Gray8:
    case K::Gray16:
    case K::Palette8:
    case K::GrayAlpha8:
    case K::GrayAlpha16:
        return TPixelFormat::Indexed8;
    case K::Rgb8:
    case K::Rgb16:
    case K::RgbAlpha8:
    case K::RgbAlpha16:
        return TPixelFormat::Rgb24;
    }
    return TPixelFormat::Rgb24;
}

uint32_t PngBitsPerPixel(TPngPixelKind kind) {
    using K = TPngPixelKind;
    switch (kind) {
    case K::Gray1:
    case K::Palette1:
        return 1;
    case K::Gray2:
    case K::Palette2:
        return 2;
    case K::Gray4:
    case K::Palette4:
        return 4;
    case K::Gray8:
    case K::Palette8:
        return 8;
    case K::Gray16:
    case K::GrayAlpha8:
        return 16;
    case K::Rgb8:
        return 24;
    case K::GrayAlpha16:
    case K::RgbAlpha8:
        return 32;
    case K::Rgb16:
        return 48;
    case K::RgbAlpha16:
        return 64;
    }
    return 8;
}

bool PngConvertsInPlace(TPngPixelKind kind) {
    using K = TPngPixelKind;
    switch (kind) {
    case K::Gray1:
    case K::Gray4:
    case K::Gray8:
    case K::Palette1:
    case K::Palette4:
    case K::Palette8:
    case K::Rgb8:
    case K::GrayAlpha8:
    case K::RgbAlpha8:
        return true;
    default:
        return false;
    }
}

bool PngHasAlphaChannel(TPngPixelKind kind) {
    using K = TPngPixelKind;
    return kind == K::GrayAlpha8 || kind == K::GrayAlpha16 || kind == K::RgbAlpha8 || kind == K::RgbAlpha16;
}

namespace {

inline uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// 2-bit samples widen to nibbles: gray v becomes index 5 × v (its level in the 16-gray palette),
// palette indices stay as they are.
void WidenTwoBit(std::span<const uint8_t> raw, uint32_t width, std::span<uint8_t> row, uint8_t scale) {
    for (uint32_t x = 0; x < width; x += 2) {
        const uint32_t shift = 6 - 2 * (x % 4);
        const uint8_t hi = static_cast<uint8_t>(((raw[x / 4] >> shift) & 3) * scale);
        uint8_t lo = 0;
        if (x + 1 < width) lo = static_cast<uint8_t>(((raw[x / 4] >> (shift - 2)) & 3) * scale);
        row[x / 2] = static_cast<uint8_t>((hi << 4) | lo);
    }
}

// Colours of Colors samples of Bytes each, then alpha: the high bytes go to d (blue-green-red) and mask
// (when it is not empty). Alpha goes first, since a conversion in place overwrites it with colour.
template <std::size_t Colors, std::size_t Bytes>
void SplitAlpha(const uint8_t* s, uint8_t* d, std::span<uint8_t> mask, std::size_t n) {
    constexpr std::size_t kStep = (Colors + 1) * Bytes;
    if (!mask.empty())
        for (std::size_t x = 0; x < n; ++x) mask[x] = s[kStep * x + Colors * Bytes];
    for (std::size_t x = 0; x < n; ++x) {
        if constexpr (Colors == 1) {
            d[x] = s[kStep * x];
        } else {
            const uint8_t r = s[kStep * x], g = s[kStep * x + Bytes], b = s[kStep * x + 2 * Bytes];
            d[3 * x] = b;
            d[3 * x + 1] = g;
            d[3 * x + 2] = r;
        }
    }
}

} // namespace

void ConvertPngRow(TPngPixelKind kind, std::span<const uint8_t> raw, uint32_t width, std::span<uint8_t> row,
                   std::span<uint8_t> mask, const TPngColorKey& key) {
    using K = TPngPixelKind;
    const uint8_t* s = raw.data();
    uint8_t* d = row.data();
    const std::size_t n = width;
    switch (kind) {
    case K::Gray2:
        WidenTwoBit(raw, width, row, 5);
        return;
    case K::Palette2:
        WidenTwoBit(raw, width, row, 1);
        return;
    case K::Gray16:
        for (std::size_t x = 0; x < n; ++x) d[x] = s[2 * x];
        if (key.Active)
            for (std::size_t x = 0; x < n; ++x) mask[x] = Be16(s + 2 * x) == key.Gray ? 0 : 255;
        return;
    case K::Rgb8:
        for (std::size_t x = 0; x < n; ++x) {
            const uint8_t r = s[3 * x], g = s[3 * x + 1], b = s[3 * x + 2];
            if (key.Active) mask[x] = r == key.Red && g == key.Green && b == key.Blue ? 0 : 255;
            d[3 * x] = b;
            d[3 * x + 1] = g;
            d[3 * x + 2] = r;
        }
        return;
    case K::Rgb16:
        for (std::size_t x = 0; x < n; ++x) {
            d[3 * x] = s[6 * x + 4];
            d[3 * x + 1] = s[6 * x + 2];
            d[3 * x + 2] = s[6 * x];
        }
        if (key.Active)
            for (std::size_t x = 0; x < n; ++x) {
                const uint8_t* p = s + 6 * x;
                const bool clear = Be16(p) == key.Red && Be16(p + 2) == key.Green && Be16(p + 4) == key.Blue;
                mask[x] = clear ? 0 : 255;
            }
        return;
    case K::GrayAlpha8:
        return SplitAlpha<1, 1>(s, d, mask, n);
    case K::GrayAlpha16:
        return SplitAlpha<1, 2>(s, d, mask, n);
    case K::RgbAlpha8:
        return SplitAlpha<3, 1>(s, d, mask, n);
    case K::RgbAlpha16:
        return SplitAlpha<3, 2>(s, d, mask, n);
    case K::Gray1:
    case K::Gray4:
    case K::Gray8:
    case K::Palette1:
    case K::Palette4:
    case K::Palette8: {
        const std::size_t bytes = (n * PngBitsPerPixel(kind) + 7) / 8;
        std::memmove(d, s, std::min({bytes, raw.size(), row.size()}));
        return;
    }
    }
}

void ScatterPixels(TPixelFormat format, std::span<const uint8_t> src, uint32_t count, std::span<uint8_t> dst,
                   uint32_t x0, uint32_t dx) {
    std::size_t x = x0;
    switch (format) {
    case TPixelFormat::Rgb24:
        for (std::size_t i = 0; i < count; ++i, x += dx) {
            dst[3 * x] = src[3 * i];
            dst[3 * x + 1] = src[3 * i + 1];
            dst[3 * x + 2] = src[3 * i + 2];
        }
        return;
    case TPixelFormat::Indexed8:
        for (std::size_t i = 0; i < count; ++i, x += dx) dst[x] = src[i];
        return;
    case TPixelFormat::Indexed4:
        for (std::size_t i = 0; i < count; ++i, x += dx) {
            const uint8_t v = (src[i / 2] >> (i % 2 ? 0 : 4)) & 0x0F;
            const uint32_t shift = x % 2 ? 0 : 4;
            dst[x / 2] = static_cast<uint8_t>((dst[x / 2] & ~(0x0F << shift)) | (v << shift));
        }
        return;
    case TPixelFormat::Indexed1:
        for (std::size_t i = 0; i < count; ++i, x += dx) {
            const uint8_t v = (src[i / 8] >> (7 - i % 8)) & 1;
            const uint32_t shift = 7 - x % 8;
            dst[x / 8] = static_cast<uint8_t>((dst[x / 8] & ~(1 << shift)) | (v << shift));
        }
        return;
    }
}

} // namespace pagelith
