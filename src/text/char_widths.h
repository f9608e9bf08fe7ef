// How layout measures code-page text, byte by byte through a table of 256 widths, and the chain of
// fonts that Unicode text picks its glyphs from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/obj_list.h"
#include "fonts/font_res.h"
#include "fonts/ticfont.h"

namespace pagelith {

// The fonts a Unicode line is drawn in: its own font first, then its fallbacks, each taking the
// characters that the fonts before it lack.
class TFontChain {
public:
    struct TPick {
        std::size_t Font = 0; // position in the chain
        TicFont::TGlyphMetric Metric;
    };

    TFontChain() = default;
    explicit TFontChain(const TicFont& font, int32_t number = 0) : fonts_{{number, &font}} {}
    // The line's font and those fallbacks that are loaded TrueType fonts; empty when the font is not.
    TFontChain(const TObjList<TPDFFontRes>& fonts, int32_t number, const std::vector<int32_t>* fallbacks);

    std::size_t size() const { return fonts_.size(); }
    int32_t Number(std::size_t k) const { return fonts_[k].Number; }
    const TicFont& Font(std::size_t k) const { return *fonts_[k].Font; }

    // The first font that has c; glyph 0 of the line's own font when none has it. Not for an empty chain.
    TPick Pick(char32_t c) const {
        const TicFont::TGlyphMetric own = fonts_[0].Font->UnicodeMetric(c);
        if (own.Glyph != 0 || fonts_.size() == 1) return {0, own};
        for (std::size_t k = 1; k < fonts_.size(); ++k) {
            const TicFont::TGlyphMetric m = fonts_[k].Font->UnicodeMetric(c);
            if (m.Glyph != 0) return {k, m};
        }
        return {0, own};
    }

private:
    struct TLink {
        int32_t Number;
        const TicFont* Font;
    };
    std::vector<TLink> fonts_;
};

class TCharWidths {
public:
    explicit TCharWidths(const std::array<uint16_t, 256>& widths) : bytes_(&widths) {}
    explicit TCharWidths(const TicFont& font) : bytes_(&font.Widths()) {}

    // Width of the character at i in thousandths of an em, moving i past it.
    uint32_t Next(std::string_view text, std::size_t& i) const {
        return (*bytes_)[static_cast<uint8_t>(text[i++])];
    }

    uint64_t Width(std::string_view text) const {
        uint64_t sum = 0;
        for (char c : text) sum += (*bytes_)[static_cast<uint8_t>(c)];
        return sum;
    }

private:
    const std::array<uint16_t, 256>* bytes_ = nullptr;
};

} // namespace pagelith
