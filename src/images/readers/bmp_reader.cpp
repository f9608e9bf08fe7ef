#include "images/readers/bmp_reader.h"

#include <algorithm>
#include <bit>

#include "base/byte_reader.h"

namespace pagelith {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;
constexpr std::size_t kFileHeaderSize = 14;
// Run-length data paints at most 255 pixels with every two bytes. End-of-line and delta codes
// skip pixels for free, so a picture larger than the runs could paint is refused: nothing pays for it.
constexpr uint64_t kRlePixelsPerByte = 128;

TPixelFormat FormatFor(uint16_t bitCount) {
    switch (bitCount) {
    case 1:
        return TPixelFormat::Indexed1;
    case 4:
        return TPixelFormat::Indexed4;
    case 8:
        return TPixelFormat::Indexed8;
    default:
        return TPixelFormat::Rgb24;
    }
}

// A masked field scaled to 0..255.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const uint32_t shift = static_cast<uint32_t>(std::countr_zero(mask));
    const uint64_t top = mask >> shift;
    const uint64_t value = (pixel & mask) >> shift;
    return static_cast<uint8_t>((value * 255 + top / 2) / top);
}

void SetIndex(std::span<uint8_t> row, uint32_t bits, int32_t x, uint8_t index) {
    const auto at = static_cast<std::size_t>(x);
    if (bits == 8) {
        row[at] = index;
    } else {
        const uint32_t shift = at % 2 ? 0 : 4;
        row[at / 2] = static_cast<uint8_t>((row[at / 2] & ~(0x0F << shift)) | ((index & 0x0F) << shift));
    }
}

} // namespace

void TBMPReader::LoadFromBytes(std::span<const uint8_t> data) {
    data_.assign(data.begin(), data.end());
    TByteReader r(data_, TByteReader::TOrder::LittleEndian);
    if (data_.size() < kFileHeaderSize + 12 || data_[0] != 'B' || data_[1] != 'M')
        throw EInvalidGraphic("Invalid BMP file header");
    const uint32_t offBits = *r.U32At(10);
    const uint32_t headerSize = *r.U32At(14);
    int64_t width = 0, height = 0;
    compression_ = kRgb;
    uint32_t colorsUsed = 0;
    r.Seek(18);
    if (headerSize == 12) {
        width = r.U16();
        height = r.U16();
        r.Skip(2);
        bitCount_ = r.U16();
        paletteEntrySize_ = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 ||
               headerSize == 108 || headerSize == 124) {
        if (!r.Has(kFileHeaderSize, headerSize)) throw EInvalidGraphic("Invalid BMP file header");
        width = r.S32();
        height = r.S32();
        r.Skip(2);
        bitCount_ = r.U16();
        compression_ = r.U32();
        r.Skip(12);
        colorsUsed = r.U32();
        paletteEntrySize_ = 4;
    } else {
        throw EInvalidGraphic("Unsupported BMP header size");
    }
    if (!r.Ok()) throw EInvalidGraphic("Invalid BMP file header");

    std::size_t paletteStart = kFileHeaderSize + headerSize;
    switch (bitCount_) {
    case 1:
    case 4:
    case 8:
    case 24:
        break;
    case 16:
    case 32:
        if (headerSize != 12) break;
        [[fallthrough]];
    default:
        throw EInvalidGraphic("Unsupported BMP bit count");
    }
    const bool compressionFits = compression_ == kRgb || (compression_ == kRle8 && bitCount_ == 8) ||
                                 (compression_ == kRle4 && bitCount_ == 4) ||
                                 (compression_ == kBitfields && (bitCount_ == 16 || bitCount_ == 32));
    // The 64-byte header of the other system numbers its compressions differently beyond 2.
    if (!compressionFits || (headerSize == 64 && compression_ > kRle4))
        throw EInvalidGraphic("Unsupported BMP compression");

    if (compression_ == kBitfields) {
        // The 40-byte header is followed by the three masks; later headers hold them.
        for (uint32_t& m : masks_) m = r.U32At(kFileHeaderSize + 40 + 4 * (&m - masks_)).value_or(0);
        if (headerSize == 40) paletteStart += 12;
        if (!r.Has(kFileHeaderSize + 40, 12)) throw EInvalidGraphic("Invalid BMP file header");
    } else if (bitCount_ == 16) {
        masks_[0] = 0x7C00, masks_[1] = 0x03E0, masks_[2] = 0x001F;
    } else {
        masks_[0] = 0xFF0000, masks_[1] = 0x00FF00, masks_[2] = 0x0000FF;
    }

    if (width <= 0 || height == 0 || height == INT32_MIN) throw EInvalidGraphic("Invalid BMP image size");
    topDown_ = height < 0;
    if (topDown_ && compression_ != kRgb && compression_ != kBitfields)
        throw EInvalidGraphic("Invalid BMP image size");
    width_ = static_cast<int32_t>(width);
    height_ = static_cast<int32_t>(topDown_ ? -height : height);
    CheckPixels(static_cast<uint64_t>(width_), static_cast<uint64_t>(height_));
    if (!TBMPImage::SizeAllowed(FormatFor(bitCount_), width_, height_))
        throw EInvalidGraphic("Image is too large");

    // Pixels start where the file header says; a missing offset means right after the table.
    paletteOffset_ = paletteStart;
    paletteEntries_ = 0;
    if (bitCount_ <= 8) {
        const std::size_t full = std::size_t{1} << bitCount_;
        paletteEntries_ = colorsUsed != 0 && colorsUsed < full ? colorsUsed : full;
        // A table cut short by the pixel offset holds only what fits before the pixels.
        if (offBits > paletteStart)
            paletteEntries_ = std::min(paletteEntries_, (offBits - paletteStart) / paletteEntrySize_);
        else if (offBits != 0)
            paletteEntries_ = 0;
        if (!r.Has(paletteStart, paletteEntries_ * paletteEntrySize_))
            throw EInvalidGraphic("BMP colour table is truncated");
    }
    pixelOffset_ = offBits != 0 ? offBits : paletteStart + paletteEntries_ * paletteEntrySize_;
    if (pixelOffset_ > data_.size()) throw EInvalidGraphic("BMP image data is truncated");

    const uint64_t available = data_.size() - pixelOffset_;
    if (compression_ == kRle4 || compression_ == kRle8) {
        if (uint64_t(width_) * uint64_t(height_) > std::max<uint64_t>(available, 1) * kRlePixelsPerByte)
            throw EInvalidGraphic("BMP image data is truncated");
    } else {
        // The last row may lack its padding.
        const uint64_t stride = (uint64_t(width_) * bitCount_ + 31) / 32 * 4;
        const uint64_t lastRow = (uint64_t(width_) * bitCount_ + 7) / 8;
        if (stride * uint64_t(height_ - 1) + lastRow > available)
            throw EInvalidGraphic("BMP image data is truncated");
    }

    // Only info headers have resolution fields at bytes 38-45; the core header's bytes there
    // are colours or pixels.
    xPelsPerMeter_ = yPelsPerMeter_ = 0;
    if (data_.size() > 54 && headerSize >= 40) {
        xPelsPerMeter_ = static_cast<int32_t>(*r.U32At(38));
        yPelsPerMeter_ = static_cast<int32_t>(*r.U32At(42));
    }
}

void TBMPReader::AssignTo(TBMPImage& bitmap) {
    if (width_ <= 0) throw EInvalidGraphic("Invalid BMP file header");
    TBMPImage out;
    out.SetSize(FormatFor(bitCount_), width_, height_);
    if (bitCount_ <= 8) {
        ReadPalette(out);
        if (compression_ == kRgb)
            ReadIndexedRows(out);
        else
            ReadRle(out);
    } else {
        ReadTrueColourRows(out);
    }
    out.XPelsPerMeter = xPelsPerMeter_;
    out.YPelsPerMeter = yPelsPerMeter_;
    bitmap = std::move(out);
}

void TBMPReader::ReadPalette(TBMPImage& bitmap) const {
    bitmap.Palette.resize(paletteEntries_);
    for (std::size_t i = 0; i < paletteEntries_; ++i) {
        const std::size_t at = paletteOffset_ + i * paletteEntrySize_;
        bitmap.Palette[i] = {data_[at + 2], data_[at + 1], data_[at]};
    }
}

void TBMPReader::ReadIndexedRows(TBMPImage& bitmap) const {
    const std::size_t stride = bitmap.Stride();
    for (int32_t i = 0; i < height_; ++i) {
        const std::size_t from = pixelOffset_ + stride * std::size_t(i);
        const std::size_t n = std::min(stride, data_.size() - std::min(from, data_.size()));
        auto row = bitmap.Row(topDown_ ? i : height_ - 1 - i);
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(from), n, row.begin());
    }
}

// Run-length rows from the bottom up; pixels the data never reaches keep index 0, and
// runs or deltas that leave the picture are clipped.
void TBMPReader::ReadRle(TBMPImage& bitmap) const {
    const bool four = compression_ == kRle4;
    const uint32_t bits = four ? 4 : 8;
    TByteReader r(data_, TByteReader::TOrder::LittleEndian);
    r.Seek(pixelOffset_);
    int32_t x = 0;
    int32_t line = 0; // counted from the bottom
    auto put = [&](uint8_t index) {
        if (x < width_ && line < height_) SetIndex(bitmap.Row(height_ - 1 - line), bits, x, index);
        ++x;
    };
    while (line < height_) {
        const uint8_t count = r.U8();
        const uint8_t value = r.U8();
        if (!r.Ok()) break;
        if (count > 0) {
            for (uint32_t i = 0; i < count && x < width_; ++i)
                put(four ? static_cast<uint8_t>(i % 2 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++line;
        } else if (value == 1) { // end of picture
            break;
        } else if (value == 2) { // delta
            const uint8_t dx = r.U8();
            const uint8_t dy = r.U8();
            if (!r.Ok()) break;
            x = std::min<int32_t>(x + dx, width_);
            line += dy;
        } else { // absolute run of value pixels, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            const auto run = r.Bytes(r.Position(), bytes);
            if (run.size() != bytes) break;
            for (uint32_t i = 0; i < value && x < width_; ++i)
                put(four ? static_cast<uint8_t>(i % 2 ? run[i / 2] & 0x0F : run[i / 2] >> 4) : run[i]);
            r.Skip(bytes + bytes % 2);
        }
    }
}

void TBMPReader::ReadTrueColourRows(TBMPImage& bitmap) const {
    const std::size_t bytesPerPixel = bitCount_ / 8u;
    const std::size_t stride = (std::size_t(width_) * bitCount_ + 31) / 32 * 4;
    const std::size_t rowBytes = std::size_t(width_) * bytesPerPixel; // checked against the file on load
    for (int32_t i = 0; i < height_; ++i) {
        const auto src =
            std::span<const uint8_t>(data_).subspan(pixelOffset_ + stride * std::size_t(i), rowBytes);
        auto row = bitmap.Row(topDown_ ? i : height_ - 1 - i);
        if (bitCount_ == 24) { // already blue, green, red
            std::copy(src.begin(), src.end(), row.begin());
            continue;
        }
        for (std::size_t x = 0; x < std::size_t(width_); ++x) {
            const auto p = src.subspan(x * bytesPerPixel, bytesPerPixel);
            uint32_t pixel = p[0] | uint32_t(p[1]) << 8;
            if (bytesPerPixel == 4) pixel |= uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            row[3 * x] = Channel(pixel, masks_[2]);
            row[3 * x + 1] = Channel(pixel, masks_[1]);
            row[3 * x + 2] = Channel(pixel, masks_[0]);
        }
    }
}

} // namespace pagelith
