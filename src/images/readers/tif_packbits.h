// PackBits run-length data of TIFF strips (compression 32773).
#pragma once

#include <cstdint>
#include <span>

namespace pagelith {

// Decodes one strip into out. Returns false unless the whole input decodes to exactly out's size.
bool DecodePackBits(std::span<const uint8_t> data, std::span<uint8_t> out);

// The most bytes a PackBits strip of dataSize bytes can decode to.
inline uint64_t MaxPackBitsOutput(uint64_t dataSize) {
    return dataSize * 64 + 128;
}

} // namespace pagelith
