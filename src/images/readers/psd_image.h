// Photoshop reader: the merged picture of a PSD file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

class TPSDImage final : public TImageReader {
public:
    TPSDImage() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

private:
    uint16_t channels_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint16_t depth_ = 0;
    uint16_t mode_ = 0;
    uint16_t compression_ = 0;
    std::vector<uint8_t> colorData_;
    // The merged image data: raw planes, or the row length table followed by PackBits rows.
    std::vector<uint8_t> imageData_;
};

} // namespace pagelith
