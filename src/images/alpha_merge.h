// Flattens a per-pixel alpha mask against one colour, so that a picture with transparency can be
// written without it.
#pragma once

#include <cstdint>
#include <span>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// mask: maskWidth × maskHeight bytes, row 0 at the top, 0 transparent, 255 opaque. color is
// 0x00BBGGRR. Works on 24-bit pictures and on 8-bit pictures with an all-gray palette when color is
// gray; does nothing otherwise, or when the mask's size is not the picture's.
void MergeAlpha(TBMPImage& bitmap, std::span<const uint8_t> mask, int32_t maskWidth, int32_t maskHeight,
                uint32_t color);

} // namespace pagelith
