// The LZW variant of TIFF strips (compression 5): codes of 9 to 12 bits, most significant bit
// first, the width growing one code early.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace pagelith {

// Decodes one strip into out, which must come out exactly full. Returns false for corrupt data:
// an unknown code, more output than out holds, less output, or input left over after the end code.
bool DecodeTIFFLZW(std::span<const uint8_t> data, std::span<uint8_t> out);

// The number of bytes a strip decodes to, without storing them; nothing for corrupt data.
std::optional<uint64_t> TIFFLZWLength(std::span<const uint8_t> data);

// The most bytes any LZW strip of dataSize bytes can decode to.
uint64_t MaxTIFFLZWOutput(uint64_t dataSize);

} // namespace pagelith
