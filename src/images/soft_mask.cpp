#include "images/soft_mask.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/deflate.h"

namespace pagelith {

std::vector<uint8_t> IndexAlphaMask(const TBMPImage& bitmap, std::span<const uint8_t> alpha) {
    const auto width = static_cast<std::size_t>(std::max(bitmap.Width(), 0));
    const auto height = static_cast<std::size_t>(std::max(bitmap.Height(), 0));
    const uint32_t bits = TBMPImage::BitsOf(bitmap.Format());
    std::vector<uint8_t> mask(bits <= 8 ? width * height : 0, 255);
    if (mask.empty()) return mask;
    for (std::size_t y = 0; y < height; ++y) {
        const auto row = bitmap.Row(static_cast<int32_t>(y));
        uint8_t* out = mask.data() + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t bit = x * bits;
            const auto index =
                static_cast<std::size_t>((row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1));
            if (index < alpha.size()) out[x] = alpha[index];
        }
    }
    return mask;
}

void PrepareSoftMask(std::span<const uint8_t> mask, uint32_t width, uint32_t height, TPDFImageRes& image,
                     const std::shared_ptr<TByteSpool>& spool) {
    const std::size_t count = std::size_t{width} * height;
    if (count == 0 || mask.size() < count) return;
    mask = mask.first(count);
    if (std::all_of(mask.begin(), mask.end(), [](uint8_t a) { return a == 255; })) return;
    const bool binary = std::all_of(mask.begin(), mask.end(), [](uint8_t a) { return a == 0 || a == 255; });
    std::string samples;
    if (binary) {
        // Rows of whole bytes, bit 1 opaque.
        const std::size_t rowBytes = (std::size_t{width} + 7) / 8;
        samples.assign(rowBytes * height, '\0');
        for (std::size_t y = 0; y < height; ++y)
            for (std::size_t x = 0; x < width; ++x)
                if (mask[y * width + x] != 0)
                    samples[y * rowBytes + x / 8] |= static_cast<char>(0x80 >> (x % 8));
    }
    const std::string_view data = binary
                                      ? std::string_view(samples)
                                      : std::string_view(reinterpret_cast<const char*>(mask.data()), count);
    const TDeflated deflated = Deflate(data, kImageDeflateLevel);
    image.SoftMask = THeldBytes::Keep(deflated.View(), spool);
    image.SoftMaskBits = binary ? 1 : 8;
}

} // namespace pagelith
