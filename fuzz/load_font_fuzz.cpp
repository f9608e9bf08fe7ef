// libFuzzer entry point for LoadFont: the first byte picks a face, the rest is the file. Any bytes
// must load or be refused with a message, and a loaded face must measure, look characters up and give
// its programs, whole and subset, without reading outside what it holds.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/pdf_error.h"
#include "fonts/font_program.h"
#include "fonts/ticfont.h"
#include "text/char_widths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    pagelith::TicFont font;
    try {
        font = pagelith::TicFont::Open({data + 1, data + size}, data[0] % 4);
    } catch (const pagelith::EPDFError&) {
        return 0;
    }
    (void)pagelith::TCharWidths(font, false).Width("The quick brown fox");
    (void)pagelith::TCharWidths(pagelith::TFontChain(font)).Width("Zo\xC3\xAB \xE2\x82\xAC \xF0\x9D\x94\xB8");
    std::vector<uint16_t> glyphs;
    std::vector<pagelith::TCmapEntry> cmap;
    for (char32_t c : {U'A', U'z', U'\u00E9', U'\u4E2D', U'\U0001D538'}) {
        const uint16_t glyph = font.GlyphOfUnicode(c);
        glyphs.push_back(glyph);
        cmap.push_back({c, glyph});
        (void)font.CodeOfGlyph(glyph);
    }
    (void)pagelith::WholeProgram(font).Bytes();
    for (bool byGlyphId : {false, true})
        (void)pagelith::SubsetProgram(font, glyphs, cmap, font.SymbolCmap(), byGlyphId).Bytes();
    return 0;
}
