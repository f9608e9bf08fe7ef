#include "images/readers/working_bitmap.h"

#include <algorithm>

#include "images/readers/image_error.h"

namespace pagelith {

std::size_t TBMPImage::StrideFor(TPixelFormat format, int64_t width) {
    const uint64_t bits = static_cast<uint64_t>(std::max<int64_t>(width, 0)) * BitsOf(format);
    return static_cast<std::size_t>((bits + 31) / 32 * 4);
}

bool TBMPImage::SizeAllowed(TPixelFormat format, int64_t width, int64_t height) {
    if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) return false;
    const uint64_t stride = StrideFor(format, width);
    return height == 0 || stride <= kMaxBitmapBytes / static_cast<uint64_t>(height);
}

void TBMPImage::SetSize(TPixelFormat format, int32_t width, int32_t height, const char* message) {
    if (!SizeAllowed(format, width, height)) throw EInvalidGraphic(message);
    std::vector<uint8_t> pixels;
    const std::size_t size = StrideFor(format, width) * static_cast<std::size_t>(height);
    pixels.reserve(size + static_cast<std::size_t>(height)); // untouched until TakePixels' taker needs it
    pixels.resize(size);
    pixels_ = std::move(pixels);
    format_ = format;
    width_ = width;
    height_ = height;
    Palette.assign(format == TPixelFormat::Rgb24 ? 0 : std::size_t{1} << BitsOf(format), TRGB{});
}

void TBMPImage::AdoptPixels(TPixelFormat format, int32_t width, int32_t height, std::vector<uint8_t>&& pixels,
                            const char* message) {
    if (!SizeAllowed(format, width, height)) throw EInvalidGraphic(message);
    const std::size_t size = StrideFor(format, width) * static_cast<std::size_t>(height);
    if (pixels.size() < size) throw EInvalidGraphic(message);
    pixels.resize(size); // keeps the storage: the tail stays allocated until the picture goes
    pixels_ = std::move(pixels);
    format_ = format;
    width_ = width;
    height_ = height;
    Palette.assign(format == TPixelFormat::Rgb24 ? 0 : std::size_t{1} << BitsOf(format), TRGB{});
}

std::vector<uint8_t> TBMPImage::TakePixels() {
    std::vector<uint8_t> pixels = std::move(pixels_);
    *this = TBMPImage{};
    return pixels;
}

bool TBMPImage::GrayPalette() const {
    return std::all_of(Palette.begin(), Palette.end(),
                       [](const TRGB& c) { return c.R == c.G && c.G == c.B; });
}

void TBMPImage::ConvertTo24() {
    if (format_ == TPixelFormat::Rgb24) return;
    TBMPImage out;
    out.SetSize(TPixelFormat::Rgb24, width_, height_);
    const uint32_t bits = BitsOf(format_);
    for (int32_t y = 0; y < height_; ++y) {
        const auto src = Row(y);
        auto dst = out.Row(y);
        for (int32_t x = 0; x < width_; ++x) {
            uint32_t index = 0;
            if (bits == 8)
                index = src[x];
            else if (bits == 4)
                index = (src[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            else
                index = (src[x / 8] >> (7 - x % 8)) & 1;
            const TRGB c = index < Palette.size() ? Palette[index] : TRGB{};
            dst[3 * x] = c.B;
            dst[3 * x + 1] = c.G;
            dst[3 * x + 2] = c.R;
        }
    }
    out.XPelsPerMeter = XPelsPerMeter;
    out.YPelsPerMeter = YPelsPerMeter;
    *this = std::move(out);
}

} // namespace pagelith
