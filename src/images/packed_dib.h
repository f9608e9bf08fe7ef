// Packed device-independent bitmaps as a client hands them over in global memory.
#pragma once

#include <cstdint>
#include <span>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// Builds the working bitmap from a 40-byte header, the colour table (2, 16 or 256 entries at
// byte 40) and the rows, bottom-up (top-down when the height is negative). Fails with
// EInvalidGraphic when the memory is shorter than the header says, the bit count is not 1, 4, 8
// or 24, or the picture is empty, too large or has more than maxPixels pixels (0: no limit).
void LoadPackedDIB(std::span<const uint8_t> dib, uint64_t maxPixels, TBMPImage& bitmap);

} // namespace pagelith
