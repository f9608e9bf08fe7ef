// What a PDF needs of a bare CFF font program: whether it is CID-keyed, and then each glyph's CID.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

struct TCffCharset {
    bool CidKeyed = false;
    // CIDs by glyph ID of a CID-keyed font; empty when every glyph's CID is its ID (or the charset
    // cannot be read, when viewers fall back to the same).
    std::vector<uint16_t> Cids;
};

TCffCharset ReadCffCharset(std::span<const uint8_t> cff);

} // namespace pagelith
