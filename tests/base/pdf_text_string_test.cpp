#include <gtest/gtest.h>

#include <string>

#include "base/pdf_string.h"
#include "base/pdf_text_string.h"

namespace pagelith {
namespace {

std::string Encoded(std::u16string_view text) {
    std::string out;
    AppendTextString(out, text);
    return out;
}

// What each string becomes between its parentheses.
TEST(PdfTextString, ByteForm) {
    const struct {
        const char16_t* text;
        std::string bytes;
    } cases[] = {
        {u"", "()"},
        {u"Plain", "(Plain)"},
        {u"a(b)c\\d", "(a\\(b\\)c\\\\d)"},
        {u"line\rnext\nlast", "(line\\rnext\\nlast)"},
        {u"caf\u00e9 \u00ff", "(caf\xe9 \xff)"},
        // the typographic characters have codes of their own, unlike in Windows-1252
        {u"\u20ac\u2013\u2014\u201c\u201d\u2018\u2019\u2022\u2026", "(\xa0\x85\x84\x8d\x8e\x8f\x90\x80\x83)"},
        {u"\u02d8\u02dc\ufb01\u017e", "(\x18\x1f\x93\x9e)"},
        // no PDFDocEncoding code: the whole string in UTF-16BE with its byte order mark
        {u"\u00ad", std::string("(\xfe\xff\x00\xad)", 6)},
        {u"a\u03a9", std::string("(\xfe\xff\x00"
                                 "a\x03\xa9)",
                                 8)},
        {u"\u4e2d(", std::string("(\xfe\xff\x4e\x2d\x00\\()", 9)},
        // code units whose bytes are delimiters or line ends are escaped byte by byte
        {u"\u0128\u015c\u010d\u010a", std::string("(\xfe\xff\x01\\(\x01\\\\\x01\\r\x01\\n)", 16)},
        {u"\U0001F600", std::string("(\xfe\xff\xd8\x3d\xde\x00)", 8)},
        // a surrogate without its partner is no character
        {u"x\xd800", std::string("(\xfe\xff\x00x\xff\xfd)", 8)},
    };
    for (const auto& c : cases) EXPECT_EQ(Encoded(c.text), c.bytes) << Encoded(c.text);
}

// Every byte of the UTF-16 form reads back through the escapes: a table-wide round trip of the
// code units 0x0000..0xFFFF, decoded here the way a reader parses a literal string.
TEST(PdfTextString, EveryCodeUnitSurvivesTheEscapes) {
    std::u16string all;
    for (char32_t c = 1; c <= 0xFFFF; ++c)
        if (c < 0xD800 || c > 0xDFFF) all.push_back(static_cast<char16_t>(c));
    const std::string literal = Encoded(all);
    ASSERT_EQ(literal.front(), '(');
    ASSERT_EQ(literal.back(), ')');
    std::string bytes;
    for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
        char c = literal[i];
        ASSERT_NE(c, '\r');
        ASSERT_NE(c, '\n');
        if (c == '\\') {
            c = literal[++i];
            c = c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        } else {
            ASSERT_TRUE(c != '(' && c != ')') << "unescaped delimiter at " << i;
        }
        bytes.push_back(c);
    }
    ASSERT_EQ(bytes.size(), 2 + all.size() * 2);
    EXPECT_EQ(bytes.substr(0, 2), "\xfe\xff");
    for (std::size_t k = 0; k < all.size(); ++k) {
        const auto unit = static_cast<char16_t>((static_cast<uint8_t>(bytes[2 + 2 * k]) << 8) |
                                                static_cast<uint8_t>(bytes[3 + 2 * k]));
        ASSERT_EQ(unit, all[k]) << k;
    }
}

// Literal strings: each special byte at every place of an eight-byte word and in the tail after the
// last word; the oracle escapes byte by byte.
TEST(PdfString, EscapesEachSpecialByteWherever) {
    for (const char special : {'\r', '(', ')', '\\', 'x'})
        for (std::size_t length : {1, 7, 8, 9, 23, 64})
            for (std::size_t at = 0; at < length; ++at) {
                std::string text(length, 'a'), expected, out = "<";
                text[at] = text[length - 1 - at / 2] = special; // two, or one on top of the other
                for (const char c : text)
                    expected += c == '\r'
                                    ? "\\r"
                                    : (c == '(' || c == ')' || c == '\\' ? "\\" : "") + std::string(1, c);
                AppendEscaped(out, text);
                EXPECT_EQ(out, "<" + expected) << int(special) << " at " << at << " of " << length;
            }
}

} // namespace
} // namespace pagelith
