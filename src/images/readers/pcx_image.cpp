#include "images/readers/pcx_image.h"

#include <algorithm>
#include <cmath>

#include "base/byte_reader.h"

namespace pagelith {

namespace {

constexpr const char* kInvalidPcx = "Invalid PCX File";
constexpr const char* kReadError = "Error reading PCX file.";
constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 768;

int32_t PelsPerMeter(uint16_t dpi) {
    return static_cast<int32_t>(std::lround(dpi * 39.37007874));
}

// Expands the run-length data into exactly out.size() bytes; runs may cross rows but never the end.
// False when the data ends first.
bool DecodeRle(std::span<const uint8_t> in, std::span<uint8_t> out) {
    std::size_t ip = 0, op = 0;
    while (op < out.size()) {
        if (ip >= in.size()) return false;
        uint8_t b = in[ip++];
        std::size_t count = 1;
        if ((b & 0xC0) == 0xC0) {
            count = b & 0x3F;
            if (ip >= in.size()) return false;
            b = in[ip++];
        }
        count = std::min(count, out.size() - op);
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(op), count, b);
        op += count;
    }
    return true;
}

} // namespace

void TPCXImage::LoadFromBytes(std::span<const uint8_t> data) {
    file_.clear();
    width_ = height_ = 0;
    if (data.size() <= kHeaderSize) throw EInvalidGraphic(kInvalidPcx);
    TByteReader r(data, TByteReader::TOrder::LittleEndian);
    r.U8(); // manufacturer: the intake has already looked at it
    const uint8_t version = r.U8();
    const uint8_t encoding = r.U8();
    bitsPerPixel_ = r.U8();
    const uint16_t xmin = r.U16(), ymin = r.U16(), xmax = r.U16(), ymax = r.U16();
    hDpi_ = r.U16();
    vDpi_ = r.U16();
    for (auto& c : headerPalette_) {
        c.R = r.U8();
        c.G = r.U8();
        c.B = r.U8();
    }
    r.Seek(65);
    planes_ = r.U8();
    bytesPerLine_ = r.U16();
    if (encoding != 1 || bitsPerPixel_ > 8 || xmax < xmin || ymax < ymin || version > 5)
        throw EInvalidGraphic(kInvalidPcx);
    width_ = xmax - xmin + 1;
    height_ = ymax - ymin + 1;
    CheckPixels(static_cast<uint64_t>(width_), static_cast<uint64_t>(height_));
    file_.assign(data.begin(), data.end());
}

void TPCXImage::AssignTo(TBMPImage& bitmap) {
    if (file_.size() <= kHeaderSize) throw EInvalidGraphic(kInvalidPcx);
    TPixelFormat format;
    if (bitsPerPixel_ == 8 && planes_ == 1)
        format = TPixelFormat::Indexed8;
    else if (bitsPerPixel_ == 8 && planes_ == 3)
        format = TPixelFormat::Rgb24;
    else if (bitsPerPixel_ == 1 && planes_ == 4)
        format = TPixelFormat::Indexed4;
    else if (bitsPerPixel_ == 1 && planes_ == 1)
        format = TPixelFormat::Indexed1;
    else
        throw EInvalidGraphic(kReadError);

    std::span<const uint8_t> rle(file_);
    rle = rle.subspan(kHeaderSize);
    if (format == TPixelFormat::Indexed8) {
        if (rle.size() < kPaletteSize) throw EInvalidGraphic(kReadError);
        rle = rle.first(rle.size() - kPaletteSize);
    }
    // A plane row must hold the picture's width; the whole decoded picture must be
    // within what the data can expand to (at most 63 bytes from every two) before it is allocated.
    const uint64_t needed = (static_cast<uint64_t>(width_) * bitsPerPixel_ + 7) / 8;
    const uint64_t scanline = uint64_t{bytesPerLine_} * planes_;
    if (bytesPerLine_ < needed || scanline * static_cast<uint64_t>(height_) > uint64_t{32} * rle.size() ||
        !TBMPImage::SizeAllowed(format, width_, height_))
        throw EInvalidGraphic(kReadError);
    std::vector<uint8_t> decoded(static_cast<std::size_t>(scanline * static_cast<uint64_t>(height_)));
    if (!DecodeRle(rle, decoded)) throw EInvalidGraphic(kReadError);

    bitmap.SetSize(format, width_, height_, kReadError);
    bitmap.XPelsPerMeter = PelsPerMeter(hDpi_);
    bitmap.YPelsPerMeter = PelsPerMeter(vDpi_);
    const std::size_t bpl = bytesPerLine_;
    const auto w = static_cast<std::size_t>(width_);
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* line =
            decoded.data() + static_cast<std::size_t>(scanline) * static_cast<std::size_t>(y);
        auto row = bitmap.Row(y);
        switch (format) {
        case TPixelFormat::Indexed8:
        case TPixelFormat::Indexed1:
            std::copy_n(line, needed, row.begin());
            break;
        case TPixelFormat::Rgb24:
            for (std::size_t x = 0; x < w; ++x) {
                row[3 * x] = line[2 * bpl + x];
                row[3 * x + 1] = line[bpl + x];
                row[3 * x + 2] = line[x];
            }
            break;
        case TPixelFormat::Indexed4:
            // Plane p holds bit p of every pixel's index.
            for (std::size_t x = 0; x < w; ++x) {
                unsigned index = 0;
                for (unsigned p = 0; p < 4; ++p) index |= ((line[p * bpl + x / 8] >> (7 - x % 8)) & 1u) << p;
                row[x / 2] |= static_cast<uint8_t>(x % 2 ? index : index << 4);
            }
            break;
        }
    }

    if (format == TPixelFormat::Indexed8) {
        const uint8_t* pal = file_.data() + file_.size() - kPaletteSize;
        for (std::size_t i = 0; i < 256; ++i)
            bitmap.Palette[i] = {pal[3 * i], pal[3 * i + 1], pal[3 * i + 2]};
    } else if (format == TPixelFormat::Indexed4) {
        std::copy(headerPalette_.begin(), headerPalette_.end(), bitmap.Palette.begin());
    } else if (format == TPixelFormat::Indexed1) {
        // Many writers leave the header palette empty; two equal entries would make the picture one colour.
        if (headerPalette_[0] == headerPalette_[1])
            bitmap.Palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
        else
            bitmap.Palette = {headerPalette_[0], headerPalette_[1]};
    }
}

} // namespace pagelith
