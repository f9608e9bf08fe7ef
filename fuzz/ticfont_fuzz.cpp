// libFuzzer entry point for the TrueType reader: any bytes must load or be
// refused without reading outside them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fonts/ticfont.h"
#include "text/char_widths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pagelith::TicFont font;
    if (font.LoadFromBytes(std::span<const uint8_t>(data, size))) {
        for (uint32_t c = 0; c < 256; ++c) font.GlyphOf(c);
        font.SetCharOffset(static_cast<int16_t>(0xF000));
        (void)pagelith::TCharWidths(font, false).Width("The quick brown fox");
        // Characters across the planes, including ones the cmap's groups end on.
        for (char32_t c :
             {U'A', U'\u00E9', U'\u20AC', U'\uFFFF', U'\U00010000', U'\U0001D538', U'\U0010FFFF'})
            (void)font.UnicodeMetric(c);
        for (uint32_t c = 0; c < 0x110000; c += 0x1111) (void)font.GlyphOfUnicode(c);
        (void)font.Ascent();
        (void)font.YMax();
    }
    return 0;
}
