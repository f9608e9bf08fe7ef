// Cuts a TrueType font down to the glyphs a document draws, for embedding.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

// A copy of the font that keeps the outlines of `glyphs`, glyph 0 and the components of composite
// glyphs; every other glyph is empty. Glyph IDs stay as they are. Empty when the font can't be read.
std::vector<uint8_t> SubsetTrueType(std::span<const uint8_t> font, std::span<const uint16_t> glyphs);

} // namespace pagelith
