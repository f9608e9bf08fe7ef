// Encoding of a working bitmap into an image resource, by the picture's class and the
// document's compression codes.
#pragma once

#include "images/image_res.h"
#include "images/image_settings.h"
#include "images/readers/working_bitmap.h"

namespace pagelith {

inline constexpr const char* kEmptyImage = "Image has no rows or columns";

// Fills the encoding fields of image (Width, Height and resolution are the caller's). May bring
// bitmap to 24-bit; Flate frees it (left empty). An empty bitmap fails with EPDFError kEmptyImage and
// leaves image unchanged.
void PrepareImage(const TImageSettings& settings, TBMPImage& bitmap, TPDFImageRes& image);

// Pixels per metre to dots per inch, rounded; unknown (0) and negative values give 0.
uint32_t DotsPerInch(int32_t pixelsPerMetre);

} // namespace pagelith
