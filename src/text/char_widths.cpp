#include "text/char_widths.h"

#include "fonts/standard_fonts.h"

namespace pagelith {

TFontChain::TFontChain(const TObjList<TPDFFontRes>& fonts, int32_t number,
                       const std::vector<int32_t>* fallbacks) {
    const auto add = [&](int32_t n) {
        const TPDFFontRes* font =
            IsStandardFont(n) ? nullptr : fonts.Item(static_cast<uint32_t>(n - kStandardFontCount));
        if (font) fonts_.push_back({n, &font->Font});
        return font != nullptr;
    };
    if (!add(number) || !fallbacks) return;
    for (int32_t n : *fallbacks)
        if (n != number) add(n);
}

} // namespace pagelith
