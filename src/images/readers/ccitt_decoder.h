// Decoders for CCITT fax data as TIFF stores it (compressions 2, 3 and 4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pagelith {

enum class TCCITTCoding : uint8_t {
    ModifiedHuffman, // TIFF compression 2: one-dimensional rows, each byte-aligned
    T4,              // TIFF compression 3: T.4 one-dimensional, optional EOLs
    T6,              // TIFF compression 4: T.6 two-dimensional, no EOLs
};

// Decodes height rows of width pixels into dst, one row every stride bytes, most significant
// bit first, bit 1 for white and 0 for black (the layout EncodeGroup4 reads). Data is read
// most significant bit first (a caller with FillOrder 2 reverses the bits beforehand).
// Malformed data fails with EInvalidGraphic; never writes outside dst.
void DecodeCCITT(TCCITTCoding coding, std::span<const uint8_t> data, int32_t width, int32_t height,
                 std::span<uint8_t> dst, std::size_t stride);

} // namespace pagelith
