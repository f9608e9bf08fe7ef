// Cuts a TrueType font down to the glyphs a document draws, for embedding.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "fonts/cmap_writer.h"
#include "fonts/sfnt_view.h"

namespace pagelith {

// A copy of the face that keeps the outlines of `glyphs`, glyph 0 and the components of composite
// glyphs; every other glyph is empty. Glyph IDs stay as they are, and the character map holds the
// entries of `cmap` that reach kept glyphs. Empty when the face can't be read.
std::vector<uint8_t> SubsetTrueType(const TSfntView& face, std::span<const uint16_t> glyphs,
                                    std::span<const TCmapEntry> cmap, bool symbolCmap);

} // namespace pagelith
