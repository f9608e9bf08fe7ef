// JPEG coding of a working bitmap through libjpeg (quality 90, baseline tables, float DCT).
#pragma once

#include <string>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// A complete JPEG file, SOI to EOI: three components, or one gray component of
// (red + green + blue) div 3 when gray; density in dots per inch from the bitmap.
std::string EncodeJPEG(const TBMPImage& bitmap, bool gray);

} // namespace pagelith
