// Data for the tests of where picture data waits for the save: plain bytes and a JPEG that a
// document passes through, both of a chosen size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "images/jpeg_encoder.h"
#include "images/readers/working_bitmap.h"

namespace pagelith::testing {

// n bytes that differ between seeds and do not repeat within a 64 KB piece.
inline std::string PatternBytes(std::size_t n, unsigned seed = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return s;
}

// A baseline JPEG of noise: side x side pixels make about side * side bytes.
inline std::vector<uint8_t> NoiseJpeg(int32_t side) {
    TBMPImage noise;
    noise.SetSize(TPixelFormat::Rgb24, side, side);
    uint32_t seed = 11;
    for (uint8_t& b : noise.Pixels()) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    const std::string jpeg = EncodeJPEG(noise, false);
    return {jpeg.begin(), jpeg.end()};
}

} // namespace pagelith::testing
