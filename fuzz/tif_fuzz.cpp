// TIFF reader on arbitrary bytes: every picture number from 1 to 3, decoding, counting.
#include <cstddef>
#include <cstdint>
#include <span>

#include "images/readers/tif_image.h"

using namespace pagelith;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    try {
        TTIFImage::CountPictures(bytes);
    } catch (const EInvalidGraphic&) {
    }
    for (int32_t n = 1; n <= 3; ++n) {
        TTIFImage tif;
        tif.PictureNumber = n;
        try {
            tif.LoadFromBytes(bytes);
        } catch (const EInvalidGraphic&) {
            continue;
        }
        (void)tif.StripData();
        // Pictures the bound allows but that would only slow the run down are left undecoded.
        if (uint64_t{tif.Width()} * tif.Height() > (uint64_t{1} << 20)) continue;
        TBMPImage bitmap;
        try {
            tif.AssignTo(bitmap);
        } catch (const EInvalidGraphic&) {
        }
    }
    return 0;
}
