// Builds big-endian font tables in a growing buffer; patches outside what was written are ignored.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace pagelith {

class TSfntWriter {
public:
    void Reserve(std::size_t n) { Grow(n > size_ ? n - size_ : 0); }
    void U8(uint8_t v) { Put(std::array<uint8_t, 1>{v}); }
    void U16(uint16_t v) {
        Put(std::array<uint8_t, 2>{static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    }
    void U32(uint32_t v) {
        Put(std::array<uint8_t, 4>{static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                                   static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    }
    void Bytes(std::span<const uint8_t> bytes) { Put(bytes); }
    void Zeros(std::size_t n) {
        Grow(n);
        std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(size_), n, uint8_t{0});
        size_ += n;
    }
    // Tables start on 4-byte boundaries, and their checksums read whole 32-bit words.
    void PadTo4() { Zeros((4 - size_ % 4) % 4); }

    void Patch16(std::size_t pos, uint16_t v) {
        if (pos > size_ || size_ - pos < 2) return;
        bytes_[pos] = static_cast<uint8_t>(v >> 8);
        bytes_[pos + 1] = static_cast<uint8_t>(v);
    }
    void Patch32(std::size_t pos, uint32_t v) {
        Patch16(pos, static_cast<uint16_t>(v >> 16));
        Patch16(pos + 2, static_cast<uint16_t>(v));
    }

    std::size_t Size() const { return size_; }
    std::span<const uint8_t> View() const { return std::span<const uint8_t>(bytes_).first(size_); }
    std::vector<uint8_t> Take() {
        bytes_.resize(size_);
        size_ = 0;
        return std::move(bytes_);
    }

private:
    // Room for n more bytes, doubling so that many small writes stay linear.
    void Grow(std::size_t n) {
        if (bytes_.size() - size_ < n) bytes_.resize(std::max({2 * bytes_.size(), size_ + n, kFirstRoom}));
    }
    void Put(std::span<const uint8_t> bytes) {
        if (bytes.empty()) return;
        Grow(bytes.size());
        std::memcpy(bytes_.data() + size_, bytes.data(), bytes.size());
        size_ += bytes.size();
    }

    // Small tables start with room for a few dozen writes (GCC 12 also misreads growth from nothing).
    static constexpr std::size_t kFirstRoom = 64;
    std::vector<uint8_t> bytes_; // the first size_ bytes are written, the rest is room
    std::size_t size_ = 0;
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
