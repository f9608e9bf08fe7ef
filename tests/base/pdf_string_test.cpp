#include <gtest/gtest.h>

#include <string>

#include "base/pdf_string.h"

namespace pagelith {
namespace {

// Each special byte at every place of an eight-byte word and in the tail after the last word; the
// oracle escapes byte by byte.
TEST(PdfString, EscapesEachSpecialByteWherever) {
    const auto oracle = [](std::string_view text) {
        std::string out;
        for (const char c : text) {
            if (c == '\r')
                out += "\\r";
            else if (c == '(' || c == ')' || c == '\\')
                out += {'\\', c};
            else
                out += c;
        }
        return out;
    };
    for (const char special : {'\r', '(', ')', '\\', 'x'})
        for (std::size_t length : {0, 1, 7, 8, 9, 23, 64})
            for (std::size_t at = 0; at < length; ++at) {
                std::string text(length, 'a');
                text[at] = special;
                text[length - 1 - at / 2] = special; // two, or one on top of the other
                std::string out = "<";
                AppendEscaped(out, text);
                EXPECT_EQ(out, "<" + oracle(text)) << int(special) << " at " << at << " of " << length;
            }
}

} // namespace
} // namespace pagelith
