// libFuzzer entry point for the TrueType reader: any bytes must load or be
// refused without reading outside them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fonts/ticfont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pagelith::TicFont font;
    if (font.LoadFromBytes(std::span<const uint8_t>(data, size))) {
        for (uint32_t c = 0; c < 256; ++c) font.GlyphOf(c);
        font.SetCharOffset(static_cast<int16_t>(0xF000));
        (void)font.StringWidth("The quick brown fox");
        (void)font.Ascent();
        (void)font.YMax();
    }
    return 0;
}
