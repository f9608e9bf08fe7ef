// PCX reader: version 5 files, with the 256-colour palette at the end.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

class TPCXImage final : public TImageReader {
public:
    TPCXImage() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

private:
    std::vector<uint8_t> file_;
    uint8_t bitsPerPixel_ = 0;
    uint8_t planes_ = 0;
    uint16_t bytesPerLine_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint16_t hDpi_ = 0;
    uint16_t vDpi_ = 0;
    std::array<TRGB, 16> headerPalette_{};
};

} // namespace pagelith
