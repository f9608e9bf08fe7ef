// Stand-ins for the readers and encoders built on other branches; removed when they arrive.
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "images/alpha_merge.h"
#include "images/group4_encoder.h"
#include "images/jpeg_encoder.h"
#include "images/readers/bmp_reader.h"
#include "images/readers/gif_image.h"
#include "images/readers/jpeg_image.h"
#include "images/readers/pcx_image.h"
#include "images/readers/png_image.h"
#include "images/readers/psd_image.h"
#include "images/readers/tif_image.h"
#include "images/readers/wbmp_image.h"

namespace pagelith {

namespace {
[[noreturn]] void NotYet() {
    throw EInvalidGraphic("File is not a supported image format");
}
} // namespace

#define PAGELITH_STAND_IN_READER(T)                                                                          \
    void T::LoadFromBytes(std::span<const uint8_t>) {                                                        \
        NotYet();                                                                                            \
    }                                                                                                        \
    void T::AssignTo(TBMPImage&) {                                                                           \
        NotYet();                                                                                            \
    }

PAGELITH_STAND_IN_READER(TTIFImage)
PAGELITH_STAND_IN_READER(TtsPNGImage)
PAGELITH_STAND_IN_READER(TJPEGImageExtra)
PAGELITH_STAND_IN_READER(TGIFImage)
PAGELITH_STAND_IN_READER(TPSDImage)
PAGELITH_STAND_IN_READER(TPCXImage)
PAGELITH_STAND_IN_READER(TWBMPImage)
PAGELITH_STAND_IN_READER(TBMPReader)

std::span<const uint8_t> TTIFImage::StripData() const {
    return stripData_;
}

uint32_t TTIFImage::CountPictures(std::span<const uint8_t>) {
    NotYet();
}

void EncodeGroup4(const TBMPImage&, std::string&) {
    NotYet();
}

void MergeAlpha(TBMPImage& bitmap, std::span<const uint8_t> mask, int32_t maskW, int32_t maskH,
                uint32_t color) {
    if (maskW != bitmap.Width() || maskH != bitmap.Height() || maskW <= 0 || maskH <= 0) return;
    if (mask.size() < std::size_t(maskW) * std::size_t(maskH)) return;
    const uint8_t rgb[3] = {uint8_t(color), uint8_t(color >> 8), uint8_t(color >> 16)};
    const bool rgb24 = bitmap.Format() == TPixelFormat::Rgb24;
    if (!rgb24 && !(bitmap.Format() == TPixelFormat::Indexed8 && bitmap.GrayPalette())) return;
    if (!rgb24 && !(rgb[0] == rgb[1] && rgb[1] == rgb[2])) return;
    auto blend = [](uint8_t v, float a, uint8_t c) {
        return static_cast<uint8_t>(std::nearbyint(float(v) * a + (1.0f - a) * float(c)));
    };
    for (int32_t y = 0; y < maskH; ++y) {
        auto row = bitmap.Row(y);
        for (int32_t x = 0; x < maskW; ++x) {
            const float a = float(mask[std::size_t(y) * std::size_t(maskW) + std::size_t(x)]) / 255.0f;
            if (rgb24) {
                row[3 * x] = blend(row[3 * x], a, rgb[2]);
                row[3 * x + 1] = blend(row[3 * x + 1], a, rgb[1]);
                row[3 * x + 2] = blend(row[3 * x + 2], a, rgb[0]);
            } else {
                row[x] = blend(row[x], a, rgb[0]);
            }
        }
    }
}

namespace {
struct TJpegError {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};
void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
}
} // namespace

std::string EncodeJPEG(const TBMPImage& source, bool gray) {
    TBMPImage bitmap = source;
    bitmap.ConvertTo24();
    const int w = bitmap.Width();
    std::vector<uint8_t> samples(std::size_t(w) * (gray ? 1 : 3));
    jpeg_compress_struct info{};
    TJpegError error{};
    info.err = jpeg_std_error(&error.Base);
    error.Base.error_exit = JpegFail;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (setjmp(error.Jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        throw EInvalidGraphic("JPEG error");
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(bitmap.Height());
    info.input_components = gray ? 1 : 3;
    info.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    info.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&info, TRUE);
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        const auto row = bitmap.Row(y);
        for (int x = 0; x < w; ++x) {
            const uint8_t b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
            if (gray)
                samples[std::size_t(x)] = uint8_t((r + g + b) / 3);
            else {
                samples[3 * std::size_t(x)] = r;
                samples[3 * std::size_t(x) + 1] = g;
                samples[3 * std::size_t(x) + 2] = b;
            }
        }
        JSAMPROW line = samples.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    std::string result(reinterpret_cast<const char*>(out), size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return result;
}

} // namespace pagelith
