// Flattens transparency against one colour, so that a picture with transparency can be written
// without it.
#pragma once

#include <cstdint>
#include <span>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// mask: maskWidth × maskHeight bytes, row 0 at the top, 0 transparent, 255 opaque. color is
// 0x00BBGGRR. A gray 8-bit picture (index = level) against a gray colour stays as it is; any other
// picture is brought to 24-bit first. Does nothing when the mask's size is not the picture's.
void MergeAlpha(TBMPImage& bitmap, std::span<const uint8_t> mask, int32_t maskWidth, int32_t maskHeight,
                uint32_t color);

// Transparency given per palette index (alpha[i] for entry i; entries past its end are opaque):
// each entry is blended with color, which for such pictures is exactly the per-pixel blend.
void MergePaletteAlpha(TBMPImage& bitmap, std::span<const uint8_t> alpha, uint32_t color);

} // namespace pagelith
