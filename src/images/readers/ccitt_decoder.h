// Decoders for CCITT fax data as TIFF stores it (compressions 2, 3 and 4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pagelith {

enum class TCCITTCoding : uint8_t {
    ModifiedHuffman, // TIFF compression 2: one-dimensional rows, each byte-aligned
    T4,              // TIFF compression 3: T.4 one-dimensional, optional EOLs
    T4TwoD,          // T4Options bit 0: each row an EOL, then a tag bit, 0 for a two-dimensional row
    T6,              // TIFF compression 4: T.6 two-dimensional, no EOLs
};

// Decodes height rows of width pixels into dst, one row every stride bytes, most significant
// bit first, bit 1 for white and 0 for black (the layout EncodeGroup4 reads). Data is read
// most significant bit first (a caller with FillOrder 2 reverses the bits beforehand).
// Malformed data fails with EInvalidGraphic after making the failing row and every row after
// it white, so a caller may keep what was decoded. Modified Huffman data must be used up
// exactly; T.4 and T.6 data may run on after the last row, and T.6 may also end inside its
// last codes when every row is complete. Bits past the width in each row's last byte are 0.
// Never writes outside the rows' (width + 7) / 8 bytes; a dst or stride too small for them
// throws std::invalid_argument.
// The fewest bits that can code height rows of width pixels. A two-dimensional row may copy the
// row above in a bit or two, whatever its width; one-dimensional rows need their runs' codes.
uint64_t MinCCITTBits(TCCITTCoding coding, uint64_t width, uint64_t height);

void DecodeCCITT(TCCITTCoding coding, std::span<const uint8_t> data, int32_t width, int32_t height,
                 std::span<uint8_t> dst, std::size_t stride);

} // namespace pagelith
