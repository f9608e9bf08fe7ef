// Reads from a byte range in either byte order; every read is checked against its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pagelith {

class TByteReader {
public:
    enum class TOrder : uint8_t { BigEndian, LittleEndian };

    explicit TByteReader(std::span<const uint8_t> bytes, TOrder order = TOrder::BigEndian)
        : bytes_(bytes), order_(order) {}

    void SetOrder(TOrder order) { order_ = order; }
    TOrder Order() const { return order_; }

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
    int32_t S32() { return static_cast<int32_t>(U32()); }

    // True when n bytes from pos lie inside the range.
    bool Has(uint64_t pos, uint64_t n) const { return pos <= bytes_.size() && n <= bytes_.size() - pos; }

    // A 16-bit value at an absolute position, without moving; nothing when outside.
    std::optional<uint16_t> U16At(uint64_t pos) const {
        if (!Has(pos, 2)) return std::nullopt;
        const auto p = static_cast<std::size_t>(pos);
        if (order_ == TOrder::LittleEndian) return static_cast<uint16_t>(bytes_[p] | (bytes_[p + 1] << 8));
        return static_cast<uint16_t>((bytes_[p] << 8) | bytes_[p + 1]);
    }

    // A 32-bit value at an absolute position, without moving; nothing when outside.
    std::optional<uint32_t> U32At(uint64_t pos) const {
        if (!Has(pos, 4)) return std::nullopt;
        const auto p = static_cast<std::size_t>(pos);
        uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::size_t k = order_ == TOrder::LittleEndian ? 3 - i : i;
            v = (v << 8) | bytes_[p + k];
        }
        return v;
    }

    std::span<const uint8_t> Bytes(uint64_t pos, uint64_t n) const {
        if (!Has(pos, n)) return {};
        return bytes_.subspan(static_cast<std::size_t>(pos), static_cast<std::size_t>(n));
    }

private:
    // Reads n bytes in the reader's order; after a failure every read gives 0.
    uint32_t Take(std::size_t n) {
        if (!ok_ || !Has(pos_, n)) {
            ok_ = false;
            return 0;
        }
        uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t k = order_ == TOrder::LittleEndian ? n - 1 - i : i;
            v = (v << 8) | bytes_[pos_ + k];
        }
        pos_ += n;
        return v;
    }

    std::span<const uint8_t> bytes_;
    TOrder order_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace pagelith
