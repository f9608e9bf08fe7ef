#include "images/readers/png_data_check.h"

#include <algorithm>
#include <climits>
#include <vector>

#include <zlib.h>

namespace pagelith {

bool PngRowsComplete(std::span<const uint8_t> compressed, uint64_t rowBytes, uint64_t rows) {
    const uint64_t stride = rowBytes + 1;
    if (rows == 0 || stride > UINT64_MAX / rows) return false;
    const uint64_t total = stride * rows;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    // Streamed through a small window: the check costs no memory of the picture's size.
    std::vector<uint8_t> window(static_cast<std::size_t>(std::min<uint64_t>(total + 1, 256 * 1024)));
    std::span<const uint8_t> rest = compressed;
    uint64_t at = 0; // bytes inflated so far
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (stream.avail_in == 0 && !rest.empty()) {
            const std::size_t take = std::min<std::size_t>(rest.size(), UINT_MAX);
            stream.next_in = const_cast<Bytef*>(rest.data());
            stream.avail_in = static_cast<uInt>(take);
            rest = rest.subspan(take);
        }
        stream.next_out = window.data();
        stream.avail_out = static_cast<uInt>(window.size());
        rc = inflate(&stream, Z_NO_FLUSH);
        const uint64_t made = window.size() - stream.avail_out;
        if (at + made > total) break;
        for (uint64_t tag = (at + stride - 1) / stride * stride; tag < at + made; tag += stride)
            if (window[static_cast<std::size_t>(tag - at)] > 4) rc = Z_DATA_ERROR;
        at += made;
    }
    const bool whole = rc == Z_STREAM_END && at == total && stream.avail_in == 0 && rest.empty();
    inflateEnd(&stream);
    return whole;
}

} // namespace pagelith
