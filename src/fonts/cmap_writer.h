// Writes the character map of a font subset from the mappings its document needs.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

struct TCmapEntry {
    char32_t Code = 0;
    uint16_t Glyph = 0;
    friend bool operator==(const TCmapEntry&, const TCmapEntry&) = default;
};

// A cmap table: one format 4 subtable, (3,1), or (3,0) for a symbol font, of the BMP entries, and a
// (3,10) format 12 subtable when a Unicode entry lies beyond the BMP. Entries may come in any order;
// the first of repeated codes counts.
std::vector<uint8_t> BuildCmap(std::vector<TCmapEntry> entries, bool symbol);

} // namespace pagelith
