// libFuzzer entry point for the PCX reader: any bytes must decode or be refused
// without touching memory outside the input or the picture.
#include <cstddef>
#include <cstdint>

#include "images/readers/pcx_image.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return FuzzReader<pagelith::TPCXImage>(data, size);
}
