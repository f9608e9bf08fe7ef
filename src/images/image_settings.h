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
};

} // namespace pagelith
