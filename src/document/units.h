// Unit codes, conversions to and from points, and the page-size table.
#pragma once

#include <cstdint>
#include <optional>

namespace pagelith {

enum TUnit : uint8_t { kPoint = 0, kInch = 1, kCentimetre = 2, kMillimetre = 3 };

// Extended precision in the order multiply-then-divide; unknown codes give 0.
long double ToPoints(uint8_t units, double x);
// Extended precision in the order divide-then-multiply; unknown codes give 0.
long double FromPoints(uint8_t units, double x);

struct TPageDimensions {
    uint32_t Width;
    uint32_t Height;
};

// Looks up the low 7 bits of a size code; codes outside 1..16 have no size.
std::optional<TPageDimensions> PageSizeOf(uint8_t code);

} // namespace pagelith
