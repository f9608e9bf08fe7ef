#include "images/readers/jpeg_metadata.h"

#include <algorithm>
#include <string_view>

#include "base/byte_reader.h"
#include "images/readers/image_error.h"

namespace pagelith {

namespace {

[[noreturn]] void Broken() {
    throw EInvalidGraphic("Error reading metadata.");
}

bool StartsWith(std::span<const uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

uint32_t TiffTypeSize(uint16_t type) {
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
    case 13:
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 0; // unknown types are skipped, as TIFF readers must
    }
}

// Walks the IFD chain and the Exif, GPS and interoperability sub-IFDs.
void CheckExif(std::span<const uint8_t> tiff) {
    TByteReader r(tiff, TByteReader::TOrder::LittleEndian);
    if (StartsWith(tiff, "MM"))
        r.SetOrder(TByteReader::TOrder::BigEndian);
    else if (!StartsWith(tiff, "II"))
        Broken();
    if (!r.Has(0, 8) || r.U16At(2) != 42) Broken();
    std::vector<uint32_t> pending{*r.U32At(4)};
    std::vector<uint32_t> seen;
    while (!pending.empty()) {
        const uint32_t offset = pending.back();
        pending.pop_back();
        if (offset == 0) continue;
        // A chain that loops or fans out without end is as broken as one that leaves the segment.
        if (std::find(seen.begin(), seen.end(), offset) != seen.end() || seen.size() >= 64) Broken();
        seen.push_back(offset);
        const auto count = r.U16At(offset);
        if (!count || !r.Has(uint64_t{offset} + 2, uint64_t{*count} * 12 + 4)) Broken();
        for (uint32_t i = 0; i < *count; ++i) {
            const uint64_t entry = uint64_t{offset} + 2 + uint64_t{i} * 12;
            const uint16_t tag = *r.U16At(entry);
            const uint16_t type = *r.U16At(entry + 2);
            const uint32_t n = *r.U32At(entry + 4);
            const uint64_t size = uint64_t{n} * TiffTypeSize(type);
            if (size > 4 && !r.Has(*r.U32At(entry + 8), size)) Broken();
            if ((tag == 0x8769 || tag == 0x8825 || tag == 0xA005) && n == 1 && (type == 4 || type == 13))
                pending.push_back(*r.U32At(entry + 8));
        }
        pending.push_back(*r.U32At(uint64_t{offset} + 2 + uint64_t{*count} * 12));
    }
}

// Tag 0x0112 of IFD0, a single SHORT, once CheckExif has found the structure sound.
uint8_t ExifOrientation(std::span<const uint8_t> tiff) {
    const TByteReader r(tiff, StartsWith(tiff, "MM") ? TByteReader::TOrder::BigEndian
                                                     : TByteReader::TOrder::LittleEndian);
    const uint32_t ifd = r.U32At(4).value_or(0);
    const uint16_t count = r.U16At(ifd).value_or(0);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t entry = uint64_t{ifd} + 2 + uint64_t{i} * 12;
        if (r.U16At(entry) != 0x0112) continue;
        if (r.U16At(entry + 2) != 3 || r.U32At(entry + 4) != 1) return 1;
        const uint16_t value = r.U16At(entry + 8).value_or(1);
        return value >= 1 && value <= 8 ? static_cast<uint8_t>(value) : 1;
    }
    return 1;
}

// IPTC-NAA datasets: 0x1C, record, dataset, length (standard or extended); zero padding may end it.
void CheckIptc(std::span<const uint8_t> iptc) {
    TByteReader r(iptc, TByteReader::TOrder::BigEndian);
    while (r.Position() < r.Size()) {
        const uint8_t tag = r.U8();
        if (tag == 0) break;
        if (tag != 0x1C) Broken();
        r.Skip(2);
        uint64_t length = r.U16();
        if (length & 0x8000) {
            const uint32_t lengthBytes = length & 0x7FFF;
            if (lengthBytes > 4) Broken();
            length = 0;
            for (uint32_t i = 0; i < lengthBytes; ++i) length = (length << 8) | r.U8();
        }
        if (!r.Ok() || !r.Has(r.Position(), length)) Broken();
        r.Skip(length);
    }
}

// Image resources of an APP13 segment: "8BIM", id, padded Pascal name, size, padded data.
std::span<const uint8_t> FindIptc(std::span<const uint8_t> resources) {
    TByteReader r(resources, TByteReader::TOrder::BigEndian);
    std::span<const uint8_t> iptc;
    while (r.Size() - r.Position() >= 12) {
        if (!StartsWith(resources.subspan(r.Position()), "8BIM")) Broken();
        r.Skip(4);
        const uint16_t id = r.U16();
        const uint8_t nameLength = r.U8();
        r.Skip(nameLength + (nameLength % 2 == 0 ? 1u : 0u));
        const uint32_t size = r.U32();
        if (!r.Ok() || !r.Has(r.Position(), size)) Broken();
        if (id == 0x0404) iptc = r.Bytes(r.Position(), size);
        r.Skip(uint64_t{size} + size % 2);
    }
    return iptc;
}

} // namespace

void TJPEGMetadata::AddSegment(int marker, std::span<const uint8_t> payload) {
    if (marker == 0xE1 && StartsWith(payload, std::string_view("Exif\0\0", 6))) {
        if (!Exif.empty()) return; // only the first Exif segment counts
        const auto tiff = payload.subspan(6);
        CheckExif(tiff);
        Exif.assign(tiff.begin(), tiff.end());
        Orientation = ExifOrientation(tiff);
    } else if (marker == 0xED && StartsWith(payload, std::string_view("Photoshop 3.0\0", 14))) {
        const auto iptc = FindIptc(payload.subspan(14));
        CheckIptc(iptc);
        Iptc.insert(Iptc.end(), iptc.begin(), iptc.end());
    } else if (marker == 0xE2 && StartsWith(payload, std::string_view("ICC_PROFILE\0", 12))) {
        if (payload.size() < 14) Broken();
        iccChunks_.push_back({payload[12], payload[13], {payload.begin() + 14, payload.end()}});
    }
}

void TJPEGMetadata::Finish() {
    if (iccChunks_.empty()) return;
    const uint8_t count = iccChunks_.front().Count;
    if (count == 0 || iccChunks_.size() != count) Broken();
    std::sort(iccChunks_.begin(), iccChunks_.end(),
              [](const TIccChunk& a, const TIccChunk& b) { return a.Sequence < b.Sequence; });
    for (std::size_t i = 0; i < iccChunks_.size(); ++i)
        if (iccChunks_[i].Count != count || iccChunks_[i].Sequence != i + 1) Broken();
    for (const auto& chunk : iccChunks_)
        IccProfile.insert(IccProfile.end(), chunk.Bytes.begin(), chunk.Bytes.end());
    iccChunks_.clear();
    // The profile header states its own size; 128 bytes of header at least.
    const TByteReader r(IccProfile, TByteReader::TOrder::BigEndian);
    const auto size = r.U32At(0);
    if (!size || *size < 128 || *size > IccProfile.size()) Broken();
}

} // namespace pagelith
