// Reverses the five PNG row filters in place.
#pragma once

#include <cstdint>
#include <span>

namespace pagelith {

// row holds one row's bytes without its filter byte, prev the row above after reversal (all zero
// for a first row; same length). pixelBytes is the distance of the left neighbour, at least 1.
// Returns false for a filter type above 4, leaving row untouched.
bool UnfilterPngRow(uint8_t filter, std::span<uint8_t> row, std::span<const uint8_t> prev,
                    uint32_t pixelBytes);

} // namespace pagelith
