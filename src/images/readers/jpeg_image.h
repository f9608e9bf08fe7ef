// JPEG reader over libjpeg: header, density and metadata on load; pixels on assignment.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"
#include "images/readers/jpeg_metadata.h"

namespace pagelith {

class TJPEGImageExtra final : public TImageReader {
public:
    TJPEGImageExtra() = default;

    // What a walk over the file's markers finds before libjpeg reads it.
    struct TLayout {
        uint32_t Scans = 0;        // start-of-scan markers
        uint64_t EntropyBytes = 0; // scan data, without stuffing and restart markers
    };

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void LoadFromView(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    bool Gray() const { return components_ == 1; }
    int Components() const { return components_; }
    // Adobe APP14 marker present, so four-component data is stored inverted.
    bool AdobeInverted() const { return adobeInverted_; }
    uint32_t XDensity() const { return xDensity_; } // dots per inch, 0 = unknown
    uint32_t YDensity() const { return yDensity_; }
    bool Progressive() const { return progressive_; }
    // Arithmetic-coded data, which PDF readers need not decode.
    bool ArithmeticCoded() const { return arithmetic_; }
    // Exif orientation, 1-8.
    uint8_t Orientation() const { return metadata_.Orientation; }
    // The whole file as loaded, for pass-through.
    std::span<const uint8_t> Data() const { return data_; }
    // Exif, IPTC and ICC data found on load, checked but not interpreted.
    const TJPEGMetadata& Metadata() const { return metadata_; }

private:
    void Load(std::span<const uint8_t> data);

    std::vector<uint8_t> owned_;    // the file's copy, unless the caller keeps the bytes
    std::span<const uint8_t> data_; // the file being read
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    int components_ = 0;
    bool adobeInverted_ = false;
    bool progressive_ = false;
    bool arithmetic_ = false;
    TLayout layout_;
    uint32_t xDensity_ = 0;
    uint32_t yDensity_ = 0;
    uint8_t densityUnit_ = 0; // as stored: 1 per inch, 2 per centimetre
    uint32_t rawXDensity_ = 0;
    uint32_t rawYDensity_ = 0;
    TJPEGMetadata metadata_;
};

} // namespace pagelith
