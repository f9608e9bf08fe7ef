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
    // The reader's own state.
};

} // namespace pagelith
