// libFuzzer round trip of the Group 4 coder: a picture made from the input is encoded, must
// match the plain reference coder byte for byte (narrow pictures) and must decode to the same
// pixels.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "images/group4_encoder.h"
#include "images/group4_reference.h"
#include "images/readers/ccitt_decoder.h"

namespace {

// Bytes 0-2 give the size; byte 3 picks how the rest paints the rows: as raw bits, as run
// lengths in alternating colours, or as runs with every other row a shifted copy of the one
// above (edges that move a little, where pass and vertical modes take over).
pagelith::TBMPImage MakePicture(const uint8_t* data, std::size_t size) {
    // Wide pictures (long runs, repeated 2560 make-up codes) get few rows, to keep runs fast.
    const int32_t wide = data[2] & 0x80;
    const int32_t width = 1 + ((data[0] | (data[1] << 8)) % (wide ? 5300 : 160));
    const int32_t height = 1 + data[2] % (wide ? 2 : 12);
    const int mode = data[3] % 3;
    data += 4;
    size -= 4;
    pagelith::TBMPImage bitmap;
    bitmap.SetSize(pagelith::TPixelFormat::Indexed1, width, height);
    std::size_t at = 0;
    auto next = [&]() -> uint8_t { return size == 0 ? 0 : data[at++ % size]; };
    auto set = [&](int32_t x, int32_t y, bool white) {
        auto row = bitmap.Row(y);
        const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
        row[x / 8] = static_cast<uint8_t>(white ? row[x / 8] | bit : row[x / 8] & ~bit);
    };
    for (int32_t y = 0; y < height; ++y) {
        auto row = bitmap.Row(y);
        if (mode == 0) {
            for (auto& b : row) b = next();
            continue;
        }
        if (mode == 2 && y % 2 == 1) {
            const int shift = next() % 7 - 3;
            for (int32_t x = 0; x < width; ++x) {
                const int32_t from = std::clamp(x - shift, 0, width - 1);
                set(x, y, (bitmap.Row(y - 1)[from / 8] >> (7 - from % 8)) & 1);
            }
            continue;
        }
        bool white = next() & 1;
        for (int32_t x = 0; x < width;) {
            const uint8_t b = next();
            // Mostly short runs, sometimes runs around the make-up code boundaries.
            const int32_t run = b < 240 ? b % 70 + 1 : 64 * (b - 239) * 10 + next() % 130;
            for (int32_t i = 0; i < run && x < width; ++i, ++x) set(x, y, white);
            white = !white;
        }
        for (std::size_t i = (static_cast<std::size_t>(width) + 7) / 8; i < row.size(); ++i) row[i] = next();
        if (width % 8 != 0)
            row[width / 8] = static_cast<uint8_t>(row[width / 8] | (0xFF >> (width % 8)) * (next() & 1));
    }
    return bitmap;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const pagelith::TBMPImage bitmap = MakePicture(data, size);
    std::string coded;
    pagelith::EncodeGroup4(bitmap, coded);
    // The reference walks the whole reference line at every step, too slow for wide rows.
    if (bitmap.Width() <= 400 && coded != pagelith::testing::TReferenceGroup4::Encode(bitmap)) std::abort();

    const std::size_t stride = bitmap.Stride();
    std::vector<uint8_t> back(stride * static_cast<std::size_t>(bitmap.Height()));
    pagelith::DecodeCCITT(pagelith::TCCITTCoding::T6,
                          {reinterpret_cast<const uint8_t*>(coded.data()), coded.size()}, bitmap.Width(),
                          bitmap.Height(), back, stride);
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        const auto row = bitmap.Row(y);
        for (int32_t x = 0; x < bitmap.Width(); ++x) {
            const int want = (row[x / 8] >> (7 - x % 8)) & 1;
            const int got = (back[stride * y + x / 8] >> (7 - x % 8)) & 1;
            if (want != got) std::abort();
        }
    }
    return 0;
}
