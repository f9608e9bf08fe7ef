// The fourteen standard fonts that every PDF viewer supplies, numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pagelith {

inline constexpr int32_t kStandardFontCount = 14;

inline constexpr std::array<std::string_view, kStandardFontCount> kStandardFontNames = {
    "Courier",     "Courier-Bold",   "Courier-BoldOblique",   "Courier-Oblique",
    "Helvetica",   "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Oblique",
    "Times-Roman", "Times-Bold",     "Times-Italic",          "Times-BoldItalic",
    "Symbol",      "ZapfDingbats"};

inline constexpr bool IsStandardFont(int32_t number) {
    return number <= kStandardFontCount;
}

// The base font name of a standard font number; empty outside 1..14.
inline constexpr std::string_view StandardFontName(int32_t number) {
    return number >= 1 && number <= kStandardFontCount
               ? kStandardFontNames[static_cast<std::size_t>(number - 1)]
               : std::string_view{};
}

} // namespace pagelith
