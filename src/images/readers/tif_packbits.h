// PackBits run-length data of TIFF strips (compression 32773) and PSD rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace pagelith {

// Decodes one strip into out. Returns false unless the whole input decodes to exactly out's size.
bool DecodePackBits(std::span<const uint8_t> data, std::span<uint8_t> out);

// The number of bytes data decodes to, found from its headers alone; nothing when it is cut short.
std::optional<uint64_t> PackBitsLength(std::span<const uint8_t> data);

// The most bytes a PackBits strip of dataSize bytes can decode to: 128 from every two.
inline uint64_t MaxPackBitsOutput(uint64_t dataSize) {
    return dataSize * 64;
}

} // namespace pagelith
