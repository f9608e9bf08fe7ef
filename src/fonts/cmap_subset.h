// Rebuilds the character map of a font subset from the original's Unicode and symbol subtables.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

// A whole cmap table that maps the original's code points to the kept glyphs only. `keep` holds one
// flag per glyph of the font, `kept` the same glyphs as a sorted list. An unreadable original gives a
// table without mappings.
std::vector<uint8_t> SubsetCmap(std::span<const uint8_t> cmap, std::span<const uint8_t> keep,
                                std::span<const uint16_t> kept);

} // namespace pagelith
