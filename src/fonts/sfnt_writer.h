// Builds big-endian font tables in a growing buffer; patches outside what was written are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pagelith {

class TSfntWriter {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v >> 8));
        U8(static_cast<uint8_t>(v));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v >> 16));
        U16(static_cast<uint16_t>(v));
    }
    void Bytes(std::span<const uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    void Zeros(std::size_t n) { bytes_.resize(bytes_.size() + n, 0); }
    // Tables start on 4-byte boundaries, and their checksums read whole 32-bit words.
    void PadTo4() { Zeros((4 - bytes_.size() % 4) % 4); }

    void Patch16(std::size_t pos, uint16_t v) {
        if (pos > bytes_.size() || bytes_.size() - pos < 2) return;
        bytes_[pos] = static_cast<uint8_t>(v >> 8);
        bytes_[pos + 1] = static_cast<uint8_t>(v);
    }
    void Patch32(std::size_t pos, uint32_t v) {
        Patch16(pos, static_cast<uint16_t>(v >> 16));
        Patch16(pos + 2, static_cast<uint16_t>(v));
    }

    std::size_t Size() const { return bytes_.size(); }
    std::span<const uint8_t> View() const { return bytes_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// The sfnt checksum: the sum of big-endian 32-bit words, a short tail padded with zeros.
inline uint32_t SfntChecksum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    std::size_t i = 0;
    for (; bytes.size() - i >= 4; i += 4)
        sum += (uint32_t{bytes[i]} << 24) | (uint32_t{bytes[i + 1]} << 16) | (uint32_t{bytes[i + 2]} << 8) |
               bytes[i + 3];
    uint32_t tail = 0;
    for (std::size_t k = 0; k < 4; ++k) tail = (tail << 8) | (i + k < bytes.size() ? bytes[i + k] : 0u);
    return sum + tail;
}

} // namespace pagelith
