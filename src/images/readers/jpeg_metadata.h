// Checks of the metadata a JPEG file carries (Exif, IPTC, ICC profile): each is walked with
// every offset and count checked against its segment; a broken one fails the load.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

// The metadata holders of one file: the segments' payloads after their signatures.
struct TJPEGMetadata {
    std::vector<uint8_t> Exif;       // TIFF structure
    std::vector<uint8_t> Iptc;       // IPTC-NAA records
    std::vector<uint8_t> IccProfile; // chunks joined in sequence order
    // The Exif Orientation of the primary picture, 1-8; 1 when absent or out of range.
    uint8_t Orientation = 1;

    // Takes one APPn segment; throws EInvalidGraphic "Error reading metadata." when broken.
    void AddSegment(int marker, std::span<const uint8_t> payload);
    // Joins the ICC chunks once all segments are in; throws as above when they do not fit.
    void Finish();

private:
    struct TIccChunk {
        uint8_t Sequence;
        uint8_t Count;
        std::vector<uint8_t> Bytes;
    };
    std::vector<TIccChunk> iccChunks_;
};

} // namespace pagelith
