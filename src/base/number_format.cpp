#include "base/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace pagelith {

namespace {

char* FormatGeneral15(double v, char* out) {
    // chars_format::general at precision 15 is C's %.15g: trailing zeros and a
    // trailing point are dropped, and for 1e-4 <= |v| < 1e15 no exponent appears.
    return std::to_chars(out, out + kMaxNumberText, v, std::chars_format::general, 15).ptr;
}

struct TComponentTable {
    std::array<std::array<char, 24>, 256> text{};
    std::array<uint8_t, 256> length{};
    TComponentTable() {
        for (int c = 0; c < 256; ++c) {
            char* end = FormatGeneral15(c / 255.0, text[c].data());
            length[c] = static_cast<uint8_t>(end - text[c].data());
        }
    }
};

const TComponentTable& Components() {
    static const TComponentTable table;
    return table;
}

} // namespace

char* FormatInteger(int64_t v, char* out) {
    return std::to_chars(out, out + kMaxNumberText, v).ptr;
}

char* FormatNumber(double v, char* out) {
    const double magnitude = std::fabs(v);
    // NaN and infinities have no PDF spelling; they are written as 0 too.
    if (!(magnitude >= 0.0001) || !std::isfinite(v)) {
        *out = '0';
        return out + 1;
    }
    if (magnitude < 1e15) {
        if (v == std::trunc(v)) return FormatInteger(static_cast<int64_t>(v), out);
        char* end = FormatGeneral15(v, out);
        // Rounding to 15 digits can carry a value just below 10^15 up to it, which the general
        // format spells with an exponent; the whole number it rounds to is what those digits say.
        if (std::find(out, end, 'e') == end) return end;
        return FormatInteger(static_cast<int64_t>(std::round(v)), out);
    }
    // PDF has no exponent syntax: very large values stay plain digits.
    if (magnitude < 9.2e18) return FormatInteger(static_cast<int64_t>(std::round(v)), out);
    return std::to_chars(out, out + kMaxNumberText, v < 0 ? -9.2e18 : 9.2e18, std::chars_format::fixed, 0)
        .ptr;
}

std::string NumberText(double v) {
    char text[kMaxNumberText];
    return std::string(text, FormatNumber(v, text));
}

void AppendColor(std::string& out, uint32_t color, bool fill) {
    const TComponentTable& t = Components();
    const uint8_t parts[3] = {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                              static_cast<uint8_t>(color >> 16)};
    for (uint8_t c : parts) {
        out.append(t.text[c].data(), t.length[c]);
        out.push_back(' ');
    }
    out.append(fill ? "rg" : "RG");
}

} // namespace pagelith
