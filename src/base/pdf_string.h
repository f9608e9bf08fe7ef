// Literal strings: "(", ")" and "\" get a backslash and CR becomes "\r" (a reader would turn a bare
// CR into LF); every other byte stays.
#pragma once

#include <string>
#include <string_view>

namespace pagelith {

inline void AppendEscaped(std::string& out, std::string_view text) {
    // Copies the runs between special bytes whole; most text has none.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
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
    out.append(text.data() + run, text.size() - run);
}

} // namespace pagelith
