// GIF reader: the first frame, drawn into a picture of the logical screen's size.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith {

// The GIF reader's own error class, still an invalid graphic to its callers.
class GIFException : public EInvalidGraphic {
public:
    explicit GIFException(const std::string& message) : EInvalidGraphic(message) {}
};

class TGIFImage final : public TImageReader {
public:
    TGIFImage() = default;

    void LoadFromBytes(std::span<const uint8_t> data) override;
    void AssignTo(TBMPImage& bitmap) override;

    // False before assignment: no mask is made.
    bool WantMask = true;
    // After assignment, when the frame has a transparent index: screen width × height bytes, row 0
    // at the top, 0 where the screen shows through (that index, and the screen outside the frame),
    // 255 elsewhere. Else empty.
    const std::vector<uint8_t>& AlphaMask() const { return alphaMask_; }

private:
    struct TFrame {
        uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
        bool Interlaced = false;
        std::vector<TRGB> LocalColors;
        bool HasLocalColors = false;
        int Transparent = -1; // from the graphic control extension before the frame
        uint8_t CodeSize = 0;
        std::vector<uint8_t> Data; // the LZW sub-blocks joined
    };

    // Decodes the frame's LZW data into Width × Height indices, row by row in file order.
    static std::vector<uint8_t> Decode(const TFrame& frame);

    uint16_t screenWidth_ = 0;
    uint16_t screenHeight_ = 0;
    std::vector<TRGB> globalColors_;
    bool hasGlobalColors_ = false;
    bool loaded_ = false;
    TFrame first_;
    std::vector<uint8_t> alphaMask_;
};

} // namespace pagelith
