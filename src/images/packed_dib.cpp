#include "images/packed_dib.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/byte_reader.h"
#include "images/readers/image_reader.h"

namespace pagelith {

namespace {
constexpr std::size_t kHeaderSize = 40;
}

void LoadPackedDIB(std::span<const uint8_t> dib, uint64_t maxPixels, TBMPImage& bitmap) {
    const TByteReader header(dib, TByteReader::TOrder::LittleEndian);
    if (!header.Has(0, kHeaderSize)) throw EInvalidGraphic("Packed bitmap is shorter than its header");
    const auto width = static_cast<int32_t>(*header.U32At(4));
    const auto rawHeight = static_cast<int32_t>(*header.U32At(8));
    const uint16_t bitCount = *header.U16At(14);

    TPixelFormat format;
    switch (bitCount) {
    case 1:
        format = TPixelFormat::Indexed1;
        break;
    case 4:
        format = TPixelFormat::Indexed4;
        break;
    case 8:
        format = TPixelFormat::Indexed8;
        break;
    case 24:
        format = TPixelFormat::Rgb24;
        break;
    default:
        // Such a bitmap would come out blank, from memory that cannot justify its size.
        throw EInvalidGraphic("Packed bitmaps of " + std::to_string(bitCount) +
                              " bits per pixel are not supported");
    }
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -int64_t{rawHeight} : rawHeight;
    if (width <= 0 || height <= 0) throw EInvalidGraphic("Packed bitmap has no rows or columns");
    if (!TBMPImage::SizeAllowed(format, width, height)) throw EInvalidGraphic("Image is too large");
    CheckImagePixels(static_cast<uint64_t>(width), static_cast<uint64_t>(height), maxPixels);

    const std::size_t entries = format == TPixelFormat::Rgb24 ? 0 : std::size_t{1} << bitCount;
    const std::size_t rowBytes = (std::size_t(width) * bitCount + 7) / 8;
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    const uint64_t rowsAt = kHeaderSize + 4 * entries;
    // The last row needs only its pixels, not its padding.
    if (!header.Has(rowsAt, stride * uint64_t(height - 1) + rowBytes))
        throw EInvalidGraphic("Packed bitmap is shorter than its header says");

    bitmap.SetSize(format, width, static_cast<int32_t>(height));
    for (std::size_t i = 0; i < entries; ++i) {
        const auto entry = dib.subspan(kHeaderSize + 4 * i, 4);
        bitmap.Palette[i] = TRGB{entry[2], entry[1], entry[0]};
    }
    for (int64_t k = 0; k < height; ++k) {
        const auto y = static_cast<int32_t>(topDown ? k : height - 1 - k);
        std::memcpy(bitmap.Row(y).data(), dib.data() + rowsAt + stride * std::size_t(k), rowBytes);
    }
    bitmap.XPelsPerMeter = static_cast<int32_t>(*header.U32At(24));
    bitmap.YPelsPerMeter = static_cast<int32_t>(*header.U32At(28));

    // A light first entry becomes white over black; the bits turn over so the picture looks the same.
    if (format == TPixelFormat::Indexed1 && bitmap.Palette[0].R == 255) {
        bitmap.Palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
        for (uint8_t& b : bitmap.Pixels()) b = static_cast<uint8_t>(~b);
    }
}

} // namespace pagelith
