#include "images/readers/tif_packbits.h"

#include <algorithm>

namespace pagelith {

bool DecodePackBits(std::span<const uint8_t> data, std::span<uint8_t> out) {
    std::size_t in = 0;
    std::size_t pos = 0;
    while (in < data.size()) {
        const auto n = static_cast<int8_t>(data[in++]);
        if (n == -128) continue; // no-op
        if (n >= 0) {
            const std::size_t count = static_cast<std::size_t>(n) + 1;
            if (count > data.size() - in || count > out.size() - pos) return false;
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(in), count,
                        out.begin() + static_cast<std::ptrdiff_t>(pos));
            in += count;
            pos += count;
        } else {
            const std::size_t count = static_cast<std::size_t>(1 - n);
            if (in >= data.size() || count > out.size() - pos) return false;
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(pos), count, data[in++]);
            pos += count;
        }
    }
    return pos == out.size();
}

std::optional<uint64_t> PackBitsLength(std::span<const uint8_t> data) {
    std::size_t in = 0;
    uint64_t length = 0;
    while (in < data.size()) {
        const auto n = static_cast<int8_t>(data[in++]);
        if (n == -128) continue;
        const std::size_t count = n >= 0 ? static_cast<std::size_t>(n) + 1 : static_cast<std::size_t>(1 - n);
        const std::size_t bytes = n >= 0 ? count : 1;
        if (bytes > data.size() - in) return std::nullopt;
        in += bytes;
        length += count;
    }
    return length;
}

} // namespace pagelith
