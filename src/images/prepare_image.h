// Encoding of a working bitmap into an image resource, by the picture's class and the
// document's compression codes.
#pragma once

#include <span>

#include "images/image_res.h"
#include "images/image_settings.h"
#include "images/readers/working_bitmap.h"

namespace pagelith {

inline constexpr const char* kEmptyImage = "Image has no rows or columns";

// Fills the encoding fields of image (Width, Height and resolution are the caller's). Spends bitmap:
// raw and Flate output take its storage (left empty), Group 4 may turn its bits over. An empty bitmap fails
// with EPDFError kEmptyImage and leaves image unchanged.
void PrepareImage(const TImageSettings& settings, TBMPImage& bitmap, TPDFImageRes& image);

// The encoding PrepareImage gives a picture of this format and palette under settings.
TCompression Encoding(const TImageSettings& settings, TPixelFormat format, std::span<const TRGB> palette);

// Sets image's palette for samples of bits bits: 2^bits entries of palette (black beyond its end),
// Flate-compressed when image's Filter is Flate, and Indexed.
void PutPalette(std::span<const TRGB> palette, uint32_t bits, TPDFImageRes& image);

// Pixels per metre to dots per inch, rounded; unknown (0) and negative values give 0.
uint32_t DotsPerInch(int32_t pixelsPerMetre);

} // namespace pagelith
