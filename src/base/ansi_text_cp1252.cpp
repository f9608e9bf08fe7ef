// Windows-1252 conversion, used wherever the platform offers no code page of its own.
#include "base/ansi_text.h"

#include <cstdint>

#include "base/win_ansi_encoding.h"

namespace pagelith {

namespace {
char ToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kWinAnsiHighControls.size(); ++i)
        if (kWinAnsiHighControls[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}
} // namespace

std::string WideToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool highSurrogate = c >= 0xD800 && c <= 0xDBFF;
        if (highSurrogate && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
        out.push_back((c >= 0xD800 && c <= 0xDFFF) ? '?' : ToCp1252(c));
    }
    return out;
}

} // namespace pagelith
