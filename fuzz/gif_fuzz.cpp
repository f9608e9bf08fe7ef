// libFuzzer entry point for the GIF reader: any bytes must decode or be refused
// without touching memory outside the input or the picture.
#include <cstddef>
#include <cstdint>

#include "images/readers/gif_image.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A first frame smaller than the screen is drawn into a picture of the screen's size,
    // which the working bitmap's bound allows up to 1 GiB: large screens only slow the search down.
    if (size >= 10) {
        const uint32_t width = data[6] | (data[7] << 8), height = data[8] | (data[9] << 8);
        if (uint64_t{width} * height > (uint64_t{1} << 22)) return 0;
    }
    return FuzzReader<pagelith::TGIFImage>(data, size);
}
