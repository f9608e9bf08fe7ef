// The line-fitting rule: how much of a text fits into an available width.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/char_widths.h"

namespace pagelith {

struct TLineFit {
    std::size_t End = 0; // one past the piece's last character
    bool Fits = true;    // false when a word had to be cut
};

// Breaks text from p into a piece no wider than available (thousandths of the
// size): at the last space that keeps it within, else inside the word before
// the character that overflows. An available width of 0 or less takes the
// whole rest. Never returns a piece shorter than one character unless the rest
// is empty, so only a single character can be wider than available.
TLineFit FitLine(std::string_view text, std::size_t p, double available, const TCharWidths& widths);

} // namespace pagelith
