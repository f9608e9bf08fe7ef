// Literal strings: "(", ")" and "\" get a backslash and CR becomes "\r" (a reader would turn a bare
// CR into LF); every other byte stays.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace pagelith {

// Whether any of eight bytes is one that a literal string escapes: a byte equal to c leaves a zero
// byte in w ^ c, which the borrow of subtracting one from each byte finds.
inline bool AnyEscaped(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
    const auto zero = [](uint64_t x) { return (x - kOnes) & ~x & kHighs; };
    return (zero(w ^ kOnes * '\r') | zero(w ^ kOnes * '(') | zero(w ^ kOnes * ')') |
            zero(w ^ kOnes * '\\')) != 0;
}

inline void AppendEscaped(std::string& out, std::string_view text) {
    // Copies the runs between special bytes whole; most text has none, and is passed over eight
    // bytes at a time.
    const std::size_t n = text.size();
    std::size_t run = 0;
    for (std::size_t i = 0; i < n;) {
        if (n - i >= 8) {
            uint64_t w;
            std::memcpy(&w, text.data() + i, 8);
            if (!AnyEscaped(w)) {
                i += 8;
                continue;
            }
        }
        for (const std::size_t end = i + 8 < n ? i + 8 : n; i < end; ++i) {
            const char c = text[i];
            if (c == '\r') {
                out.append(text.data() + run, i - run);
                out.append("\\r");
                run = i + 1;
            } else if (c == '(' || c == ')' || c == '\\') {
                out.append(text.data() + run, i - run);
                out.push_back('\\');
                run = i;
            }
        }
    }
    out.append(text.data() + run, n - run);
}

} // namespace pagelith
