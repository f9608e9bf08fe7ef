// libFuzzer entry point for the BMP reader: any bytes must decode or be refused with
// EInvalidGraphic, without reading or writing outside the file or the picture.
#include <cstddef>
#include <cstdint>

#include "images/readers/bmp_reader.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return FuzzReader<pagelith::TBMPReader>(data, size);
}
