// TIFF reader: one chosen picture of a (possibly multi-picture) file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_reader.h"
#include "images/readers/ccitt_decoder.h"
#include "images/readers/image_reader.h"

namespace pagelith {

class TTIFImage final : public TImageReader {
public:
    TTIFImage() = default;

    // Which picture to read, 1-based; set before loading.
    int32_t PictureNumber = 1;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void LoadFromView(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    uint32_t XResolution() const { return xResolution_; } // dots per inch, 0 = none
    uint32_t YResolution() const { return yResolution_; }
    uint16_t Compression() const { return compression_; }
    uint16_t Photometric() const { return photometric_; }
    uint16_t FillOrder() const { return fillOrder_; }
    // The Orientation tag, 1-8 (1 when absent or unusable).
    uint8_t Orientation() const { return orientation_; }
    uint32_t StripCount() const { return static_cast<uint32_t>(stripSizes_.size()); }
    // The picture's strip bytes, strips in order (for pass-through of a single strip).
    std::span<const uint8_t> StripData() const;
    // The raw ColorMap values of a palette picture (all reds, all greens, all blues).
    const std::vector<uint16_t>& ColorMap() const { return colorMap_; }

    // Number of pictures (IFDs) in a whole TIFF file; a looping chain ends the count.
    static uint32_t CountPictures(std::span<const uint8_t> file);

private:
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t xResolution_ = 0;
    uint32_t yResolution_ = 0;
    uint16_t compression_ = 1;
    uint16_t photometric_ = 0;
    uint16_t fillOrder_ = 1;
    uint8_t orientation_ = 1;
    // Concatenated on first request when the picture has several strips.
    mutable std::vector<uint8_t> stripData_;
    std::vector<uint32_t> stripSizes_; // bytes present in the file, per strip
    // The reader adds its own private state below.

    enum class TKind : uint8_t { Bilevel, Gray, Palette, Rgb, Cmyk };
    struct TEntry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        uint32_t field = 0;    // file position of the 4-byte value field
        uint32_t valuePos = 0; // where the values stand: the field itself or the offset it holds
    };

    void Reset();
    void Load(std::span<const uint8_t> data);
    void ReadEntry(TByteReader& reader);
    void ReadStrips();
    void CheckPictureSize() const;
    TKind Kind() const;
    TPixelFormat FormatOf(TKind kind) const;
    uint64_t PixelBits() const;
    uint64_t RowBytes() const;
    TCCITTCoding Coding() const;
    uint64_t Need(uint32_t rows) const;
    uint64_t Most(uint64_t bytes) const;
    void CheckStrips(TKind kind) const;
    std::span<const uint8_t> StripBytes(uint32_t strip) const;
    void DecodeStrip(TKind kind, TBMPImage& out, uint32_t strip, int32_t firstRow, int32_t rows) const;
    void ConvertRow(TKind kind, bool reverse, std::span<const uint8_t> src, std::span<uint8_t> dst) const;
    void DecodeCCITTStrip(std::span<const uint8_t> data, TBMPImage& out, int32_t firstRow,
                          int32_t rows) const;

    TByteReader::TOrder order_ = TByteReader::TOrder::LittleEndian;
    std::vector<uint8_t> owned_;    // the file's copy, unless the caller keeps the bytes
    std::span<const uint8_t> file_; // the file being read
    std::vector<uint16_t> bitsPerSample_;
    uint32_t bitsCount_ = 0; // count of the BitsPerSample tag, 0 when absent
    uint16_t samplesPerPixel_ = 1;
    uint32_t rowsPerStrip_ = UINT32_MAX;
    uint32_t strips_ = 0;
    uint16_t resolutionUnit_ = 2;
    double xRational_ = 0;
    double yRational_ = 0;
    uint16_t predictor_ = 1;
    uint32_t t4Options_ = 0;
    uint16_t inkSet_ = 0;
    uint16_t numberOfInks_ = 0;
    bool hasWidth_ = false, hasHeight_ = false, hasPhotometric_ = false;
    bool hasInkSet_ = false, hasNumberOfInks_ = false;
    TEntry offsetsEntry_, countsEntry_, colorMapEntry_;
    bool hasOffsets_ = false, hasCounts_ = false;
    std::vector<uint16_t> colorMap_;
    std::vector<uint32_t> stripOffsets_;
    std::vector<uint32_t> stripDeclared_; // byte counts as the file states them
};

} // namespace pagelith
