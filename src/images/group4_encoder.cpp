#include "images/group4_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "images/readers/bilevel_row.h"
#include "images/readers/ccitt_codes.h"
#include "images/readers/image_error.h"

namespace pagelith {
namespace {

constexpr uint32_t kWhite = 1;
constexpr uint32_t kBlack = 0;

// Bits go into a 64-bit accumulator from the top and leave it four bytes at a time through a
// local buffer, so the output string grows in large steps only.
class TBitSink {
public:
    explicit TBitSink(std::string& out) : out_(out) {}

    void Put(TCCITTCode code) {
        acc_ |= uint64_t{code.Value} << (64 - bits_ - code.Length);
        bits_ += code.Length;
        if (bits_ >= 32) {
            const auto word = static_cast<uint32_t>(acc_ >> 32);
            buffer_[used_] = static_cast<char>(word >> 24);
            buffer_[used_ + 1] = static_cast<char>(word >> 16);
            buffer_[used_ + 2] = static_cast<char>(word >> 8);
            buffer_[used_ + 3] = static_cast<char>(word);
            used_ += 4;
            acc_ <<= 32;
            bits_ -= 32;
            if (used_ == buffer_.size()) Drain();
        }
    }

    void PutRun(int32_t run, const std::array<TCCITTCode, kMaxMakeUpIndex + 1>& makeUp,
                const std::array<TCCITTCode, 64>& terminating) {
        while (run >= 64) {
            const int32_t m = run < 2560 ? run / 64 : kMaxMakeUpIndex;
            Put(makeUp[static_cast<std::size_t>(m)]);
            run -= m * 64;
        }
        Put(terminating[static_cast<std::size_t>(run)]);
    }

    // Writes what is left, the last byte padded with 0 bits.
    void Finish() {
        while (bits_ > 0) {
            buffer_[used_++] = static_cast<char>(acc_ >> 56);
            acc_ <<= 8;
            bits_ = bits_ > 8 ? bits_ - 8 : 0;
        }
        Drain();
    }

private:
    void Drain() {
        out_.append(buffer_.data(), used_);
        used_ = 0;
    }

    std::string& out_;
    std::array<char, 16384> buffer_{};
    std::size_t used_ = 0;
    uint64_t acc_ = 0;
    int bits_ = 0;
};

void PutRun(TBitSink& sink, int32_t run, uint32_t colour) {
    if (colour == kWhite)
        sink.PutRun(run, kWhiteMakeUp, kWhiteTerminating);
    else
        sink.PutRun(run, kBlackMakeUp, kBlackTerminating);
}

// One row of two-dimensional coding. cur and ref reach at least to the end of their row; both
// are scanned for changing elements a word at a time rather than pixel by pixel.
void EncodeRow(std::span<const uint8_t> cur, std::span<const uint8_t> ref, int32_t width, TBitSink& sink) {
    const uint32_t refLast = PixelAt(ref, width - 1);
    int32_t a0 = -1;
    uint32_t colour = kWhite;
    while (a0 < width) {
        const int32_t start = a0 + 1;
        const int32_t a1 = FindChange(cur, start, width, colour);

        // b1: the next changing element of the reference line after a0 whose colour is the
        // opposite of colour; the pixel before the line counts as white.
        const uint32_t before = a0 < 0 ? kWhite : PixelAt(ref, a0);
        int32_t b1 = before == colour
                         ? FindChange(ref, start, width, colour)
                         : FindChange(ref, FindChange(ref, start, width, colour ^ 1), width, colour);
        // With no such element and a reference line ending in the opposite colour, b1 lies
        // beyond the line, which forces horizontal mode.
        const bool beyond = b1 == width && refLast != colour;
        if (!beyond) {
            if (b1 < width) {
                const int32_t b2 = FindChange(ref, b1, width, colour ^ 1);
                if (b2 < a1) {
                    sink.Put(kPassCode);
                    a0 = b2;
                    continue;
                }
            }
            const int32_t d = a1 - b1;
            if (d >= -3 && d <= 3) {
                sink.Put(kVerticalCodes[static_cast<std::size_t>(d + 3)]);
                a0 = a1;
                colour ^= 1;
                continue;
            }
        }
        const int32_t a2 = a1 < width ? FindChange(cur, a1, width, colour ^ 1) : width;
        sink.Put(kHorizontalCode);
        PutRun(sink, a1 - std::max(a0, 0), colour);
        PutRun(sink, a2 - a1, colour ^ 1);
        a0 = a2;
    }
}

} // namespace

void EncodeGroup4(const TBMPImage& bitmap, std::string& out) {
    if (bitmap.Format() != TPixelFormat::Indexed1 || bitmap.Empty())
        throw EInvalidGraphic("Group 4 coding needs a 1-bit picture with rows and columns");
    const int32_t width = bitmap.Width();
    const std::size_t stride = bitmap.Stride();
    const std::span<const uint8_t> pixels = bitmap.Pixels();
    // The line above the first row is white.
    const std::vector<uint8_t> white(stride, 0xFF);

    TBitSink sink(out);
    std::span<const uint8_t> ref = white;
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        // The spans run on to the end of the picture so that word loads near a row's end stay
        // fast; bits past the width are never taken as pixels.
        const std::span<const uint8_t> cur = pixels.subspan(stride * static_cast<std::size_t>(y));
        EncodeRow(cur, ref, width, sink);
        ref = cur;
    }
    sink.Put(kEndOfBlock);
    sink.Finish();
}

} // namespace pagelith
