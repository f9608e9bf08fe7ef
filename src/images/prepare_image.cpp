#include "images/prepare_image.h"

#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "base/deflate.h"
#include "base/pdf_error.h"
#include "images/group4_encoder.h"
#include "images/jpeg_encoder.h"

namespace pagelith {

namespace {

std::size_t RowLength(const TBMPImage& bitmap) {
    const auto width = static_cast<std::size_t>(bitmap.Width());
    switch (bitmap.Format()) {
    case TPixelFormat::Indexed1:
        return (width + 7) / 8;
    case TPixelFormat::Indexed4:
        return (width + 1) / 2;
    case TPixelFormat::Indexed8:
        return width;
    case TPixelFormat::Rgb24:
        break;
    }
    return 3 * width;
}

// Palette entry i, black where the bitmap's palette is shorter.
TRGB Entry(const TBMPImage& bitmap, std::size_t i) {
    return i < bitmap.Palette.size() ? bitmap.Palette[i] : TRGB{};
}

bool GrayEntries(const TBMPImage& bitmap, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const TRGB c = Entry(bitmap, i);
        if (c.R != c.G || c.G != c.B) return false;
    }
    return true;
}

std::string PaletteBytes(const TBMPImage& bitmap, std::size_t count) {
    std::string out;
    out.reserve(3 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const TRGB c = Entry(bitmap, i);
        out += static_cast<char>(c.R);
        out += static_cast<char>(c.G);
        out += static_cast<char>(c.B);
    }
    return out;
}

// Samples as the PDF reads them: no row padding, 24-bit turned from blue-green-red to red-green-blue.
template <class Sink> void EachRow(const TBMPImage& bitmap, Sink&& sink) {
    const std::size_t length = RowLength(bitmap);
    if (bitmap.Format() != TPixelFormat::Rgb24) {
        for (int32_t y = 0; y < bitmap.Height(); ++y) sink(bitmap.Row(y).data(), length);
        return;
    }
    std::string row(length, '\0');
    auto* rgb = reinterpret_cast<uint8_t*>(row.data());
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* bgr = bitmap.Row(y).data();
        for (std::size_t i = 0; i < length; i += 3) {
            rgb[i] = bgr[i + 2];
            rgb[i + 1] = bgr[i + 1];
            rgb[i + 2] = bgr[i];
        }
        sink(rgb, length);
    }
}

std::string Raw(const TBMPImage& bitmap) {
    std::string data;
    data.reserve(RowLength(bitmap) * static_cast<std::size_t>(bitmap.Height()));
    EachRow(bitmap,
            [&](const uint8_t* row, std::size_t n) { data.append(reinterpret_cast<const char*>(row), n); });
    return data;
}

// The compressor takes the whole buffer in one call. The bitmap is spent once its samples are
// out, so its rows are packed and turned to red-green-blue in place: no second copy of the picture.
// It is freed before the result is kept, so that the result can take its place in the heap rather
// than settle above it and hold the freed picture's memory in the process.
std::string Flate(TBMPImage& bitmap) {
    const std::size_t length = RowLength(bitmap);
    const std::size_t stride = bitmap.Stride();
    const bool bgr = bitmap.Format() == TPixelFormat::Rgb24;
    const std::span<uint8_t> pixels = bitmap.Pixels();
    const auto height = static_cast<std::size_t>(bitmap.Height());
    for (std::size_t y = 0; y < height; ++y) {
        uint8_t* row = pixels.data() + y * length;
        if (stride != length) std::memmove(row, pixels.data() + y * stride, length);
        if (bgr)
            for (std::size_t i = 0; i < length; i += 3) std::swap(row[i], row[i + 2]);
    }
    const TDeflated deflated = Deflate(
        std::string_view(reinterpret_cast<const char*>(pixels.data()), length * height), kImageDeflateLevel);
    bitmap = TBMPImage{};
    return std::string(deflated.View());
}

// Samples and palette, raw or both compressed.
void IndexedData(TBMPImage& bitmap, bool flate, TPDFImageRes& image) {
    const std::string palette = PaletteBytes(bitmap, image.PaletteSize);
    if (flate) {
        image.Data = Flate(bitmap);
        image.Palette = DeflateZlib(palette, kImageDeflateLevel);
    } else {
        image.Data = Raw(bitmap);
        image.Palette = palette;
    }
    image.Filter = flate ? kCompressFlate : kCompressNone;
    image.Indexed = true;
}

// Group 4 codes bit 1 as white. A white-and-black palette is coded with its bits turned over;
// two other grays keep their exact levels through the indexed path instead.
void BlackAndWhite(const TImageSettings& settings, TBMPImage& bitmap, TPDFImageRes& image) {
    const TRGB e0 = Entry(bitmap, 0), e1 = Entry(bitmap, 1);
    const bool blackWhite = e0.R == 0 && e1.R == 255;
    const bool whiteBlack = e0.R == 255 && e1.R == 0;
    switch (settings.CompressionBW) {
    case kCompressNone:
        IndexedData(bitmap, false, image);
        return;
    case kCompressCCITT:
        if (blackWhite || whiteBlack) {
            std::string data;
            if (whiteBlack) {
                TBMPImage inverted = bitmap;
                for (uint8_t& b : inverted.Pixels()) b = static_cast<uint8_t>(~b);
                EncodeGroup4(inverted, data);
            } else {
                EncodeGroup4(bitmap, data);
            }
            image.Data = std::move(data);
            image.Palette.clear();
            image.Filter = kCompressCCITT;
            image.Indexed = false;
            return;
        }
        break;
    default:
        break;
    }
    IndexedData(bitmap, true, image);
}

} // namespace

uint32_t DotsPerInch(int32_t pixelsPerMetre) {
    if (pixelsPerMetre <= 0) return 0;
    return static_cast<uint32_t>((uint64_t(uint32_t(pixelsPerMetre)) * 254 + 5000) / 10000);
}

void PrepareImage(const TImageSettings& settings, TBMPImage& bitmap, TPDFImageRes& image) {
    if (bitmap.Empty()) throw EPDFError(kEmptyImage);

    if (bitmap.Format() == TPixelFormat::Rgb24) {
        image.BitsPerComponent = 8;
        switch (settings.CompressionRGB) {
        case kCompressNone:
            image.Data = Raw(bitmap);
            image.Filter = kCompressNone;
            break;
        case kCompressDCT:
            image.Data = EncodeJPEG(bitmap, false);
            image.Filter = kCompressDCT;
            image.GrayJPEG = false;
            break;
        default: // Flate, and any code this class cannot use
            image.Data = Flate(bitmap);
            image.Filter = kCompressFlate;
            break;
        }
        image.Indexed = false;
        return;
    }

    const uint32_t bits = TBMPImage::BitsOf(bitmap.Format());
    image.BitsPerComponent = static_cast<uint8_t>(bits);
    image.PaletteSize = static_cast<uint16_t>(1u << bits);
    const bool gray = GrayEntries(bitmap, image.PaletteSize);
    if (bits == 1 && gray) {
        BlackAndWhite(settings, bitmap, image);
        return;
    }
    const uint8_t code = gray ? settings.CompressionGray : settings.CompressionIndexed;
    if (code == kCompressDCT && gray) {
        // The encoder reads palette entries itself: a 24-bit copy would triple the memory first, and
        // a picture beyond JPEG's dimensions would be copied whole before it is refused.
        image.Data = EncodeJPEG(bitmap, true);
        image.Filter = kCompressDCT;
        image.GrayJPEG = true;
        image.Indexed = false;
        image.Palette.clear();
        return;
    }
    IndexedData(bitmap, code != kCompressNone, image);
}

} // namespace pagelith
