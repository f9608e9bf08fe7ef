// Published character widths of the 14 standard fonts, for measuring text set in them.
#pragma once

#include <array>
#include <cstdint>

namespace pagelith {

// Advance widths in thousandths of an em of the 256 single-byte codes of standard font number (1..14)
// as PDF viewers draw them: /WinAnsiEncoding for 1..12, the built-in encodings of Symbol and
// ZapfDingbats; nullptr outside 1..14.
const std::array<uint16_t, 256>* StandardFontWidths(int32_t number);

} // namespace pagelith
