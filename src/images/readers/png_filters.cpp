#include "images/readers/png_filters.h"

#include <cstddef>
#include <cstdlib>

namespace pagelith {
namespace {

void Sub(std::span<uint8_t> row, std::size_t bpp) {
    for (std::size_t i = bpp; i < row.size(); ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
}

void Up(std::span<uint8_t> row, std::span<const uint8_t> prev) {
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
}

void Average(std::span<uint8_t> row, std::span<const uint8_t> prev, std::size_t bpp) {
    const std::size_t head = bpp < row.size() ? bpp : row.size();
    for (std::size_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
    for (std::size_t i = head; i < row.size(); ++i)
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - bpp] + prev[i]) >> 1));
}

inline uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

// The left neighbour of each channel stays in a register: the row is walked pixel by pixel with a
// fixed channel count, which lets the compiler keep the BPP chains independent.
template <std::size_t BPP> void PaethFixed(std::span<uint8_t> row, std::span<const uint8_t> prev) {
    const std::size_t n = row.size();
    int a[BPP] = {};
    int c[BPP] = {};
    std::size_t i = 0;
    for (; i + BPP <= n; i += BPP) {
        for (std::size_t k = 0; k < BPP; ++k) {
            const int b = prev[i + k];
            a[k] = static_cast<uint8_t>(row[i + k] + PaethPredictor(a[k], b, c[k]));
            row[i + k] = static_cast<uint8_t>(a[k]);
            c[k] = b;
        }
    }
    for (std::size_t k = 0; i < n; ++i, ++k)
        row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(a[k], prev[i], c[k]));
}

void PaethAny(std::span<uint8_t> row, std::span<const uint8_t> prev, std::size_t bpp) {
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0;
        const int c = i >= bpp ? prev[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(a, prev[i], c));
    }
}

} // namespace

bool UnfilterPngRow(uint8_t filter, std::span<uint8_t> row, std::span<const uint8_t> prev,
                    uint32_t pixelBytes) {
    const std::size_t bpp = pixelBytes == 0 ? 1 : pixelBytes;
    switch (filter) {
    case 0:
        return true;
    case 1:
        Sub(row, bpp);
        return true;
    case 2:
        Up(row, prev);
        return true;
    case 3:
        Average(row, prev, bpp);
        return true;
    case 4:
        if (bpp == 3)
            PaethFixed<3>(row, prev);
        else if (bpp == 4)
            PaethFixed<4>(row, prev);
        else
            PaethAny(row, prev, bpp);
        return true;
    default:
        return false;
    }
}

} // namespace pagelith
