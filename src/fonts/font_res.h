// The record of one font used by the document: a loaded TrueType font, or a
// working copy the writer makes for one save.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/pdf_resource.h"
#include "fonts/cmap_writer.h"
#include "fonts/ticfont.h"

namespace pagelith {

class TPDFFontRes final : public TPDFResource {
public:
    TPDFFontRes() = default;
    // Copies number, embed flag and the whole font; the writer's working copies.
    TPDFFontRes(const TPDFFontRes& other);
    TPDFFontRes& operator=(const TPDFFontRes& other);
    void Assign(const TPDFFontRes& other);

    // Only TrueType fonts can be embedded.
    void SetEmbed(bool embed);
    // The standard name for 1..14, the font's PostScript name above.
    std::string BaseFontName() const;

    int32_t Number = 0;
    TicFont Font;
    bool Embed = false;
    std::array<bool, 256> UsedChars{};
    uint16_t FirstChar = 0;
    uint16_t LastChar = 0;

    // Working copies only: the entry writes the composite font of the document's Unicode text,
    // whose glyphs it lists with the characters each stands for, in glyph order.
    bool Unicode = false;
    std::vector<std::pair<uint16_t, std::u32string>> GlyphChars;
    // The glyphs the embedded program keeps when the document subsets its fonts, empty for the whole
    // font, and the characters through which a viewer reaches them.
    std::vector<uint16_t> SubsetGlyphs;
    std::vector<TCmapEntry> SubsetCmap;
};

} // namespace pagelith
