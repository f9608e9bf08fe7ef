// Stands in for the CCITT decoder until it is linked in; delete when the decoder lands.
#include "images/readers/ccitt_decoder.h"

#include "images/readers/image_error.h"

namespace pagelith {

void DecodeCCITT(TCCITTCoding, std::span<const uint8_t>, int32_t, int32_t, std::span<uint8_t>, std::size_t) {
    throw EInvalidGraphic("CCITT decoding unavailable");
}

} // namespace pagelith
