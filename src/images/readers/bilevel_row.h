// Scans over packed 1-bit rows (most significant bit first) shared by the fax codecs.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

namespace pagelith {

// Pixel x of a packed row: 1 or 0.
inline uint32_t PixelAt(std::span<const uint8_t> row, int32_t x) {
    return (row[static_cast<std::size_t>(x) >> 3] >> (7 - (x & 7))) & 1U;
}

// The 64 bits starting at byte i, most significant first; bytes past the span read as 0.
inline uint64_t LoadBits64(std::span<const uint8_t> row, std::size_t i) {
    uint64_t word = 0;
    if (i + 8 <= row.size()) {
        std::memcpy(&word, row.data() + i, 8);
        if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
        return word;
    }
    for (std::size_t k = 0; k < 8; ++k) word = (word << 8) | (i + k < row.size() ? row[i + k] : 0U);
    return word;
}

// First position p with x <= p < width whose pixel differs from colour (0 or 1), else width.
// row must hold at least (width + 7) / 8 bytes; bits past width may hold anything.
inline int32_t FindChange(std::span<const uint8_t> row, int32_t x, int32_t width, uint32_t colour) {
    const uint64_t same = colour ? ~uint64_t{0} : 0;
    while (x < width) {
        const int shift = x & 7;
        const uint64_t diff = (LoadBits64(row, static_cast<std::size_t>(x) >> 3) ^ same) << shift;
        if (diff != 0) {
            const int64_t p = int64_t{x} + std::countl_zero(diff);
            return p < width ? static_cast<int32_t>(p) : width;
        }
        if (width - x <= 64 - shift) break;
        x += 64 - shift;
    }
    return width;
}

} // namespace pagelith
