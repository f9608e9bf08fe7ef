// A plain Group 4 encoder that follows the coding steps pixel by pixel, with its own bit
// writer; the product's encoder must give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "images/readers/ccitt_codes.h"
#include "images/readers/working_bitmap.h"

namespace pagelith::testing {

class TReferenceGroup4 {
public:
    static std::string Encode(const TBMPImage& bitmap) {
        TReferenceGroup4 coder;
        const int32_t w = bitmap.Width();
        std::vector<uint8_t> reference(static_cast<std::size_t>(w), 1);
        std::vector<uint8_t> coding(static_cast<std::size_t>(w), 0);
        for (int32_t y = 0; y < bitmap.Height(); ++y) {
            const auto row = bitmap.Row(y);
            int32_t read = 0; // pixels unpacked into the coding line so far
            auto pixel = [&](int32_t x) {
                while (read <= x) {
                    coding[read] = (row[read / 8] >> (7 - read % 8)) & 1;
                    ++read;
                }
                return coding[x];
            };
            int32_t a0 = -1;
            uint8_t colour = 1;
            while (a0 < w) {
                int32_t a1 = a0 + 1;
                while (a1 < w && pixel(a1) == colour) ++a1;

                uint8_t previous = a0 == -1 ? 1 : reference[a0];
                int32_t b1 = a0 + 1;
                while (b1 < w && (reference[b1] == colour || reference[b1] == previous))
                    previous = reference[b1++];
                if (b1 == w && previous != colour) b1 = w + 10;
                int32_t b2 = b1 + 1;
                if (b1 >= w) {
                    b2 = b1 + 1;
                } else {
                    while (b2 < w && reference[b2] != colour) ++b2;
                }

                if (b2 < a1) {
                    coder.Put(kPassCode);
                    a0 = b2;
                } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
                    coder.Put(kVerticalCodes[a1 - b1 + 3]);
                    a0 = a1;
                    colour ^= 1;
                } else {
                    int32_t a2 = a1 + 1;
                    while (a2 < w && pixel(a2) != colour) ++a2;
                    if (a2 > w) a2 = w;
                    coder.Put(kHorizontalCode);
                    coder.Run(a0 == -1 ? a1 : a1 - a0, colour);
                    coder.Run(a2 - a1, colour ^ 1);
                    a0 = a2;
                }
            }
            pixel(w - 1);
            reference = coding;
        }
        coder.Put(kEndOfBlock);
        if (coder.bits_ > 0) coder.out_.push_back(static_cast<char>(coder.acc_));
        return coder.out_;
    }

private:
    void Put(TCCITTCode code) {
        for (int i = code.Length - 1; i >= 0; --i) {
            acc_ = static_cast<uint8_t>(acc_ | (((code.Value >> i) & 1) << (7 - bits_)));
            if (++bits_ == 8) {
                out_.push_back(static_cast<char>(acc_));
                acc_ = 0;
                bits_ = 0;
            }
        }
    }

    void Run(int32_t n, uint8_t colour) {
        while (n >= 64) {
            const int32_t m = n < 2560 ? n / 64 : 40;
            Put(colour ? kWhiteMakeUp[m] : kBlackMakeUp[m]);
            n -= m * 64;
        }
        Put(colour ? kWhiteTerminating[n] : kBlackTerminating[n]);
    }

    std::string out_;
    uint8_t acc_ = 0;
    int bits_ = 0;
};

} // namespace pagelith::testing
