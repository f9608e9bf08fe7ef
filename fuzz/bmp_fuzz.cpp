// libFuzzer entry point for the BMP reader: any bytes must decode or be refused with
// EInvalidGraphic, without reading or writing outside the file or the picture.
#include <cstddef>
#include <cstdint>
#include <span>

#include "images/readers/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pagelith::TBMPReader reader;
    try {
        reader.LoadFromBytes(std::span<const uint8_t>(data, size));
        pagelith::TBMPImage bitmap;
        reader.AssignTo(bitmap);
    } catch (const pagelith::EInvalidGraphic&) {
    }
    return 0;
}
