// The PNG reader on arbitrary bytes: load, assignment into a working bitmap, and the alpha merge.
// Mutated files mostly fail their chunk CRCs or their deflate data, so each input is also tried
// with its CRCs repaired, and an input without the signature is taken as 13 IHDR bytes followed by
// unfiltered image data, which is deflated into a complete file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include <zlib.h>

#include "images/alpha_merge.h"
#include "images/readers/png_image.h"

namespace {

using namespace pagelith;

void Run(std::span<const uint8_t> file, uint32_t color) {
    TtsPNGImage png;
    TBMPImage bitmap;
    try {
        png.LoadFromBytes(file);
        png.AssignTo(bitmap);
    } catch (const EInvalidGraphic&) {
        return;
    }
    MergeAlpha(bitmap, png.AlphaMask(), png.MaskWidth(), png.MaskHeight(), color);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

void Chunk(std::vector<uint8_t>& out, const char* type, std::span<const uint8_t> body) {
    const std::size_t at = out.size();
    out.resize(at + 12 + body.size());
    PutU32(&out[at], static_cast<uint32_t>(body.size()));
    std::memcpy(&out[at + 4], type, 4);
    if (!body.empty()) std::memcpy(&out[at + 8], body.data(), body.size());
    PutU32(&out[at + 8 + body.size()], static_cast<uint32_t>(crc32(0, &out[at + 4], uInt(4 + body.size()))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    const uint32_t color = size % 2 ? 0xFFFFFF : 0x808080;
    Run(input, color);

    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 8 && std::memcmp(data, kSignature, 8) == 0) {
        std::vector<uint8_t> fixed(input.begin(), input.end());
        for (std::size_t at = 8; at + 12 <= fixed.size();) {
            const uint32_t len =
                (uint32_t(fixed[at]) << 24) | (fixed[at + 1] << 16) | (fixed[at + 2] << 8) | fixed[at + 3];
            if (len > fixed.size() - at - 12) break;
            PutU32(&fixed[at + 8 + len], static_cast<uint32_t>(crc32(0, &fixed[at + 4], uInt(4 + len))));
            at += 12 + len;
        }
        Run(fixed, color);
    } else if (size >= 13) {
        std::vector<uint8_t> file(kSignature, kSignature + 8);
        Chunk(file, "IHDR", input.first(13));
        // A palette and transparency for whichever colour type the header names.
        std::vector<uint8_t> palette(768);
        for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<uint8_t>(i * 7);
        Chunk(file, "PLTE", palette);
        Chunk(file, "tRNS", input.first(data[12] % 7));
        uLongf packedSize = compressBound(uLong(size - 13));
        std::vector<uint8_t> packed(packedSize);
        compress2(packed.data(), &packedSize, data + 13, uLong(size - 13), 1);
        packed.resize(packedSize);
        Chunk(file, "IDAT", packed);
        Chunk(file, "IEND", {});
        Run(file, color);
    }
    return 0;
}
