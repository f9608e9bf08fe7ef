// Where a line may break, by the Unicode line breaking algorithm (UAX #14).
#pragma once

#include <string_view>
#include <vector>

namespace pagelith {

enum class TBreak : char { Mandatory = 0, Allowed = 1, None = 2, InsideCharacter = 3 };

// One value per byte of UTF-8 text: whether a line may break after the character that ends there.
// The last character always ends with Mandatory.
void LineBreaks(std::string_view utf8, std::vector<TBreak>& breaks);

} // namespace pagelith
