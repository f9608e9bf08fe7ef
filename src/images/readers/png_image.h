// PNG reader: the whole file on load, decoded on assignment, with an optional alpha mask.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

class TtsPNGImage final : public TImageReader {
public:
    TtsPNGImage() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

    // After assignment: a per-pixel mask (width × height bytes, row 0 at the top, no padding,
    // 0 transparent, 255 opaque) when the picture carries a full alpha channel; else empty.
    const std::vector<uint8_t>& AlphaMask() const { return alphaMask_; }
    int32_t MaskWidth() const { return maskWidth_; }
    int32_t MaskHeight() const { return maskHeight_; }

private:
    std::vector<uint8_t> alphaMask_;
    int32_t maskWidth_ = 0;
    int32_t maskHeight_ = 0;
    // The reader adds its own private state below.
};

} // namespace pagelith
