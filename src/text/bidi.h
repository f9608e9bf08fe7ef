// The Unicode Bidirectional Algorithm, by FriBidi: embedding levels of a paragraph, and the order in
// which a line's runs are shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

// A paragraph's direction: from its first strong character, or as given.
enum class TTextDirection : uint8_t { Auto = 0, LeftToRight = 1, RightToLeft = 2 };

// Fills levels with one embedding level per character (even left to right, odd right to left) and
// returns the paragraph's level, 0 or 1.
uint8_t ResolveLevels(std::span<const char32_t> text, TTextDirection direction, std::vector<uint8_t>& levels);

// Rule L2: the runs of one line, by level, in the order they are shown from the left; order[i] is
// the run shown i-th.
void VisualOrder(std::span<const uint8_t> runLevels, std::vector<std::size_t>& order);

} // namespace pagelith
