// Literal strings: "(", ")" and "\" get a backslash, every other byte stays.
#pragma once

#include <string>
#include <string_view>

namespace pagelith {

inline void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '(' || c == ')' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
}

} // namespace pagelith
