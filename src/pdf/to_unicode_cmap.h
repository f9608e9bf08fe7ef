// The /ToUnicode CMap of a composite font: two-byte glyph codes back to the characters they show.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace pagelith {

// glyphChars: (glyph, character) pairs in glyph order; glyph 0 stands for missing characters and
// maps to nothing.
std::string ToUnicodeCMap(std::span<const std::pair<uint16_t, std::u32string_view>> glyphChars);

} // namespace pagelith
