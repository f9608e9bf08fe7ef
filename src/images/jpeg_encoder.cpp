#include "images/jpeg_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include <jpeglib.h>

#include "images/readers/image_error.h"
#include "images/readers/jpeg_error_manager.h"

namespace pagelith {

namespace {

constexpr std::size_t kOutputChunk = 64 * 1024;

// Collects libjpeg's output into a string; running out of memory fails the guarded call.
struct TStringDestination {
    jpeg_destination_mgr Pub{};
    std::string* Out = nullptr;
    TJPEGErrorManager* Errors = nullptr;
    std::size_t Written = 0; // bytes of *Out that hold finished output

    static TStringDestination& Of(j_compress_ptr cinfo) {
        return *static_cast<TStringDestination*>(cinfo->client_data);
    }
    void Grow(j_compress_ptr cinfo) {
        bool ok = true;
        try {
            Out->resize(Written + kOutputChunk);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        if (!ok) Errors->Fail("Out of memory while compressing JPEG");
        cinfo->dest->next_output_byte = reinterpret_cast<JOCTET*>(Out->data() + Written);
        cinfo->dest->free_in_buffer = kOutputChunk;
    }
    static void Init(j_compress_ptr cinfo) {
        auto& self = Of(cinfo);
        self.Written = 0;
        self.Grow(cinfo);
    }
    static boolean Empty(j_compress_ptr cinfo) {
        auto& self = Of(cinfo);
        self.Written = self.Out->size(); // the whole buffer is full
        self.Grow(cinfo);
        return TRUE;
    }
    static void Term(j_compress_ptr cinfo) {
        auto& self = Of(cinfo);
        self.Out->resize(self.Out->size() - cinfo->dest->free_in_buffer);
    }
};

TRGB PixelAt(const TBMPImage& bitmap, std::span<const uint8_t> row, int32_t x) {
    const auto at = static_cast<std::size_t>(x);
    uint32_t index = 0;
    switch (bitmap.Format()) {
    case TPixelFormat::Rgb24:
        return {row[3 * at + 2], row[3 * at + 1], row[3 * at]};
    case TPixelFormat::Indexed8:
        index = row[at];
        break;
    case TPixelFormat::Indexed4:
        index = (row[at / 2] >> (at % 2 ? 0 : 4)) & 0x0F;
        break;
    case TPixelFormat::Indexed1:
        index = (row[at / 8] >> (7 - at % 8)) & 1;
        break;
    }
    return index < bitmap.Palette.size() ? bitmap.Palette[index] : TRGB{};
}

UINT16 DotsPerInch(int32_t pelsPerMeter) {
    if (pelsPerMeter <= 0) return 0;
    return static_cast<UINT16>(std::min<long>(std::lround(pelsPerMeter / 39.37007874), 65535));
}

// Fills one scanline of samples: RGB, or one gray sample of (R + G + B) div 3.
void FillLine(const TBMPImage& bitmap, int32_t y, bool gray, JSAMPLE* line) {
    const auto row = bitmap.Row(y);
    for (int32_t x = 0; x < bitmap.Width(); ++x) {
        const TRGB c = PixelAt(bitmap, row, x);
        if (gray) {
            line[x] = static_cast<JSAMPLE>((c.R + c.G + c.B) / 3);
        } else {
            line[3 * x] = c.R;
            line[3 * x + 1] = c.G;
            line[3 * x + 2] = c.B;
        }
    }
}

} // namespace

std::string EncodeJPEG(const TBMPImage& bitmap, bool gray) {
    std::string out;
    std::vector<JSAMPLE> line(static_cast<std::size_t>(std::max(bitmap.Width(), 0)) * (gray ? 1 : 3));
    TJPEGErrorManager errors;
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = errors.Manager();
    TStringDestination dest;
    dest.Pub.init_destination = &TStringDestination::Init;
    dest.Pub.empty_output_buffer = &TStringDestination::Empty;
    dest.Pub.term_destination = &TStringDestination::Term;
    dest.Out = &out;
    dest.Errors = &errors;

    const bool ok = errors.Guarded([&] {
        jpeg_create_compress(&cinfo);
        cinfo.dest = &dest.Pub;
        cinfo.client_data = &dest;
        cinfo.image_width = static_cast<JDIMENSION>(std::max(bitmap.Width(), 0));
        cinfo.image_height = static_cast<JDIMENSION>(std::max(bitmap.Height(), 0));
        cinfo.input_components = gray ? 1 : 3;
        cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
        cinfo.dct_method = JDCT_FLOAT;
        cinfo.density_unit = 1;
        cinfo.X_density = DotsPerInch(bitmap.XPelsPerMeter);
        cinfo.Y_density = DotsPerInch(bitmap.YPelsPerMeter);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            FillLine(bitmap, static_cast<int32_t>(cinfo.next_scanline), gray, line.data());
            JSAMPROW row = line.data();
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
    });
    errors.Guarded([&] { jpeg_destroy_compress(&cinfo); });
    if (!ok) throw EInvalidGraphic(errors.Message());
    return out;
}

} // namespace pagelith
