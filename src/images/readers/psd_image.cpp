#include "images/readers/psd_image.h"

#include <algorithm>
#include <cmath>

#include "base/byte_reader.h"
#include "images/readers/tif_packbits.h"

namespace pagelith {

namespace {

constexpr const char* kNotPsd = "File is not PSD format";
constexpr const char* kUnsupported = "Unsupported data format in PSD file";
constexpr const char* kCorrupt = "Image data corrupt in PSD File";

enum TColorMode : uint16_t {
    kBitmap = 0,
    kGrayscale = 1,
    kIndexed = 2,
    kRgb = 3,
    kCmyk = 4,
    kMultichannel = 7,
    kDuotone = 8,
    kLab = 9
};

uint8_t To8(uint16_t v) {
    return static_cast<uint8_t>((uint32_t{v} * 255 + 32767) / 65535);
}

uint8_t CmykChannel(uint8_t ink, uint8_t black) {
    const double k = 255.0 - black;
    return static_cast<uint8_t>(255 - std::min<long>(std::lround(ink / 255.0 * k + black), 255));
}

} // namespace

void TPSDImage::LoadFromBytes(std::span<const uint8_t> data) {
    channels_ = 0;
    width_ = height_ = 0;
    colorData_.clear();
    imageData_.clear();

    TByteReader r(data, TByteReader::TOrder::BigEndian);
    const uint32_t signature = r.U32();
    const uint16_t version = r.U16();
    const uint32_t reserved1 = r.U32();
    const uint16_t reserved2 = r.U16();
    if (!r.Ok() || signature != 0x38425053u || version != 1 || reserved1 != 0 || reserved2 != 0)
        throw EInvalidGraphic(kNotPsd);
    const uint16_t channels = r.U16();
    const uint32_t height = r.U32();
    const uint32_t width = r.U32();
    const uint16_t depth = r.U16();
    const uint16_t mode = r.U16();
    if (!r.Ok()) throw EInvalidGraphic(kNotPsd);
    if (channels < 1 || channels > 24) throw EInvalidGraphic("Invalid Channels number in PSD file");
    if (height < 1 || height > 30000) throw EInvalidGraphic("Invalid Height in PSD File");
    if (width < 1 || width > 30000) throw EInvalidGraphic("Invalid Width in PSD File");
    if (depth != 1 && depth != 8 && depth != 16) throw EInvalidGraphic("Invalid Depth in PSD File");
    if (mode > 4 && mode != 7 && mode != 8 && mode != 9)
        throw EInvalidGraphic("Invalid Color mode in PSD File");
    CheckPixels(width, height);

    const uint32_t colorLength = r.U32();
    if (!r.Ok() || !r.Has(r.Position(), colorLength)) throw EInvalidGraphic(kCorrupt);
    const auto color = r.Bytes(r.Position(), colorLength);
    r.Skip(colorLength);

    // Image resources: every block must lie inside the section, and the section inside the file.
    const uint32_t resourcesLength = r.U32();
    if (!r.Ok() || !r.Has(r.Position(), resourcesLength))
        throw EInvalidGraphic("Error reading FileInfo from PSD file.");
    {
        TByteReader res(r.Bytes(r.Position(), resourcesLength));
        while (res.Position() + 12 <= res.Size()) {
            res.Skip(6); // signature and id
            const uint8_t nameLength = res.U8();
            res.Skip(nameLength | 1u); // name padded with its length byte to an even size
            const uint32_t size = res.U32();
            res.Skip(uint64_t{size} + (size & 1u));
            if (!res.Ok()) throw EInvalidGraphic("Error reading FileInfo from PSD file.");
        }
    }
    r.Skip(resourcesLength);

    const uint32_t layersLength = r.U32();
    r.Skip(layersLength);
    const uint16_t compression = r.U16();
    if (!r.Ok()) throw EInvalidGraphic(kCorrupt);
    if (compression > 1) throw EInvalidGraphic("Invalid data in PSD File");

    channels_ = channels;
    width_ = static_cast<int32_t>(width);
    height_ = static_cast<int32_t>(height);
    depth_ = depth;
    mode_ = mode;
    compression_ = compression;
    colorData_.assign(color.begin(), color.end());
    const auto image = data.subspan(r.Position());
    imageData_.assign(image.begin(), image.end());
}

void TPSDImage::AssignTo(TBMPImage& bitmap) {
    if (width_ <= 0 || height_ <= 0) throw EInvalidGraphic(kNotPsd);
    if (mode_ == kMultichannel) throw EInvalidGraphic("Multichannel mode in PSD file not supported");
    if (mode_ == kLab) throw EInvalidGraphic("Lab mode in PSD file not supported");

    // Which channels are decoded, into which working format.
    TPixelFormat format;
    unsigned used;
    const bool depthOk = depth_ == 8 || (depth_ == 16 && compression_ == 0);
    switch (mode_) {
    case kBitmap:
        if (channels_ != 1 || depth_ != 1) throw EInvalidGraphic(kUnsupported);
        format = TPixelFormat::Indexed1;
        used = 1;
        break;
    case kGrayscale:
    case kDuotone:
        if (channels_ > 2 || !depthOk) throw EInvalidGraphic(kUnsupported);
        format = TPixelFormat::Indexed8;
        used = 1;
        break;
    case kIndexed:
        if (depth_ != 8 || colorData_.size() < 768) throw EInvalidGraphic(kUnsupported);
        format = TPixelFormat::Indexed8;
        used = 1;
        break;
    case kRgb:
        if (channels_ < 3 || !depthOk) throw EInvalidGraphic(kUnsupported);
        format = TPixelFormat::Rgb24;
        used = 3;
        break;
    case kCmyk:
        if (channels_ < 4 || !depthOk) throw EInvalidGraphic(kUnsupported);
        format = TPixelFormat::Rgb24;
        used = 4;
        break;
    default:
        throw EInvalidGraphic("Invalid PSD Color Mode");
    }

    const std::size_t rowBytes = depth_ == 1 ? (static_cast<std::size_t>(width_) + 7) / 8
                                             : static_cast<std::size_t>(width_) * (depth_ / 8);
    const auto rows = static_cast<std::size_t>(height_);
    // Every row of the channels in use, found and checked before anything is allocated: a
    // packed row must unpack to exactly its width.
    if (!TBMPImage::SizeAllowed(format, width_, height_)) throw EInvalidGraphic(kCorrupt);
    std::vector<std::span<const uint8_t>> coded(used * rows);
    if (compression_ == 0) {
        if (imageData_.size() / rows / rowBytes < used) throw EInvalidGraphic(kCorrupt);
        for (std::size_t i = 0; i < coded.size(); ++i)
            coded[i] = std::span<const uint8_t>(imageData_).subspan(i * rowBytes, rowBytes);
    } else {
        TByteReader table(imageData_);
        const uint64_t tableSize = uint64_t{2} * channels_ * rows;
        if (!table.Has(0, tableSize)) throw EInvalidGraphic(kCorrupt);
        uint64_t offset = tableSize;
        for (auto& row : coded) {
            row = table.Bytes(offset, table.U16());
            offset += row.size();
            if (PackBitsLength(row) != rowBytes) throw EInvalidGraphic(kCorrupt);
        }
    }

    bitmap.SetSize(format, width_, height_, kCorrupt);
    bitmap.XPelsPerMeter = bitmap.YPelsPerMeter = 0;
    // One row of each channel at a time.
    std::vector<uint8_t> line(used * rowBytes);
    const auto sample = [&](unsigned channel, std::size_t x) -> uint8_t {
        const uint8_t* p = line.data() + channel * rowBytes;
        if (depth_ == 16) return To8(static_cast<uint16_t>((p[2 * x] << 8) | p[2 * x + 1]));
        return p[x];
    };
    const auto w = static_cast<std::size_t>(width_);
    for (std::size_t y = 0; y < rows; ++y) {
        for (unsigned c = 0; c < used; ++c) {
            const auto in = coded[c * rows + y];
            const std::span<uint8_t> out(line.data() + c * rowBytes, rowBytes);
            if (compression_ == 0)
                std::copy(in.begin(), in.end(), out.begin());
            else
                DecodePackBits(in, out);
        }
        auto row = bitmap.Row(static_cast<int32_t>(y));
        if (format == TPixelFormat::Indexed1) {
            std::copy_n(line.data(), rowBytes, row.begin());
        } else if (format == TPixelFormat::Indexed8) {
            for (std::size_t x = 0; x < w; ++x) row[x] = sample(0, x);
        } else if (mode_ == kRgb) {
            for (std::size_t x = 0; x < w; ++x) {
                row[3 * x] = sample(2, x);
                row[3 * x + 1] = sample(1, x);
                row[3 * x + 2] = sample(0, x);
            }
        } else {
            // Stored inverted: 255 is no ink.
            for (std::size_t x = 0; x < w; ++x) {
                const auto black = static_cast<uint8_t>(255 - sample(3, x));
                row[3 * x] = CmykChannel(static_cast<uint8_t>(255 - sample(2, x)), black);
                row[3 * x + 1] = CmykChannel(static_cast<uint8_t>(255 - sample(1, x)), black);
                row[3 * x + 2] = CmykChannel(static_cast<uint8_t>(255 - sample(0, x)), black);
            }
        }
    }

    if (mode_ == kBitmap) {
        // A set bit is black.
        bitmap.Palette = {TRGB{255, 255, 255}, TRGB{0, 0, 0}};
    } else if (mode_ == kIndexed) {
        for (std::size_t i = 0; i < 256; ++i)
            bitmap.Palette[i] = {colorData_[i], colorData_[256 + i], colorData_[512 + i]};
    } else if (format == TPixelFormat::Indexed8) {
        for (std::size_t i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            bitmap.Palette[i] = {v, v, v};
        }
    }
}

} // namespace pagelith
