// TIFF reader: one chosen picture of a (possibly multi-picture) file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

class TTIFImage final : public TImageReader {
public:
    TTIFImage() = default;

    // Which picture to read, 1-based; set before loading.
    int32_t PictureNumber = 1;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    uint32_t XResolution() const { return xResolution_; } // dots per inch, 0 = none
    uint32_t YResolution() const { return yResolution_; }
    uint16_t Compression() const { return compression_; }
    uint16_t Photometric() const { return photometric_; }
    uint16_t FillOrder() const { return fillOrder_; }
    uint32_t StripCount() const { return static_cast<uint32_t>(stripSizes_.size()); }
    // The picture's strip bytes, strips in order (for pass-through of a single strip).
    std::span<const uint8_t> StripData() const;

    // Number of pictures (IFDs) in a whole TIFF file; a looping chain ends the count.
    static uint32_t CountPictures(std::span<const uint8_t> file);

private:
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t xResolution_ = 0;
    uint32_t yResolution_ = 0;
    uint16_t compression_ = 1;
    uint16_t photometric_ = 0;
    uint16_t fillOrder_ = 1;
    std::vector<uint8_t> stripData_;
    std::vector<uint32_t> stripSizes_;
    // The reader adds its own private state below.
};

} // namespace pagelith
