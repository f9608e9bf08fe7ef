// A picture's transparency kept beside it, as the gray image that masks it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "images/image_res.h"
#include "images/readers/working_bitmap.h"

namespace pagelith {

// The per-pixel mask (0 transparent, 255 opaque) of an indexed picture whose transparency is given
// per index: alpha[i] for index i, opaque past alpha's end.
std::vector<uint8_t> IndexAlphaMask(const TBMPImage& bitmap, std::span<const uint8_t> alpha);

// Sets image's SoftMask and SoftMaskBits from mask (width × height bytes, row 0 at the top): 1 bit
// when it holds only 0 and 255, else 8; Flate either way. A mask that is opaque throughout is left out.
void PrepareSoftMask(std::span<const uint8_t> mask, uint32_t width, uint32_t height, TPDFImageRes& image,
                     const std::shared_ptr<TByteSpool>& spool);

} // namespace pagelith
