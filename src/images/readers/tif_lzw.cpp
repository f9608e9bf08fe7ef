#include "images/readers/tif_lzw.h"

#include <array>

#include "images/readers/lzw_bound.h"

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

struct TTable {
    std::array<uint16_t, kTableSize> prefix{};
    std::array<uint8_t, kTableSize> suffix{};
    std::array<uint8_t, kTableSize> first{};
    std::array<uint16_t, kTableSize> length{};
};

// Runs the codes of a strip, handing each one to emit (table, code, bytes so far), which returns
// false when it has no room. The decoded length, or nothing for corrupt data.
template <typename TEmit>
std::optional<uint64_t> RunCodes(std::span<const uint8_t> data, TTable& t, TEmit&& emit) {
    for (uint32_t i = 0; i < 256; ++i) {
        t.suffix[i] = t.first[i] = static_cast<uint8_t>(i);
        t.length[i] = 1;
    }
    TBitSource bits(data);
    uint64_t pos = 0;
    uint32_t next = kFirstFree;
    uint32_t width = 9;
    int32_t prev = -1;
    bool ended = false;

    auto put = [&](uint32_t code) {
        if (!emit(t, code, pos)) return false;
        pos += t.length[code];
        return true;
    };
    auto add = [&](uint32_t base, uint8_t byte) {
        if (next >= kTableSize) return; // a full table is kept until the next clear
        t.prefix[next] = static_cast<uint16_t>(base);
        t.suffix[next] = byte;
        t.first[next] = t.first[base];
        t.length[next] = static_cast<uint16_t>(t.length[base] + 1);
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
            if (code > 255 || !put(code)) return std::nullopt;
        } else if (code < next) {
            if (!put(code)) return std::nullopt;
            add(static_cast<uint32_t>(prev), t.first[code]);
        } else if (code == next && next < kTableSize) {
            add(static_cast<uint32_t>(prev), t.first[static_cast<uint32_t>(prev)]);
            if (!put(code)) return std::nullopt;
        } else {
            return std::nullopt;
        }
        prev = static_cast<int32_t>(code);
    }
    if (ended && bits.BytesUsed() != data.size()) return std::nullopt;
    return pos;
}

} // namespace

uint64_t MaxTIFFLZWOutput(uint64_t dataSize) {
    // Codes take 9 bits or more, and the longest string is one byte longer than the table's free codes.
    return MaxLZWOutput(dataSize * 8 / 9, kTableSize - kFirstFree + 1);
}

std::optional<uint64_t> TIFFLZWLength(std::span<const uint8_t> data) {
    TTable table;
    return RunCodes(data, table, [](const TTable&, uint32_t, uint64_t) { return true; });
}

bool DecodeTIFFLZW(std::span<const uint8_t> data, std::span<uint8_t> out) {
    TTable table;
    // Writes a table string at pos, back to front.
    auto write = [&out](const TTable& t, uint32_t code, uint64_t pos) {
        const std::size_t n = t.length[code];
        if (n > out.size() - pos) return false;
        for (std::size_t i = n; i-- > 0;) {
            out[pos + i] = t.suffix[code];
            code = t.prefix[code];
        }
        return true;
    };
    return RunCodes(data, table, write) == out.size();
}

} // namespace pagelith
