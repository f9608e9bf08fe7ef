// libFuzzer entry point for the TrueType subsetter. The first byte picks the mode:
//   even: a glyph count n and n 16-bit glyph IDs, then a whole font to cut down;
//   odd:  16-bit glyph IDs applied to DejaVu Sans (skipped where it is not installed).
// Whatever the font, the result is empty or a font that gives itself again when cut down the same way;
// DejaVu Sans always gives a font the layout can read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "fonts/sfnt_view.h"
#include "fonts/ticfont.h"
#include "fonts/truetype_subset.h"

namespace {

// 'A'... on glyphs 1..., whatever the font maps: the subset writes the map it is given.
std::vector<uint8_t> Subset(std::span<const uint8_t> font, std::span<const uint16_t> glyphs) {
    const auto view = pagelith::TSfntView::Face(font, 0);
    if (!view) return {};
    std::vector<pagelith::TCmapEntry> cmap;
    for (uint16_t g : glyphs) cmap.push_back({static_cast<char32_t>('A' + cmap.size() % 26), g});
    return pagelith::SubsetTrueType(*view, glyphs, cmap, false);
}

const std::vector<uint8_t>& RealFont() {
    static const std::vector<uint8_t> font = [] {
        std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    return font;
}

std::vector<uint16_t> GlyphIds(std::span<const uint8_t> bytes) {
    std::vector<uint16_t> glyphs;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        glyphs.push_back(static_cast<uint16_t>((bytes[i] << 8) | bytes[i + 1]));
    return glyphs;
}

// Subsetting the subset again gives the same bytes, and the reader used for layout accepts it.
void Check(std::span<const uint8_t> font, std::span<const uint16_t> glyphs) {
    const std::vector<uint8_t> subset = Subset(font, glyphs);
    if (subset.empty()) return;
    if (subset.size() > 128 * font.size() + (1u << 20)) std::abort();
    if (Subset(subset, glyphs) != subset) std::abort();
    pagelith::TicFont reloaded;
    (void)reloaded.LoadFromBytes(subset);
}

// The real font is cut down correctly elsewhere; here it must only stay readable, whatever the IDs.
void CheckRealFont(std::span<const uint16_t> glyphs) {
    const std::vector<uint8_t> subset = Subset(RealFont(), glyphs);
    pagelith::TicFont reloaded;
    if (!reloaded.LoadFromBytes(subset) || subset.size() > RealFont().size()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::span<const uint8_t> input(data, size);
    if (input.empty()) return 0;
    if (input[0] & 1) {
        if (RealFont().empty()) return 0;
        // Beyond a few hundred glyphs the run only gets slower.
        const auto glyphs = GlyphIds(input.subspan(1, std::min<std::size_t>(input.size() - 1, 1024)));
        CheckRealFont(glyphs);
        return 0;
    }
    if (input.size() < 2) return 0;
    const std::size_t count = std::min<std::size_t>(input[1], (input.size() - 2) / 2);
    const auto glyphs = GlyphIds(input.subspan(2, 2 * count));
    Check(input.subspan(2 + 2 * count), glyphs);
    return 0;
}
