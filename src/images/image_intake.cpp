#include "images/image_intake.h"

#include <algorithm>
#include <array>

#include "base/byte_reader.h"
#include "base/pdf_error.h"
#include "images/alpha_merge.h"
#include "images/prepare_image.h"
#include "images/readers/bmp_reader.h"
#include "images/readers/gif_image.h"
#include "images/readers/jpeg_image.h"
#include "images/readers/pcx_image.h"
#include "images/readers/png_image.h"
#include "images/readers/psd_image.h"
#include "images/readers/tif_image.h"
#include "images/readers/wbmp_image.h"
#include "images/soft_mask.h"

namespace pagelith {

namespace {

enum class TFormat : uint8_t { WBMP, PCX, PSD, GIF, TIFF, BMP, PNG, JPEG };

struct TFormatRow {
    uint16_t FirstBytes; // the first two bytes, little-endian
    TFormat Format;
};

constexpr std::array<TFormatRow, 9> kFormats{{
    {0x0000, TFormat::WBMP},
    {0x050A, TFormat::PCX},
    {0x4238, TFormat::PSD},
    {0x4947, TFormat::GIF},
    {0x4949, TFormat::TIFF},
    {0x4D4D, TFormat::TIFF},
    {0x4D42, TFormat::BMP},
    {0x5089, TFormat::PNG},
    {0xD8FF, TFormat::JPEG},
}};

// Sets size and resolution from a decoded bitmap.
void TakeBitmapSize(const TBMPImage& bitmap, TPDFImageRes& image) {
    image.Width = static_cast<uint32_t>(std::max(bitmap.Width(), 0));
    image.Height = static_cast<uint32_t>(std::max(bitmap.Height(), 0));
    image.XResolution = DotsPerInch(bitmap.XPelsPerMeter);
    image.YResolution = DotsPerInch(bitmap.YPelsPerMeter);
}

// A picture file read by its reader, held to the document's pixel limit. The file's bytes outlive
// every reader here, so none needs a copy of them.
void Load(TImageReader& reader, std::span<const uint8_t> data, const TImageSettings& settings) {
    reader.MaxPixels = settings.MaxImagePixels;
    reader.LoadFromView(data);
}

void Decode(TImageReader& reader, std::span<const uint8_t> data, const TImageSettings& settings,
            TBMPImage& bitmap) {
    Load(reader, data, settings);
    reader.AssignTo(bitmap);
}

bool KeepsAlpha(const TImageSettings& settings) {
    return settings.KeepAlpha && !settings.MergeAlpha;
}

void LoadGIF(std::span<const uint8_t> data, const TImageSettings& settings, TBMPImage& bitmap,
             TPDFImageRes& image, const std::shared_ptr<TByteSpool>& spool) {
    TGIFImage reader;
    reader.WantMask = KeepsAlpha(settings);
    Decode(reader, data, settings, bitmap);
    PrepareSoftMask(reader.AlphaMask(), uint32_t(bitmap.Width()), uint32_t(bitmap.Height()), image, spool);
}

void LoadBMP(std::span<const uint8_t> data, const TImageSettings& settings, TBMPImage& bitmap) {
    TBMPReader reader;
    Decode(reader, data, settings, bitmap);
    // The file header's resolution fields, only in a file longer than its headers.
    bitmap.XPelsPerMeter = bitmap.YPelsPerMeter = 0;
    if (data.size() > 54) {
        const TByteReader header(data, TByteReader::TOrder::LittleEndian);
        bitmap.XPelsPerMeter = static_cast<int32_t>(header.U32At(38).value_or(0));
        bitmap.YPelsPerMeter = static_cast<int32_t>(header.U32At(42).value_or(0));
    }
}

std::string_view Chars(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The file's rows as they stand, when a PDF reader can decode them with the PNG predictors into the
// pixels the decode would give, and Flate is what they would be encoded with: 8 bits or fewer in
// gray, colour or a palette, no interlace, no transparency the settings would use, and data that
// inflates completely (a full inflate, streamed: a fraction of the decode's cost, and a corrupt
// file still fails in the decode as it did).
bool PassPNG(const TtsPNGImage& reader, const TImageSettings& settings, TPDFImageRes& image,
             const std::shared_ptr<TByteSpool>& spool) {
    const uint8_t type = reader.ColorType();
    const uint8_t depth = reader.BitDepth();
    if (!settings.UseSourceCompression || reader.Interlaced() || depth > 8 || type >= 4) return false;
    if (reader.Transparency() && (settings.MergeAlpha || settings.KeepAlpha)) return false;
    if (Encoding(settings, reader.WorkingFormat(), reader.WorkingPalette()) != kCompressFlate) return false;
    if (!reader.RowsComplete()) return false;
    image.Width = reader.Width();
    image.Height = reader.Height();
    image.Data = THeldBytes::Keep(Chars(reader.ImageData()), spool);
    image.Filter = kCompressFlate;
    image.BitsPerComponent = depth;
    image.PngPredicted = true;
    // Gray samples need no palette: DeviceGray reads level v of depth d as v / (2^d - 1), the gray
    // the decoded picture's palette gives it.
    image.Colors = type == 2 ? 3 : 1;
    if (type == 3) PutPalette(reader.FilePalette(), depth, image);
    return true;
}

// Transparency is merged into the picture, or kept beside it as its soft mask, or dropped.
bool LoadPNG(std::span<const uint8_t> data, const TImageSettings& settings, TBMPImage& bitmap,
             TPDFImageRes& image, const std::shared_ptr<TByteSpool>& spool) {
    TtsPNGImage reader;
    reader.WantMask = settings.MergeAlpha || settings.KeepAlpha;
    Load(reader, data, settings);
    if (PassPNG(reader, settings, image, spool)) return true;
    reader.AssignTo(bitmap);
    TakeBitmapSize(bitmap, image);
    if (!reader.WantMask) return false;
    const std::vector<uint8_t> indexAlpha = reader.IndexAlpha();
    if (settings.MergeAlpha) {
        MergeAlpha(bitmap, reader.AlphaMask(), reader.MaskWidth(), reader.MaskHeight(),
                   settings.MergeAlphaColor);
        MergePaletteAlpha(bitmap, indexAlpha, settings.MergeAlphaColor);
    } else if (!indexAlpha.empty()) {
        PrepareSoftMask(IndexAlphaMask(bitmap, indexAlpha), uint32_t(bitmap.Width()),
                        uint32_t(bitmap.Height()), image, spool);
    } else {
        PrepareSoftMask(reader.AlphaMask(), uint32_t(reader.MaskWidth()), uint32_t(reader.MaskHeight()),
                        image, spool);
    }
    return false;
}

// Returns true when the strip went into the resource as it stands.
bool LoadTIFF(std::span<const uint8_t> data, const TImageSettings& settings, TBMPImage& bitmap,
              TPDFImageRes& image, const std::shared_ptr<TByteSpool>& spool) {
    TTIFImage reader;
    reader.PictureNumber = settings.ImageReadNumber;
    Load(reader, data, settings);
    image.Width = reader.Width();
    image.Height = reader.Height();
    image.XResolution = reader.XResolution();
    image.YResolution = reader.YResolution();
    if (settings.ImageOrientation) image.Orientation = reader.Orientation();
    if (reader.Compression() == 4 &&
        (settings.CompressionBW == kCompressCCITT || settings.UseSourceCompression) &&
        reader.StripCount() == 1 && reader.FillOrder() == 1) {
        image.Data = THeldBytes::Keep(Chars(reader.StripData()), spool);
        image.Filter = kCompressCCITT;
        image.BitsPerComponent = 1;
        image.PaletteSize = 2;
        image.Indexed = false;
        // The codes' white runs are the file's zero bits, black ones when zero is black.
        image.BlackIs1 = reader.Photometric() == 1;
        return true;
    }
    reader.AssignTo(bitmap);
    // The encoded samples must match the size written beside them.
    image.Width = static_cast<uint32_t>(std::max(bitmap.Width(), 0));
    image.Height = static_cast<uint32_t>(std::max(bitmap.Height(), 0));
    return false;
}

bool LoadJPEG(std::span<const uint8_t> data, const TImageSettings& settings, TBMPImage& bitmap,
              TPDFImageRes& image, const std::shared_ptr<TByteSpool>& spool) {
    TJPEGImageExtra reader;
    Load(reader, data, settings);
    image.Width = reader.Width();
    image.Height = reader.Height();
    image.XResolution = reader.XDensity();
    image.YResolution = reader.YDensity();
    if (settings.ImageOrientation) image.Orientation = reader.Orientation();
    const bool gray = reader.Gray();
    // Arithmetic-coded data is decoded and encoded again: PDF readers need not read it.
    const bool passable = !reader.ArithmeticCoded();
    if (passable && (settings.UseSourceCompression || (!gray && settings.CompressionRGB == kCompressDCT) ||
                     (gray && settings.CompressionGray == kCompressDCT))) {
        image.Data = THeldBytes::Keep(Chars(reader.Data()), spool);
        image.Filter = kCompressDCT;
        image.GrayJPEG = gray;
        // Four components are ink, not light: they need their own colour space.
        image.CMYKJPEG = reader.Components() == 4;
        image.InvertedCMYK = image.CMYKJPEG && reader.AdobeInverted();
        image.ProgressiveJPEG = reader.Progressive();
        return true;
    }
    reader.AssignTo(bitmap);
    image.Width = static_cast<uint32_t>(std::max(bitmap.Width(), 0));
    image.Height = static_cast<uint32_t>(std::max(bitmap.Height(), 0));
    return false;
}

} // namespace

void DefaultResolution(TPDFImageRes& image) {
    if (image.XResolution == 0) image.XResolution = 72;
    if (image.YResolution == 0) image.YResolution = image.XResolution;
}

std::unique_ptr<TPDFImageRes> LoadImageStream(std::span<const uint8_t> data, const TImageSettings& settings,
                                              const std::shared_ptr<TByteSpool>& spool) {
    if (data.size() < 2) throw EPDFError("Stream read error");
    const auto first = static_cast<uint16_t>(data[0] | (data[1] << 8));
    const TFormatRow* row = nullptr;
    for (const TFormatRow& r : kFormats)
        if (r.FirstBytes == first) row = &r;
    if (!row) throw EPDFError(kUnsupportedImage);

    auto image = std::make_unique<TPDFImageRes>();
    TBMPImage bitmap;
    bool passedThrough = false;
    switch (row->Format) {
    case TFormat::WBMP: {
        TWBMPImage reader;
        Decode(reader, data, settings, bitmap);
        TakeBitmapSize(bitmap, *image);
        break;
    }
    case TFormat::PCX: {
        TPCXImage reader;
        Decode(reader, data, settings, bitmap);
        TakeBitmapSize(bitmap, *image);
        break;
    }
    case TFormat::PSD: {
        TPSDImage reader;
        Decode(reader, data, settings, bitmap);
        TakeBitmapSize(bitmap, *image);
        break;
    }
    case TFormat::GIF:
        LoadGIF(data, settings, bitmap, *image, spool);
        TakeBitmapSize(bitmap, *image);
        break;
    case TFormat::PNG:
        passedThrough = LoadPNG(data, settings, bitmap, *image, spool);
        break;
    case TFormat::BMP:
        LoadBMP(data, settings, bitmap);
        TakeBitmapSize(bitmap, *image);
        break;
    case TFormat::TIFF:
        passedThrough = LoadTIFF(data, settings, bitmap, *image, spool);
        break;
    case TFormat::JPEG:
        passedThrough = LoadJPEG(data, settings, bitmap, *image, spool);
        break;
    }
    if (image->Width == 0 || image->Height == 0) throw EPDFError(kEmptyImage);
    DefaultResolution(*image);
    if (!passedThrough) PrepareImage(settings, bitmap, *image);
    return image;
}

} // namespace pagelith
