// libFuzzer entry point for the CCITT decoders: any data, for any of the three codings, must
// decode or fail with the reader error, touching nothing but the rows' pixel bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "images/readers/ccitt_decoder.h"
#include "images/readers/image_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const auto coding = static_cast<pagelith::TCCITTCoding>(data[0] % 3);
    const int32_t width = 1 + ((data[1] | (data[2] << 8)) % 4000);
    const int32_t height = 1 + data[3] % 64;
    const std::span<const uint8_t> coded(data + 4, size - 4);

    constexpr uint8_t kGuard = 0xA5;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    const std::size_t stride = rowBytes + 3;
    std::vector<uint8_t> dst(stride * static_cast<std::size_t>(height), kGuard);
    try {
        pagelith::DecodeCCITT(coding, coded, width, height, dst, stride);
    } catch (const pagelith::EInvalidGraphic&) {
    }
    for (int32_t y = 0; y < height; ++y)
        for (std::size_t i = rowBytes; i < stride; ++i)
            if (dst[stride * static_cast<std::size_t>(y) + i] != kGuard) std::abort();
    return 0;
}
