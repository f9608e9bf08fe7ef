// Whether a PNG's image data can stand in a PDF as it is, decoded there by the PNG predictors.
#pragma once

#include <cstdint>
#include <span>

namespace pagelith {

// True when compressed is one complete zlib stream, with nothing after it, that inflates to exactly
// rows rows of a filter tag (0 to 4) and rowBytes bytes. Only then does every PDF reader decode the
// same pixels as this library's reader, which pads short data and stops at an unknown tag.
bool PngRowsComplete(std::span<const uint8_t> compressed, uint64_t rowBytes, uint64_t rows);

} // namespace pagelith
