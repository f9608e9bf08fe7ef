// Flattening of a per-pixel alpha mask against one colour.
#pragma once

#include <cstdint>
#include <span>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// Blends a 24-bit or gray 8-bit bitmap with color (0x00BBGGRR) where the mask (maskW × maskH
// bytes, 0 transparent, 255 opaque) is not opaque; does nothing when the sizes differ.
void MergeAlpha(TBMPImage& bitmap, std::span<const uint8_t> mask, int32_t maskW, int32_t maskH,
                uint32_t color);

} // namespace pagelith
