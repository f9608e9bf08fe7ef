// Packed device-independent bitmaps as a client hands them over in global memory.
#pragma once

#include <cstdint>
#include <span>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// Builds the working bitmap from a packed bitmap: a core, info, V4 or V5 header, the masks and
// colour table it implies, and the rows as a BMP file holds them (bottom-up unless the height is
// negative; RLE4, RLE8 and bit fields included). A 1-bit picture whose first colour has red 255 gets a
// black and white palette, its bits turned over. Fails with EInvalidGraphic and a message for what
// it cannot read, and for a picture of more than maxPixels pixels (0: no limit).
void LoadPackedDIB(std::span<const uint8_t> dib, uint64_t maxPixels, TBMPImage& bitmap);

} // namespace pagelith
