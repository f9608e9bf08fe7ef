#include "base/pdf_text_string.h"

#include <array>
#include <optional>

namespace pagelith {

namespace {

// Code points of PDFDocEncoding bytes 0x18..0x1F and 0x80..0xA0; 0 where the byte has no character.
constexpr std::array<char16_t, 8> kAccents = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
constexpr std::array<char16_t, 33> kHigh = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
    0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
    0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0x0000, 0x20AC};

std::optional<uint8_t> PdfDocByte(char16_t c) {
    if (c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0x7E)) return static_cast<uint8_t>(c);
    if (c >= 0xA1 && c <= 0xFF && c != 0xAD) return static_cast<uint8_t>(c);
    if (c == 0) return std::nullopt;
    for (std::size_t i = 0; i < kAccents.size(); ++i)
        if (kAccents[i] == c) return static_cast<uint8_t>(0x18 + i);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c) return static_cast<uint8_t>(0x80 + i);
    return std::nullopt;
}

// Inside a literal string a raw end of line reads back as a single LF, so CR and LF are escaped too.
void AppendByte(std::string& out, uint8_t b) {
    switch (b) {
    case '(':
    case ')':
    case '\\':
        out.push_back('\\');
        out.push_back(static_cast<char>(b));
        break;
    case '\r':
        out.append("\\r");
        break;
    case '\n':
        out.append("\\n");
        break;
    default:
        out.push_back(static_cast<char>(b));
        break;
    }
}

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

void AppendTextString(std::string& out, std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    bool single = true;
    for (char16_t c : text) {
        const auto b = PdfDocByte(c);
        if (!b) {
            single = false;
            break;
        }
        bytes.push_back(static_cast<char>(*b));
    }
    out.push_back('(');
    if (single) {
        for (char b : bytes) AppendByte(out, static_cast<uint8_t>(b));
    } else {
        AppendByte(out, 0xFE);
        AppendByte(out, 0xFF);
        for (std::size_t i = 0; i < text.size(); ++i) {
            char16_t c = text[i];
            // A surrogate without its partner is no character: it becomes the replacement character.
            if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
                AppendByte(out, static_cast<uint8_t>(c >> 8));
                AppendByte(out, static_cast<uint8_t>(c));
                c = text[++i];
            } else if (IsHigh(c) || IsLow(c)) {
                c = 0xFFFD;
            }
            AppendByte(out, static_cast<uint8_t>(c >> 8));
            AppendByte(out, static_cast<uint8_t>(c));
        }
    }
    out.push_back(')');
}

} // namespace pagelith
