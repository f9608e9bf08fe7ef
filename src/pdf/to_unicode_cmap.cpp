#include "pdf/to_unicode_cmap.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace pagelith {

namespace {

void AppendHex4(std::string& out, uint16_t v) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(v >> shift) & 0xF]);
}

// The character in UTF-16BE, as CMaps give destinations.
void AppendUtf16Hex(std::string& out, char32_t c) {
    if (c >= 0x10000) {
        const char32_t v = c - 0x10000;
        AppendHex4(out, static_cast<uint16_t>(0xD800 + (v >> 10)));
        AppendHex4(out, static_cast<uint16_t>(0xDC00 + (v & 0x3FF)));
    } else {
        AppendHex4(out, static_cast<uint16_t>(c));
    }
}

} // namespace

std::string ToUnicodeCMap(std::span<const std::pair<uint16_t, std::u32string_view>> glyphChars) {
    std::string out = "/CIDInit /ProcSet findresource begin\n"
                      "12 dict begin\n"
                      "begincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n"
                      "/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // Code 0 is the missing glyph, and a glyph that stands for nothing gets no entry.
    std::vector<std::size_t> mapped;
    for (std::size_t i = 0; i < glyphChars.size(); ++i)
        if (glyphChars[i].first != 0 && !glyphChars[i].second.empty()) mapped.push_back(i);
    // A CMap section holds at most 100 entries.
    constexpr std::size_t kSection = 100;
    for (std::size_t i = 0; i < mapped.size(); i += kSection) {
        const std::size_t n = std::min(kSection, mapped.size() - i);
        out += std::to_string(n) + " beginbfchar\n";
        for (std::size_t k = i; k < i + n; ++k) {
            const auto& [code, chars] = glyphChars[mapped[k]];
            out.push_back('<');
            AppendHex4(out, code);
            out += "> <";
            for (char32_t c : chars) AppendUtf16Hex(out, c);
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    out += "endcmap\n"
           "CMapName currentdict /CMap defineresource pop\n"
           "end\n"
           "end\n";
    return out;
}

} // namespace pagelith
