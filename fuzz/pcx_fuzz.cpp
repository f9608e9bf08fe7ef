// libFuzzer entry point for the PCX reader: any bytes must decode or be refused
// without touching memory outside the input or the picture.
#include <cstddef>
#include <cstdint>
#include <span>

#include "images/readers/pcx_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pagelith::TPCXImage reader;
    pagelith::TBMPImage bitmap;
    try {
        reader.LoadFromBytes(std::span<const uint8_t>(data, size));
        reader.AssignTo(bitmap);
    } catch (const pagelith::EInvalidGraphic&) {
    }
    return 0;
}
