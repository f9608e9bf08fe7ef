#include "images/readers/ccitt_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "images/readers/bilevel_row.h"
#include "images/readers/ccitt_codes.h"
#include "images/readers/image_error.h"

namespace pagelith {
namespace {

constexpr const char* kCorrupt = "TIFF file image data corrupted";
constexpr uint32_t kWhite = 1;

[[noreturn]] void Corrupt() {
    throw EInvalidGraphic(kCorrupt);
}

// Run codes looked up by their next 13 bits, the longest code's length.
constexpr int kRunBits = 13;

struct TRunEntry {
    uint16_t Run = 0;
    uint8_t Length = 0; // 0: no code starts with these bits
    bool MakeUp = false;
};

using TRunTable = std::array<TRunEntry, std::size_t{1} << kRunBits>;

void AddCode(TRunTable& table, TCCITTCode code, int run, bool makeUp) {
    const uint32_t first = code.Value << (kRunBits - code.Length);
    const uint32_t count = uint32_t{1} << (kRunBits - code.Length);
    for (uint32_t i = 0; i < count; ++i) table[first + i] = {static_cast<uint16_t>(run), code.Length, makeUp};
}

TRunTable MakeRunTable(const std::array<TCCITTCode, 64>& terminating,
                       const std::array<TCCITTCode, kMaxMakeUpIndex + 1>& makeUp) {
    TRunTable table{};
    for (int run = 0; run < 64; ++run) AddCode(table, terminating[run], run, false);
    for (int m = 1; m <= kMaxMakeUpIndex; ++m) AddCode(table, makeUp[m], m * 64, true);
    return table;
}

const TRunTable& RunTable(uint32_t colour) {
    static const TRunTable white = MakeRunTable(kWhiteTerminating, kWhiteMakeUp);
    static const TRunTable black = MakeRunTable(kBlackTerminating, kBlackMakeUp);
    return colour == kWhite ? white : black;
}

// Reads the data most significant bit first; past the end it yields 0 bits and counts them.
class TBitSource {
public:
    explicit TBitSource(std::span<const uint8_t> data) : data_(data) {}

    // The next n bits (n <= 32).
    uint32_t Peek(int n) {
        if (bits_ < n) Refill();
        return static_cast<uint32_t>(acc_ >> (64 - n));
    }
    void Skip(int n) {
        acc_ = n < 64 ? acc_ << n : 0;
        bits_ -= n;
        consumed_ += static_cast<uint64_t>(n);
    }
    // Zero bits before the next 1 bit, counting at most limit of them.
    uint64_t SkipZeros(uint64_t limit) {
        uint64_t skipped = 0;
        while (skipped < limit) {
            if (bits_ < 57) Refill();
            const int zeros = std::min<int>(std::countl_zero(acc_), bits_);
            const auto take =
                static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(zeros), limit - skipped));
            Skip(take);
            skipped += static_cast<uint64_t>(take);
            if (take < bits_ || Exhausted()) break;
        }
        return skipped;
    }
    void AlignToByte() { Skip(static_cast<int>((8 - consumed_ % 8) % 8)); }
    uint64_t Consumed() const { return consumed_; }
    bool Exhausted() const { return consumed_ >= uint64_t{data_.size()} * 8; }
    bool Overrun() const { return consumed_ > uint64_t{data_.size()} * 8; }

private:
    void Refill() {
        while (bits_ <= 56) {
            const uint64_t byte = next_ < data_.size() ? data_[next_] : 0;
            ++next_;
            acc_ |= byte << (56 - bits_);
            bits_ += 8;
        }
    }

    std::span<const uint8_t> data_;
    std::size_t next_ = 0;
    uint64_t acc_ = 0;
    int bits_ = 0;
    uint64_t consumed_ = 0;
};

// Sets pixels [from, to) of a row that starts white to black.
void PaintBlack(std::span<uint8_t> row, int32_t from, int32_t to) {
    if (from >= to) return;
    auto first = static_cast<std::size_t>(from) >> 3;
    const auto last = static_cast<std::size_t>(to - 1) >> 3;
    const auto headMask = static_cast<uint8_t>(0xFF >> (from & 7));
    const auto tailMask = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));
    if (first == last) {
        row[first] &= static_cast<uint8_t>(~(headMask & tailMask));
        return;
    }
    row[first] &= static_cast<uint8_t>(~headMask);
    ++first;
    if (last > first) std::memset(row.data() + first, 0, last - first);
    row[last] &= static_cast<uint8_t>(~tailMask);
}

class TFaxDecoder {
public:
    TFaxDecoder(std::span<const uint8_t> data, int32_t width, int32_t height, std::span<uint8_t> dst,
                std::size_t stride)
        : in_(data), dataBytes_(data.size()), width_(width), height_(height), dst_(dst), stride_(stride),
          rowBytes_((static_cast<std::size_t>(width) + 7) / 8) {}

    void Decode(TCCITTCoding coding) {
        int32_t y = 0;
        try {
            for (; y < height_; ++y) {
                StartRow(y);
                switch (coding) {
                case TCCITTCoding::ModifiedHuffman:
                    DecodeRow1D(y);
                    in_.AlignToByte();
                    break;
                case TCCITTCoding::T4:
                    SkipEndOfLines();
                    DecodeRow1D(y);
                    break;
                case TCCITTCoding::T4TwoD: {
                    // Every row starts with an EOL and the bit that tells its coding.
                    if (!SkipEndOfLines()) Corrupt();
                    const bool oneD = in_.Peek(1) != 0;
                    in_.Skip(1);
                    if (oneD)
                        DecodeRow1D(y);
                    else
                        DecodeRow2D(y);
                    break;
                }
                case TCCITTCoding::T6:
                    DecodeRow2D(y);
                    break;
                }
                // Only T.6 may finish its last codes on bits the strip does not hold.
                if (coding != TCCITTCoding::T6 && in_.Overrun()) Corrupt();
            }
            // Modified Huffman strips must be used up exactly.
            if (coding == TCCITTCoding::ModifiedHuffman && in_.Consumed() != uint64_t{dataBytes_} * 8)
                Corrupt();
        } catch (const EInvalidGraphic&) {
            // What could not be decoded reads as white.
            for (int32_t rest = y; rest < height_; ++rest) StartRow(rest);
            throw;
        }
    }

private:
    std::span<uint8_t> Row(int32_t y) {
        return dst_.subspan(stride_ * static_cast<std::size_t>(y), rowBytes_);
    }

    void StartRow(int32_t y) {
        auto row = Row(y);
        std::memset(row.data(), 0xFF, rowBytes_);
        if (width_ % 8 != 0) row[rowBytes_ - 1] = static_cast<uint8_t>(0xFF << (8 - width_ % 8));
    }

    // One run of the given colour: make-up codes, then a terminating code; at most limit long.
    int32_t ReadRun(uint32_t colour, int32_t limit) {
        const TRunTable& table = RunTable(colour);
        int32_t run = 0;
        for (;;) {
            const TRunEntry entry = table[in_.Peek(kRunBits)];
            if (entry.Length == 0) Corrupt();
            in_.Skip(entry.Length);
            if (entry.Run > limit - run) Corrupt();
            run += entry.Run;
            if (!entry.MakeUp) return run;
        }
    }

    // Fill bits and EOL codes (11 or more 0 bits, then a 1) before a T.4 row; true when there was one.
    bool SkipEndOfLines() {
        for (bool any = false;; any = true) {
            if (in_.Peek(11) != 0) return any;
            in_.SkipZeros(UINT64_MAX);
            if (in_.Exhausted()) Corrupt(); // rows are missing
            in_.Skip(1);
        }
    }

    void DecodeRow1D(int32_t y) {
        auto row = Row(y);
        int32_t a0 = 0;
        uint32_t colour = kWhite;
        while (a0 < width_) {
            const int32_t run = ReadRun(colour, width_ - a0);
            if (colour != kWhite) PaintBlack(row, a0, a0 + run);
            a0 += run;
            colour ^= 1;
        }
    }

    enum class TMode : uint8_t { Invalid, Pass, Horizontal, Vertical, Zeros };

    struct TModeEntry {
        TMode Mode = TMode::Invalid;
        uint8_t Length = 0;
        int8_t Offset = 0; // a1 - b1 for vertical mode
    };

    static const std::array<TModeEntry, 128>& ModeTable() {
        static const std::array<TModeEntry, 128> table = [] {
            std::array<TModeEntry, 128> t{};
            auto add = [&t](TCCITTCode code, TMode mode, int offset) {
                const uint32_t first = code.Value << (7 - code.Length);
                for (uint32_t i = 0; i < (uint32_t{1} << (7 - code.Length)); ++i)
                    t[first + i] = {mode, code.Length, static_cast<int8_t>(offset)};
            };
            add(kPassCode, TMode::Pass, 0);
            add(kHorizontalCode, TMode::Horizontal, 0);
            for (int d = -3; d <= 3; ++d) add(kVerticalCodes[d + 3], TMode::Vertical, d);
            t[0] = {TMode::Zeros, 7, 0}; // only EOL (as part of EOFB) starts so
            return t;
        }();
        return table;
    }

    void DecodeRow2D(int32_t y) {
        auto row = Row(y);
        // The line above the first row is white.
        const bool firstRow = y == 0;
        const std::span<const uint8_t> ref =
            firstRow ? std::span<const uint8_t>{} : std::span<const uint8_t>(dst_).subspan(stride_ * (y - 1));
        const uint32_t white = kWhite;
        auto refPixel = [&](int32_t x) { return firstRow ? white : PixelAt(ref, x); };
        auto refChange = [&](int32_t x, uint32_t colour) {
            if (firstRow) return colour == white ? width_ : std::min(x, width_);
            return FindChange(ref, x, width_, colour);
        };

        int32_t a0 = -1;
        uint32_t colour = kWhite;
        while (a0 < width_) {
            const TModeEntry entry = ModeTable()[in_.Peek(7)];
            if (entry.Mode == TMode::Invalid || entry.Mode == TMode::Zeros) Corrupt(); // EOFB, extensions
            in_.Skip(entry.Length);
            const int32_t start = std::max(a0, 0);
            if (entry.Mode == TMode::Horizontal) {
                const int32_t run1 = ReadRun(colour, width_ - start);
                const int32_t run2 = ReadRun(colour ^ 1, width_ - start - run1);
                if (colour != kWhite)
                    PaintBlack(row, start, start + run1);
                else
                    PaintBlack(row, start + run1, start + run1 + run2);
                a0 = start + run1 + run2;
                continue;
            }
            const int32_t next = a0 + 1;
            const uint32_t before = a0 < 0 ? white : refPixel(a0);
            const int32_t b1 =
                before == colour ? refChange(next, colour) : refChange(refChange(next, colour ^ 1), colour);
            if (entry.Mode == TMode::Pass) {
                const int32_t b2 = b1 < width_ ? refChange(b1, colour ^ 1) : width_;
                if (colour != kWhite) PaintBlack(row, start, b2);
                a0 = b2;
                continue;
            }
            const int64_t a1 = int64_t{b1} + entry.Offset;
            if (a1 < start || a1 > width_) Corrupt();
            if (colour != kWhite) PaintBlack(row, start, static_cast<int32_t>(a1));
            a0 = static_cast<int32_t>(a1);
            colour ^= 1;
        }
    }

    TBitSource in_;
    std::size_t dataBytes_;
    int32_t width_;
    int32_t height_;
    std::span<uint8_t> dst_;
    std::size_t stride_;
    std::size_t rowBytes_;
};

// The make-up code that carries the most pixels per bit; the decoder takes such codes in any number.
struct TRatio {
    uint64_t Run;
    uint64_t Bits;
};
constexpr TRatio kDensest = [] {
    TRatio best{64, 64};
    for (int m = 1; m <= kMaxMakeUpIndex; ++m)
        for (const auto* table : {&kWhiteMakeUp, &kBlackMakeUp}) {
            const TRatio r{uint64_t(m) * 64, (*table)[m].Length};
            if (r.Run * best.Bits > best.Run * r.Bits) best = r;
        }
    return best;
}();

} // namespace

uint64_t MinCCITTBits(TCCITTCoding coding, uint64_t width, uint64_t height) {
    switch (coding) {
    case TCCITTCoding::T6:
        return height; // a vertical code of one bit can repeat the row above
    case TCCITTCoding::T4TwoD:
        return 14 * height; // after an EOL and a tag bit
    default:
        return std::max(height, width * height / kDensest.Run * kDensest.Bits);
    }
}

void DecodeCCITT(TCCITTCoding coding, std::span<const uint8_t> data, int32_t width, int32_t height,
                 std::span<uint8_t> dst, std::size_t stride) {
    if (width < 1 || height < 0) throw std::invalid_argument("fax picture without columns");
    if (height == 0) return;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    if (stride < rowBytes || dst.size() < rowBytes ||
        (dst.size() - rowBytes) / stride < static_cast<std::size_t>(height - 1))
        throw std::invalid_argument("fax picture larger than its destination");
    TFaxDecoder(data, width, height, dst, stride).Decode(coding);
}

} // namespace pagelith
