// Shaping: a run of text in one font, script and direction becomes positioned glyphs, by HarfBuzz
// and the font's own OpenType rules. The characters' properties that runs are cut by come from here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fonts/ticfont.h"

namespace pagelith {

struct TShapeRun {
    std::string_view Context; // UTF-8 text around the run: its neighbours join and kern with it
    std::size_t Start = 0;    // the run's bytes within Context
    std::size_t Length = 0;
    bool Rtl = false;
    uint32_t Script = 0;       // an ISO 15924 tag as HarfBuzz spells it; 0 to guess from the text
    std::string_view Features; // OpenType features in HarfBuzz's syntax, separated by commas or blanks
};

// Appends the run's glyphs, left to right as they are drawn. Glyphs come from the font's own
// character map, so shaped text and measured text pick the same ones.
void ShapeRun(const TicFont& font, const TShapeRun& run, std::vector<TShapedGlyph>& out);

// The first feature in a list that HarfBuzz cannot read, or empty when all can be read.
std::string BadFeature(std::string_view features);

// What the cutting of text into runs asks of a character.
struct TCharProps {
    uint32_t Script = 0; // ISO 15924 tag; kCommonScript and kInheritedScript take their neighbours'
    bool Mark = false;   // combines with the character before it
    bool Format = false; // invisible, steers joining or direction
};
TCharProps CharProps(char32_t c);
inline constexpr uint32_t kCommonScript = 0x5A797979;    // Zyyy
inline constexpr uint32_t kInheritedScript = 0x5A696E68; // Zinh
inline constexpr uint32_t kUnknownScript = 0x5A7A7A7A;   // Zzzz

// A font's advance for a glyph in thousandths of an em, unrounded: what shaped text moves by
// before any kerning.
double NominalAdvance(const TicFont& font, uint16_t glyph);

} // namespace pagelith
