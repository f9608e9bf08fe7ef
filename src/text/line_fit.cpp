#include "text/line_fit.h"

namespace pagelith {

TLineFit FitLine(std::string_view text, std::size_t p, double available,
                 const std::array<uint16_t, 256>& widths) {
    const std::size_t n = text.size();
    if (p >= n || available <= 0) return {n, true};
    uint64_t sum = 0;
    std::size_t over = p;
    for (; over < n; ++over) {
        sum += widths[static_cast<uint8_t>(text[over])];
        if (static_cast<double>(sum) > available) break;
    }
    if (over == n) return {n, true};

    std::size_t space = over + 1;
    while (space > p && text[space - 1] != ' ') --space;
    // No space: the word is cut before the overflowing character, but a piece keeps at least one
    // character so that layout always moves on.
    if (space == p) return {over > p ? over : p + 1, false};

    // text[space - 1] is the last space; the piece ends at the non-space before it.
    std::size_t end = space - 1;
    while (end > p && text[end - 1] == ' ') --end;
    return {end > p ? end : p + 1, true};
}

} // namespace pagelith
