// PNG reader: the whole file on load, decoded on assignment, with an optional alpha mask.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"
#include "images/readers/png_pixels.h"

namespace pagelith {

// The transparency a PNG carries: a per-pixel mask (kind 4, and an 8-bit RGB key) or a per-index table.
struct TAlpha {
    enum TKind : uint8_t { SingleColor = 0, PaletteAlpha = 1, TransparentRGB = 3, Mask = 4 };
    TKind Kind = SingleColor;
    std::array<uint8_t, 256> PaletteValues{};
    uint32_t PaletteCount = 0;
    uint16_t TransparentGray = 0;
    bool GrayKey = false; // TransparentGray came from the file
    uint16_t TransparentRed = 0, TransparentGreen = 0, TransparentBlue = 0;
    int32_t TransparentIndex = -1;
    uint32_t TransparentColor = 0;
};

class TtsPNGImage final : public TImageReader {
public:
    TtsPNGImage() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

    // False before loading: no mask is made, and the working-memory bound leaves none room.
    bool WantMask = true;

    // After assignment: a per-pixel mask (width × height bytes, row 0 at the top, no padding,
    // 0 transparent, 255 opaque) when the picture carries an alpha channel or an RGB or 16-bit key.
    const std::vector<uint8_t>& AlphaMask() const { return alphaMask_; }
    // The alpha of each working-bitmap index when the transparency is a palette's or a 1- to 8-bit
    // gray key's; empty when there is none or no index is transparent.
    std::vector<uint8_t> IndexAlpha() const;
    int32_t MaskWidth() const { return maskWidth_; }
    int32_t MaskHeight() const { return maskHeight_; }

    // For data passed through as it stands: the header's facts, the image data (one zlib stream of
    // the filtered rows), and the format and palette the picture would decode to.
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    uint8_t BitDepth() const { return bitDepth_; }
    uint8_t ColorType() const { return colorType_; }
    bool Interlaced() const { return interlace_ != 0; }
    // An alpha channel or a tRNS chunk.
    bool Transparency() const { return colorType_ >= 4 || transparency_; }
    std::span<const uint8_t> ImageData() const { return compressed_; }
    const std::vector<TRGB>& FilePalette() const { return palette_; }
    TPixelFormat WorkingFormat() const { return PngWorkingFormat(kind_); }
    std::vector<TRGB> WorkingPalette() const;
    // The image data inflates completely to the rows the header promises (see PngRowsComplete).
    bool RowsComplete() const;

    const TAlpha& Alpha() const { return alpha_; }
    // From bKGD (0x00BBGGRR), kept though the document does not use it.
    bool BackgroundPresent() const { return backgroundPresent_; }
    uint32_t BackgroundColor() const { return backgroundColor_; }
    // From pHYs in pixels per metre; 0 unless the file gives metres.
    int32_t PhysicalX() const { return physX_; }
    int32_t PhysicalY() const { return physY_; }

private:
    void Reset();
    void ReadHeader(std::span<const uint8_t> body);
    void ReadPalette(std::span<const uint8_t> body);
    void ReadBackground(std::span<const uint8_t> body);
    void ReadTransparency(std::span<const uint8_t> body);
    void ReadPhysical(std::span<const uint8_t> body);
    uint64_t FilteredSize() const;

    std::vector<uint8_t> alphaMask_;
    int32_t maskWidth_ = 0;
    int32_t maskHeight_ = 0;

    bool loaded_ = false;
    bool haveHeader_ = false;
    uint8_t lastChunkKind_ = 0;
    uint32_t width_ = 0, height_ = 0;
    uint8_t bitDepth_ = 0, colorType_ = 0, interlace_ = 0;
    TPngPixelKind kind_ = TPngPixelKind::Gray1;
    std::vector<TRGB> palette_;
    std::vector<uint8_t> compressed_;
    bool backgroundPresent_ = false;
    uint32_t backgroundColor_ = 0xFFFFFF;
    int32_t physX_ = 0, physY_ = 0;
    TAlpha alpha_;
    bool transparency_ = false;
};

} // namespace pagelith
