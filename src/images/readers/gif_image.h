// GIF reader: the first frame, drawn into a picture of the logical screen's size.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

class TGIFImage final : public TImageReader {
public:
    TGIFImage() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

private:
    // The reader's own state.
};

} // namespace pagelith
