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

// A number that six decimals or fewer spell exactly, as most coordinates are. Such a decimal of at
// most 15 digits that reads back as v is what the 15-digit general format writes for v (v lies within
// a ninth of a unit of its fifteenth digit), so it is found by scaling instead of by the general
// conversion. Null when v needs more decimals.
char* FormatFewDecimals(double v, char* out) {
    constexpr int kDecimals = 6;
    constexpr double kScale = 1e6;
    const double scaled = std::round(v * kScale);
    if (!(std::fabs(scaled) < 1e15) || scaled / kScale != v) return nullptr;
    char digits[kMaxNumberText];
    const auto whole = static_cast<uint64_t>(std::fabs(scaled));
    const auto length = static_cast<int>(std::to_chars(digits, digits + sizeof digits, whole).ptr - digits);
    if (v < 0) *out++ = '-';
    const int integers = length - kDecimals;
    if (integers <= 0) *out++ = '0';
    out = std::copy(digits, digits + std::max(integers, 0), out);
    *out++ = '.';
    for (int i = integers; i < 0; ++i) *out++ = '0';
    out = std::copy(digits + std::max(integers, 0), digits + length, out);
    while (out[-1] == '0') --out; // v is not whole, so a decimal other than 0 stays
    return out;
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
        if (char* end = FormatFewDecimals(v, out)) return end;
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
