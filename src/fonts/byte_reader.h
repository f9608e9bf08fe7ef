// Big-endian reads from a byte range; every read is checked against its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pagelith {

class TByteReader {
public:
    explicit TByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    std::size_t Position() const { return pos_; }
    bool Ok() const { return ok_; }

    // Moving outside the range fails the reader, as a read there would.
    void Seek(uint64_t pos) {
        if (pos > bytes_.size()) {
            ok_ = false;
            pos_ = bytes_.size();
        } else {
            pos_ = static_cast<std::size_t>(pos);
        }
    }
    void Skip(uint64_t n) { Seek(static_cast<uint64_t>(pos_) + n); }

    uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
    int16_t S16() { return static_cast<int16_t>(U16()); }
    uint32_t U32() { return static_cast<uint32_t>(Take(4)); }

    // True when n bytes from pos lie inside the range.
    bool Has(uint64_t pos, uint64_t n) const { return pos <= bytes_.size() && n <= bytes_.size() - pos; }

    // A 16-bit value at an absolute position, without moving; nothing when outside.
    std::optional<uint16_t> U16At(uint64_t pos) const {
        if (!Has(pos, 2)) return std::nullopt;
        const auto p = static_cast<std::size_t>(pos);
        return static_cast<uint16_t>((bytes_[p] << 8) | bytes_[p + 1]);
    }

    std::span<const uint8_t> Bytes(uint64_t pos, uint64_t n) const {
        if (!Has(pos, n)) return {};
        return bytes_.subspan(static_cast<std::size_t>(pos), static_cast<std::size_t>(n));
    }

private:
    // Reads n big-endian bytes; after a failure every read gives 0.
    uint32_t Take(std::size_t n) {
        if (!ok_ || !Has(pos_, n)) {
            ok_ = false;
            return 0;
        }
        uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i) v = (v << 8) | bytes_[pos_ + i];
        pos_ += n;
        return v;
    }

    std::span<const uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace pagelith
