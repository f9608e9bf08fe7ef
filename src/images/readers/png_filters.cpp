#include "images/readers/png_filters.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pagelith {
namespace {

// Sub and Average carry each channel's left neighbour in a register: with the channel count fixed,
// the BPP chains are independent and the loop has no per-byte test for the row's start.
template <std::size_t BPP> void SubFixed(std::span<uint8_t> row) {
    const std::size_t n = row.size();
    uint8_t a[BPP] = {};
    std::size_t i = 0;
    for (; i + BPP <= n; i += BPP)
        for (std::size_t k = 0; k < BPP; ++k) row[i + k] = a[k] = static_cast<uint8_t>(row[i + k] + a[k]);
    for (std::size_t k = 0; i < n; ++i, ++k) row[i] = static_cast<uint8_t>(row[i] + a[k]);
}

void SubAny(std::span<uint8_t> row, std::size_t bpp) {
    for (std::size_t i = bpp; i < row.size(); ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
}

void Up(std::span<uint8_t> row, std::span<const uint8_t> prev) {
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
}

template <std::size_t BPP> void AverageFixed(std::span<uint8_t> row, std::span<const uint8_t> prev) {
    const std::size_t n = row.size();
    unsigned a[BPP] = {};
    std::size_t i = 0;
    for (; i + BPP <= n; i += BPP)
        for (std::size_t k = 0; k < BPP; ++k) {
            a[k] = static_cast<uint8_t>(row[i + k] + ((a[k] + prev[i + k]) >> 1));
            row[i + k] = static_cast<uint8_t>(a[k]);
        }
    for (std::size_t k = 0; i < n; ++i, ++k) row[i] = static_cast<uint8_t>(row[i] + ((a[k] + prev[i]) >> 1));
}

void AverageAny(std::span<uint8_t> row, std::span<const uint8_t> prev, std::size_t bpp) {
    const std::size_t head = bpp < row.size() ? bpp : row.size();
    for (std::size_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
    for (std::size_t i = head; i < row.size(); ++i)
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - bpp] + prev[i]) >> 1));
}

// Written as selections, not branches: on photographic rows the branches are a coin toss.
inline uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : bc);
}

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

#if defined(__SSE2__)
// One pixel of three or four channels per step, each channel in a 16-bit lane, so that the three
// distances and the choice between them are a few instructions for all channels at once.
template <std::size_t BPP> __m128i LoadPixel(const uint8_t* p) {
    uint32_t v = 0;
    std::memcpy(&v, p, BPP);
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <std::size_t BPP> void StorePixel(uint8_t* p, __m128i bytes) {
    const auto v = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
    std::memcpy(p, &v, BPP);
}

inline __m128i Abs16(__m128i x) {
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Four bytes in one load: for three-byte pixels the fourth is the next pixel's, read and dropped,
// which spares the narrow loads that a whole-register read right after them would stall on.
inline __m128i LoadFour(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <std::size_t BPP> struct TPaethStep {
    __m128i A, C;
    template <bool Wide> void operator()(uint8_t* out, const uint8_t* up) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i b = _mm_unpacklo_epi8(Wide ? LoadFour(up) : LoadPixel<BPP>(up), zero);
        const __m128i bc = _mm_sub_epi16(b, C);
        const __m128i ac = _mm_sub_epi16(A, C);
        const __m128i pa = Abs16(bc);
        const __m128i pb = Abs16(ac);
        const __m128i pc = Abs16(_mm_add_epi16(bc, ac));
        const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i nearest =
            Select(_mm_cmpeq_epi16(pa, least), A, Select(_mm_cmpeq_epi16(pb, least), b, C));
        const __m128i raw = Wide ? LoadFour(out) : LoadPixel<BPP>(out);
        const __m128i sum = _mm_add_epi8(raw, _mm_packus_epi16(nearest, nearest));
        StorePixel<BPP>(out, sum);
        A = _mm_unpacklo_epi8(sum, zero);
        C = b;
    }
};

template <std::size_t BPP> void PaethSse2(std::span<uint8_t> row, std::span<const uint8_t> prev) {
    TPaethStep<BPP> step{_mm_setzero_si128(), _mm_setzero_si128()};
    uint8_t* out = row.data();
    const uint8_t* up = prev.data();
    const std::size_t pixels = row.size() / BPP;
    if (pixels == 0) return;
    // Every pixel but the last has at least four bytes from its start within the row.
    for (std::size_t x = 0; x + 1 < pixels; ++x, out += BPP, up += BPP)
        step.template operator()<true>(out, up);
    step.template operator()<false>(out, up);
}
#endif

void Paeth(std::span<uint8_t> row, std::span<const uint8_t> prev, std::size_t bpp) {
    // A row of whole pixels only: with bpp 3 or 4 that is every row of 8-bit RGB or RGBA.
    const bool whole = row.size() % bpp == 0;
#if defined(__SSE2__)
    if (bpp == 3 && whole) return PaethSse2<3>(row, prev);
    if (bpp == 4 && whole) return PaethSse2<4>(row, prev);
#else
    (void)whole;
#endif
    switch (bpp) {
    case 1:
        return PaethFixed<1>(row, prev);
    case 2:
        return PaethFixed<2>(row, prev);
    case 3:
        return PaethFixed<3>(row, prev);
    case 4:
        return PaethFixed<4>(row, prev);
    case 6:
        return PaethFixed<6>(row, prev);
    case 8:
        return PaethFixed<8>(row, prev);
    default:
        return PaethAny(row, prev, bpp);
    }
}

void Sub(std::span<uint8_t> row, std::size_t bpp) {
    switch (bpp) {
    case 3:
        return SubFixed<3>(row);
    case 4:
        return SubFixed<4>(row);
    default:
        return SubAny(row, bpp);
    }
}

void Average(std::span<uint8_t> row, std::span<const uint8_t> prev, std::size_t bpp) {
    switch (bpp) {
    case 1:
        return AverageFixed<1>(row, prev);
    case 3:
        return AverageFixed<3>(row, prev);
    case 4:
        return AverageFixed<4>(row, prev);
    default:
        return AverageAny(row, prev, bpp);
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
        Paeth(row, prev, bpp);
        return true;
    default:
        return false;
    }
}

} // namespace pagelith
