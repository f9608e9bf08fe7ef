// How layout measures a line: byte by byte in the code page through the font's 256 widths, or
// character by character in UTF-8 through its Unicode cmap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/utf8_text.h"
#include "fonts/ticfont.h"

namespace pagelith {

class TCharWidths {
public:
    // Code-page text measured with a table of its own.
    explicit TCharWidths(const std::array<uint16_t, 256>& widths) : bytes_(&widths) {}
    TCharWidths(const TicFont& font, bool unicode)
        : bytes_(&font.Widths()), font_(&font), unicode_(unicode) {}

    // Width of the character at i in thousandths of an em, moving i past it.
    uint32_t Next(std::string_view text, std::size_t& i) const {
        if (!unicode_) return (*bytes_)[static_cast<uint8_t>(text[i++])];
        return font_->UnicodeMetric(NextCodePoint(text, i)).Width;
    }

    uint64_t Width(std::string_view text) const {
        uint64_t sum = 0;
        if (!unicode_) {
            for (char c : text) sum += (*bytes_)[static_cast<uint8_t>(c)];
            return sum;
        }
        for (std::size_t i = 0; i < text.size();) sum += font_->UnicodeMetric(NextCodePoint(text, i)).Width;
        return sum;
    }

private:
    const std::array<uint16_t, 256>* bytes_;
    const TicFont* font_ = nullptr;
    bool unicode_ = false;
};

} // namespace pagelith
