// Wireless bitmap reader: type 0.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

class TWBMPImage final : public TImageReader {
public:
    TWBMPImage() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint8_t> rows_; // ceil(width / 8) bytes per row, as in the file
};

} // namespace pagelith
