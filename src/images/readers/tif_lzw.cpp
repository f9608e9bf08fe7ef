#include "images/readers/tif_lzw.h"

#include <array>

namespace pagelith {

namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;
constexpr uint32_t kFirstFree = 258;
constexpr uint32_t kTableSize = 4096;

class TBitSource {
public:
    explicit TBitSource(std::span<const uint8_t> data) : data_(data) {}

    // False when fewer than width bits are left.
    bool Read(uint32_t width, uint32_t& code) {
        while (held_ < width) {
            if (next_ >= data_.size()) return false;
            bits_ = (bits_ << 8) | data_[next_++];
            held_ += 8;
        }
        held_ -= width;
        code = (bits_ >> held_) & ((1u << width) - 1);
        return true;
    }
    // Fewer than 8 bits are ever held back, so every byte fetched is in use.
    std::size_t BytesUsed() const { return next_; }

private:
    std::span<const uint8_t> data_;
    std::size_t next_ = 0;
    uint32_t bits_ = 0;
    uint32_t held_ = 0;
};

} // namespace

uint64_t MaxTIFFLZWOutput(uint64_t dataSize) {
    // Every code takes at least 9 bits and yields at most one byte less than the table holds.
    return dataSize * 8 / 9 * (kTableSize - kFirstFree + 1);
}

bool DecodeTIFFLZW(std::span<const uint8_t> data, std::span<uint8_t> out) {
    std::array<uint16_t, kTableSize> prefix{};
    std::array<uint8_t, kTableSize> suffix{};
    std::array<uint8_t, kTableSize> first{};
    std::array<uint16_t, kTableSize> length{};
    for (uint32_t i = 0; i < 256; ++i) {
        suffix[i] = first[i] = static_cast<uint8_t>(i);
        length[i] = 1;
    }

    TBitSource bits(data);
    std::size_t pos = 0;
    uint32_t next = kFirstFree;
    uint32_t width = 9;
    int32_t prev = -1;
    bool ended = false;

    // Writes a table string at pos, back to front.
    auto emit = [&](uint32_t code) {
        const std::size_t n = length[code];
        if (n > out.size() - pos) return false;
        for (std::size_t i = n; i-- > 0;) {
            out[pos + i] = suffix[code];
            code = prefix[code];
        }
        pos += n;
        return true;
    };
    auto add = [&](uint32_t base, uint8_t byte) {
        if (next >= kTableSize) return; // a full table is kept until the next clear
        prefix[next] = static_cast<uint16_t>(base);
        suffix[next] = byte;
        first[next] = first[base];
        length[next] = static_cast<uint16_t>(length[base] + 1);
        ++next;
        if (next == (1u << width) - 1 && width < 12) ++width;
    };

    uint32_t code = 0;
    while (bits.Read(width, code)) {
        if (code == kEnd) {
            ended = true;
            break;
        }
        if (code == kClear) {
            next = kFirstFree;
            width = 9;
            prev = -1;
            continue;
        }
        if (prev < 0) {
            if (code > 255 || !emit(code)) return false;
        } else if (code < next) {
            if (!emit(code)) return false;
            add(static_cast<uint32_t>(prev), first[code]);
        } else if (code == next && next < kTableSize) {
            add(static_cast<uint32_t>(prev), first[static_cast<uint32_t>(prev)]);
            if (!emit(code)) return false;
        } else {
            return false;
        }
        prev = static_cast<int32_t>(code);
    }
    if (pos != out.size()) return false;
    return !ended || bits.BytesUsed() == data.size();
}

} // namespace pagelith
