#include "text/line_breaks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace pagelith {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
    const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(n == 1 ? c : kLead[n] | (c >> (6 * (n - 1))));
    for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}

// What LineBreaks says after each character: ! mandatory, / allowed, x none. Checks on the way that
// exactly the inner bytes of a character say InsideCharacter.
std::string After(const std::string& text) {
    std::vector<TBreak> breaks;
    LineBreaks(text, breaks);
    EXPECT_EQ(breaks.size(), text.size());
    std::string marks;
    for (std::size_t i = 0; i < breaks.size(); ++i) {
        const bool inner = i + 1 < text.size() && (text[i + 1] & 0xC0) == 0x80;
        EXPECT_EQ(breaks[i] == TBreak::InsideCharacter, inner) << text << " byte " << i;
        if (!inner) marks += "!/x?"[static_cast<int>(breaks[i])];
    }
    return marks;
}

TEST(LineBreaks, CasesTheLayoutDependsOn) {
    const struct {
        const char* text;
        const char* after;
    } cases[] = {
        {"", ""},
        {"Hello world", "xxxxx/xxxx!"},
        {"「こんにちは。」世界", "x////xx//!"},
        {"12.50 €", "xxxxx/!"},
        {"(12.50)", "xxxxxx!"},
        {"a/b", "x/!"},
        {"line\nnext\r\nlast", "xxxx!xxxxx!xxx!"},
        {"e\u0301te\u0301 \u0301", "xxxxx/!"}, // a mark after a space stands alone
    };
    for (const auto& c : cases) EXPECT_EQ(After(c.text), c.after) << c.text;
}

// Unicode's own cases, code points between marks: "× 0023 × 0020 ÷ 0023 ÷" breaks only after 0020.
TEST(LineBreaks, ConformanceTest) {
    std::ifstream in("/usr/share/unicode/auxiliary/LineBreakTest.txt");
    if (!in) GTEST_SKIP() << "no LineBreakTest.txt (Debian package unicode-data)";
    int cases = 0, passed = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string text, expected, mark, hex;
        fields >> mark; // before the first character: never a break
        while (fields >> hex >> mark) {
            AppendUtf8(text, static_cast<char32_t>(std::stoul(hex, nullptr, 16)));
            expected += mark == "÷" ? '/' : 'x';
        }
        if (text.empty()) continue;
        ++cases;
        std::string got = After(text);
        std::replace(got.begin(), got.end(), '!', '/');
        if (got == expected)
            ++passed;
        else
            ADD_FAILURE() << line << "\n    got " << got;
    }
    std::cout << "LineBreakTest.txt: " << passed << " of " << cases << " cases pass\n";
    EXPECT_GT(cases, 7000);
}

} // namespace
} // namespace pagelith
