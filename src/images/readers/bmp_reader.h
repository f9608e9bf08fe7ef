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
    void AssignTo(TBMPImage& bitmap) override;

private:
    // The reader's own state.
};

} // namespace pagelith
