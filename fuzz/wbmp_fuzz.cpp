// libFuzzer entry point for the WBMP reader: any bytes must decode or be refused
// without touching memory outside the input or the picture.
#include <cstddef>
#include <cstdint>

#include "images/readers/wbmp_image.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return FuzzReader<pagelith::TWBMPImage>(data, size);
}
