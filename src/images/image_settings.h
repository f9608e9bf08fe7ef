// The document's image properties that intake and preparation read.
#pragma once

#include <cstdint>

namespace pagelith {

struct TImageSettings {
    uint8_t CompressionBW = 1;
    uint8_t CompressionIndexed = 2;
    uint8_t CompressionRGB = 2;
    uint8_t CompressionGray = 2;
    bool UseSourceCompression = true;
    int32_t ImageReadNumber = 1;
    bool MergeAlpha = false;
    uint32_t MergeAlphaColor = 0xFFFFFF;
    // Pictures with more pixels are refused before any allocation; 0 leaves only the memory bound.
    uint64_t MaxImagePixels = 178956970;
    // A JPEG's EXIF or a TIFF's Orientation decides how the picture is placed.
    bool ImageOrientation = false;
    // Alpha becomes a soft mask when it is not merged.
    bool KeepAlpha = false;
};

} // namespace pagelith
