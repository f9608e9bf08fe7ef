// PCX reader: version 5 files, with the 256-colour palette at the end.
#pragma once

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
    // The reader's own state.
};

} // namespace pagelith
