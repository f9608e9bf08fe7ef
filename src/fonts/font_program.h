// The font program a PDF embeds for a face: a TrueType file, or a bare CFF table.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fonts/cmap_writer.h"
#include "fonts/font_face.h"

namespace pagelith {

class TicFont;

struct TFontProgram {
    std::vector<uint8_t> Owned;        // bytes built for the document
    std::span<const uint8_t> Borrowed; // or a part of the font's file
    bool Subset = false;
    std::span<const uint8_t> Bytes() const { return Owned.empty() ? Borrowed : Owned; }
};

// The whole face: its file, the face's tables gathered from a collection, or its CFF table.
TFontProgram WholeProgram(const TicFont& font);

// A subset that keeps `glyphs` (with glyph 0 and the components they use): our own for TrueType
// outlines, keeping glyph IDs and drawing through a character map of `cmap` alone; HarfBuzz's for CFF,
// keeping glyph IDs only where `byGlyphId` says the content names glyphs by them (a CID-keyed
// program keeps its CIDs, a simple font finds glyphs by name). The whole face when the face cannot
// be subset.
TFontProgram SubsetProgram(const TicFont& font, std::span<const uint16_t> glyphs,
                           std::span<const TCmapEntry> cmap, bool symbolCmap, bool byGlyphId);

// The subset of `glyphs` as SubsetProgram makes it, or with no glyphs the whole program, deflated;
// from the font's memo when a document asked for the same before.
std::shared_ptr<const TPackedProgram> PackedProgram(const TicFont& font, std::span<const uint16_t> glyphs,
                                                    std::span<const TCmapEntry> cmap, bool symbolCmap,
                                                    bool byGlyphId);

} // namespace pagelith
