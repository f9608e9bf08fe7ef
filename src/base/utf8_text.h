// UTF-8, the form in which text that keeps every character is stored between the caller and the
// writer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagelith {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// A surrogate without its partner becomes U+FFFD.
std::string WideToUtf8(std::u16string_view text);

// The code point at i, moving i past it; a malformed or cut sequence gives U+FFFD for one byte.
// DecodeMultiByte is the part for a lead byte of 0x80 or more.
char32_t DecodeMultiByte(std::string_view text, std::size_t& i);
inline char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    return DecodeMultiByte(text, i);
}

} // namespace pagelith
