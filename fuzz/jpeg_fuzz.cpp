// libFuzzer entry point for the JPEG reader: any bytes must load and decode or be refused
// with EInvalidGraphic, never crash, leak or end the process. Decoded pictures also go
// through the encoder.
#include <cstddef>
#include <cstdint>
#include <span>

#include "images/jpeg_encoder.h"
#include "images/readers/jpeg_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pagelith::TJPEGImageExtra jpeg;
    try {
        jpeg.LoadFromBytes(std::span<const uint8_t>(data, size));
        // Tiny files may claim huge frames that decode to filler; the size bound itself
        // is tested elsewhere, so keep the fuzzer's time and memory for the parser.
        if (uint64_t{jpeg.Width()} * jpeg.Height() > 65536) return 0;
        pagelith::TBMPImage bitmap;
        jpeg.AssignTo(bitmap);
        if (uint64_t(bitmap.Width()) * uint64_t(bitmap.Height()) <= 65536)
            (void)pagelith::EncodeJPEG(bitmap, size % 2 == 0);
    } catch (const pagelith::EInvalidGraphic&) {
    }
    return 0;
}
