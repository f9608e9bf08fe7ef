// The working bitmap every reader fills and every encoder reads: a device-independent
// bitmap in memory, row 0 at the top, rows padded to four bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

enum class TPixelFormat : uint8_t { Indexed1 = 1, Indexed4 = 4, Indexed8 = 8, Rgb24 = 24 };

struct TRGB {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TRGB&) const = default;
};

// No picture may need more working memory than this, whatever its file says.
inline constexpr uint64_t kMaxBitmapBytes = uint64_t{1} << 30;

class TBMPImage {
public:
    TBMPImage() = default;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    TPixelFormat Format() const { return format_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    static uint32_t BitsOf(TPixelFormat f) { return static_cast<uint32_t>(f); }

    // Bytes per stored row, padded to a multiple of 4.
    std::size_t Stride() const { return StrideFor(format_, width_); }
    static std::size_t StrideFor(TPixelFormat format, int64_t width);

    // True when a picture of this size fits the working-memory bound.
    static bool SizeAllowed(TPixelFormat format, int64_t width, int64_t height);

    // Allocates zeroed rows; throws EInvalidGraphic with message when the size is
    // negative or beyond kMaxBitmapBytes. The palette gets 2^bits black entries.
    void SetSize(TPixelFormat format, int32_t width, int32_t height,
                 const char* message = "Image is too large");

    // Takes pixels, which hold the rows in this layout and possibly more, as the picture's rows: a
    // reader that decodes within one buffer hands it over instead of copying it. Same checks as SetSize.
    void AdoptPixels(TPixelFormat format, int32_t width, int32_t height, std::vector<uint8_t>&& pixels,
                     const char* message = "Image is too large");

    std::span<uint8_t> Row(int32_t y) { return {pixels_.data() + Stride() * std::size_t(y), Stride()}; }
    std::span<const uint8_t> Row(int32_t y) const {
        return {pixels_.data() + Stride() * std::size_t(y), Stride()};
    }
    std::span<uint8_t> Pixels() { return pixels_; }
    std::span<const uint8_t> Pixels() const { return pixels_; }
    // Hands the rows over and leaves the picture empty. SetSize leaves room for one more byte a row
    // beyond them, so that an encoder can put a tag before each row without moving the picture.
    std::vector<uint8_t> TakePixels();

    // Indexed formats only; its size is 2^bits after SetSize and may be shortened.
    std::vector<TRGB> Palette;

    int32_t XPelsPerMeter = 0;
    int32_t YPelsPerMeter = 0;

    // Brings an indexed picture to 24-bit, keeping its colours.
    void ConvertTo24();
    // True when every palette entry has red = green = blue.
    bool GrayPalette() const;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    TPixelFormat format_ = TPixelFormat::Rgb24;
    std::vector<uint8_t> pixels_;
};

} // namespace pagelith
