// The system's ANSI code page; part of the core on Windows in place of the portable Windows-1252 table.
#include "base/ansi_text.h"

#include <limits>
#include <stdexcept>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace pagelith {

std::string WideToAnsi(std::u16string_view text) {
    // A surrogate pair is one character: it becomes one '?' like any other character the page lacks.
    std::u16string units;
    units.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            units += u'?';
            ++i;
        } else {
            units += c;
        }
    }
    if (units.empty()) return {};
    if (units.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 4))
        throw std::length_error("text too long for the code page conversion");
    const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
    const int count = static_cast<int>(units.size());
    // No best-fit mapping: a character the code page lacks is the default character, not a look-alike.
    constexpr DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(CP_ACP, flags, wide, count, nullptr, 0, "?", nullptr);
    if (size <= 0) return std::string(units.size(), '?');
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide, count, out.data(), size, "?", nullptr);
    return out;
}

} // namespace pagelith
