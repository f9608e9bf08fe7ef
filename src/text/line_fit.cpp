#include "text/line_fit.h"

#include <cstdint>

namespace pagelith {

TLineFit FitLine(std::string_view text, std::size_t p, double available, const TCharWidths& widths) {
    const std::size_t n = text.size();
    if (p >= n || available <= 0) return {n, true};
    uint64_t sum = 0;
    std::size_t over = p;     // start of the character being measured
    std::size_t firstEnd = n; // end of the piece's first character
    for (std::size_t next = p; over < n; over = next) {
        sum += widths.Next(text, next);
        if (over == p) firstEnd = next;
        if (static_cast<double>(sum) > available) break;
    }
    if (over == n) return {n, true};

    // Spaces are single bytes in both encodings, so a byte scan finds them.
    std::size_t space = over + 1;
    while (space > p && text[space - 1] != ' ') --space;
    // No space: the word is cut before the overflowing character, but a piece keeps at least one
    // character so that layout always moves on.
    if (space == p) return {over > p ? over : firstEnd, false};

    // text[space - 1] is the last space; the piece ends at the non-space before it.
    std::size_t end = space - 1;
    while (end > p && text[end - 1] == ' ') --end;
    return {end > p ? end : firstEnd, true};
}

} // namespace pagelith
