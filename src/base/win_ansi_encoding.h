// The character each byte of /WinAnsiEncoding stands for, as PDF readers decode the fonts' text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pagelith {

// Code points of bytes 0x80..0x9F; the five unassigned bytes map to their C1 code points.
inline constexpr std::array<char16_t, 32> kWinAnsiHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char16_t WinAnsiToUnicode(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWinAnsiHighControls[byte - 0x80] : char16_t{byte};
}

// Code-page text as UTF-16, byte by byte.
inline std::u16string WinAnsiToWide(std::string_view text) {
    std::u16string wide(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) wide[i] = WinAnsiToUnicode(static_cast<uint8_t>(text[i]));
    return wide;
}

} // namespace pagelith
