// The rows of a PNG's image data, inflated, unfiltered and converted into the working bitmap.
#pragma once

#include <cstdint>
#include <span>

#include "images/readers/png_inflater.h"
#include "images/readers/png_pixels.h"
#include "images/readers/working_bitmap.h"

namespace pagelith {

struct TPngLayout {
    TPngPixelKind Kind = TPngPixelKind::Gray1;
    uint32_t Width = 0, Height = 0;
    bool Interlaced = false;
    TPngColorKey Key;
};

uint64_t PngRowBytes(uint64_t width, uint32_t bitsPerPixel);
// The inflated size of the whole picture: each row of each pass is a filter byte and its pixels.
uint64_t PngFilteredSize(const TPngLayout& layout);

// The one buffer DecodePngInPlace needs.
uint64_t PngInPlaceBytes(const TPngLayout& layout);

// Rows that the data does not hold completely, and every row from a filter type above 4 on, are
// zero. mask is empty or Width × Height bytes.

// A picture without interlace, in one buffer: the file's rows are inflated into its end, and each is
// converted to its working row once the row below has been unfiltered against it. The working rows
// never overtake the file rows, so the buffer becomes the picture's. Returns false, having changed
// nothing, when that buffer cannot be had.
bool DecodePngInPlace(const TPngLayout& layout, TPngInflater& inflater, TBMPImage& picture,
                      std::span<uint8_t> mask);

// Any picture, a batch of rows at a time into picture, which must be sized and zeroed already.
void DecodePngBatched(const TPngLayout& layout, TPngInflater& inflater, TBMPImage& picture,
                      std::span<uint8_t> mask);

} // namespace pagelith
