#include "images/readers/wbmp_image.h"

#include <optional>

namespace pagelith {

namespace {

constexpr const char* kWbmpError = "Error reading WBMP file.";

// Seven bits per byte, most significant group first; more than five bytes counts as 0.
std::optional<uint64_t> ReadMultiByte(std::span<const uint8_t> data, std::size_t& pos) {
    uint64_t value = 0;
    for (int count = 1;; ++count) {
        if (pos >= data.size()) return std::nullopt;
        const uint8_t b = data[pos++];
        if (count <= 5) value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) return count <= 5 ? value : 0;
    }
}

} // namespace

void TWBMPImage::LoadFromBytes(std::span<const uint8_t> data) {
    width_ = height_ = 0;
    rows_.clear();
    if (data.size() < 2 || data[0] != 0 || data[1] >= 128) throw EInvalidGraphic(kWbmpError);
    std::size_t pos = 2;
    const auto width = ReadMultiByte(data, pos);
    const auto height = width ? ReadMultiByte(data, pos) : std::nullopt;
    if (!width || !height || *width == 0 || *height == 0 ||
        !TBMPImage::SizeAllowed(TPixelFormat::Indexed1, static_cast<int64_t>(*width),
                                static_cast<int64_t>(*height)))
        throw EInvalidGraphic(kWbmpError);
    CheckPixels(*width, *height);
    // The rows must all be there before anything is allocated for them.
    const uint64_t rowBytes = (*width + 7) / 8;
    if (rowBytes * *height > data.size() - pos) throw EInvalidGraphic(kWbmpError);
    width_ = static_cast<int32_t>(*width);
    height_ = static_cast<int32_t>(*height);
    const auto rows = data.subspan(pos, static_cast<std::size_t>(rowBytes * *height));
    rows_.assign(rows.begin(), rows.end());
}

void TWBMPImage::AssignTo(TBMPImage& bitmap) {
    if (width_ <= 0 || height_ <= 0) throw EInvalidGraphic(kWbmpError);
    bitmap.SetSize(TPixelFormat::Indexed1, width_, height_, kWbmpError);
    bitmap.Palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    bitmap.XPelsPerMeter = bitmap.YPelsPerMeter = 0;
    // A set bit is white, a clear bit paints its pixel black: the file's bits fit the palette as they are.
    const std::size_t rowBytes = (static_cast<std::size_t>(width_) + 7) / 8;
    const unsigned spare = static_cast<unsigned>(rowBytes * 8 - static_cast<std::size_t>(width_));
    for (int32_t y = 0; y < height_; ++y) {
        auto row = bitmap.Row(y);
        const uint8_t* src = rows_.data() + rowBytes * static_cast<std::size_t>(y);
        for (std::size_t i = 0; i < rowBytes; ++i) row[i] = src[i];
        // Bits past the width stay white, as the blank picture had them.
        if (spare) row[rowBytes - 1] |= static_cast<uint8_t>((1u << spare) - 1);
    }
}

} // namespace pagelith
