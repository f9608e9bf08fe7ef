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
    // The reader's own state.
};

} // namespace pagelith
