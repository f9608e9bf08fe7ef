// Image intake on arbitrary bytes: the recognition table, the readers behind it and preparation
// (first byte even; its bits 2 and 3 merge or keep alpha, bit 4 follows the orientation, bit 5 sets a
// tiny pixel limit), or a packed bitmap as a client hands it over in global memory (first byte odd).
// Pictures stay below 4 megapixels: larger ones that their data can fill only cost time here.
// The next byte picks the compression codes, so every encoding path is reached.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>

#include "images/image_intake.h"
#include "images/packed_dib.h"
#include "images/prepare_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace pagelith;
    if (size < 2) return 0;
    TImageSettings settings;
    settings.CompressionBW = data[1] & 3;
    settings.CompressionIndexed = (data[1] >> 2) & 3;
    settings.CompressionRGB = (data[1] >> 4) & 3;
    settings.CompressionGray = (data[1] >> 6) & 3;
    settings.UseSourceCompression = (data[0] & 2) != 0;
    settings.MergeAlpha = (data[0] & 4) != 0;
    settings.KeepAlpha = (data[0] & 8) != 0;
    settings.ImageOrientation = (data[0] & 16) != 0;
    settings.MaxImagePixels = (data[0] & 32) ? 1000 : 4u << 20;
    const std::span<const uint8_t> body(data + 2, size - 2);
    try {
        if (data[0] & 1) {
            TBMPImage bitmap;
            LoadPackedDIB(body, settings.MaxImagePixels, bitmap);
            TPDFImageRes image;
            PrepareImage(settings, bitmap, image);
        } else {
            (void)LoadImageStream(body, settings);
        }
    } catch (const std::exception&) {
        // Refusals are expected; crashes, leaks and overruns are what this looks for.
    }
    return 0;
}
