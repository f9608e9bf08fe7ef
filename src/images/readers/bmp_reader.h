// Windows bitmap files, read straight into the working bitmap.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

class TBMPReader final : public TImageReader {
public:
    TBMPReader() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    // The same for a file the caller made and gives up, taken without a copy.
    void LoadFromFile(std::vector<uint8_t> file);
    void AssignTo(TBMPImage& bitmap) override;

private:
    void ReadPalette(TBMPImage& bitmap) const;
    void ReadIndexedRows(TBMPImage& bitmap) const;
    void ReadRle(TBMPImage& bitmap) const;
    void ReadTrueColourRows(TBMPImage& bitmap) const;

    std::vector<uint8_t> data_;
    int32_t width_ = 0;
    int32_t height_ = 0; // rows, always positive
    bool topDown_ = false;
    uint16_t bitCount_ = 0;
    uint32_t compression_ = 0;
    uint32_t masks_[3] = {}; // red, green, blue for 16- and 32-bit pixels
    std::size_t paletteOffset_ = 0;
    std::size_t paletteEntries_ = 0;
    std::size_t paletteEntrySize_ = 4; // 3 in files with the 12-byte core header
    std::size_t pixelOffset_ = 0;
    int32_t xPelsPerMeter_ = 0;
    int32_t yPelsPerMeter_ = 0;
};

} // namespace pagelith
