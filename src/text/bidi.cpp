#include "text/bidi.h"

#include <fribidi.h>

#include <algorithm>

namespace pagelith {

namespace {

// Whether a character can make a paragraph run right to left: strong right-to-left letters, Arabic
// digits and the controls that open right-to-left text. Text without any has only even levels.
bool MayTurnRight(char32_t c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) ||
           (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF) || c == 0x200F || c == 0x202B ||
           c == 0x202E || c == 0x2067 || c == 0x2068 || c == 0x061C;
}

} // namespace

uint8_t ResolveLevels(std::span<const char32_t> text, TTextDirection direction,
                      std::vector<uint8_t>& levels) {
    const uint8_t given = direction == TTextDirection::RightToLeft ? 1 : 0;
    levels.assign(text.size(), given);
    if (direction != TTextDirection::RightToLeft && std::none_of(text.begin(), text.end(), MayTurnRight))
        return 0;
    const auto n = static_cast<FriBidiStrIndex>(text.size());
    std::vector<FriBidiCharType> types(text.size());
    std::vector<FriBidiBracketType> brackets(text.size());
    std::vector<FriBidiLevel> resolved(text.size());
    static_assert(sizeof(FriBidiChar) == sizeof(char32_t));
    const auto* chars = reinterpret_cast<const FriBidiChar*>(text.data());
    fribidi_get_bidi_types(chars, n, types.data());
    fribidi_get_bracket_types(chars, n, types.data(), brackets.data());
    FriBidiParType base = direction == TTextDirection::Auto ? FRIBIDI_PAR_ON
                          : given                           ? FRIBIDI_PAR_RTL
                                                            : FRIBIDI_PAR_LTR;
    // 0 is failure (out of memory): the text keeps the paragraph's level.
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &base, resolved.data()) == 0)
        return given;
    for (std::size_t i = 0; i < text.size(); ++i) levels[i] = static_cast<uint8_t>(resolved[i]);
    return FRIBIDI_IS_RTL(base) ? 1 : 0;
}

void VisualOrder(std::span<const uint8_t> runLevels, std::vector<std::size_t>& order) {
    order.resize(runLevels.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (runLevels.empty()) return;
    // From the highest level down to 1, every stretch at that level or above turns round; the turns
    // below the lowest odd level cancel out.
    const uint8_t highest = *std::max_element(runLevels.begin(), runLevels.end());
    for (int level = highest; level > 0; --level) {
        for (std::size_t i = 0; i < order.size();) {
            if (runLevels[order[i]] < level) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < order.size() && runLevels[order[end]] >= level) ++end;
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i),
                         order.begin() + static_cast<std::ptrdiff_t>(end));
            i = end;
        }
    }
}

} // namespace pagelith
