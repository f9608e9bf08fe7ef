#include "images/readers/png_inflater.h"

#include <algorithm>
#include <climits>

#include "images/readers/image_error.h"

namespace pagelith {
namespace {

const char* const kCorruptData = "Invalid compressed data in PNG image.";

} // namespace

TPngInflater::TPngInflater(std::span<const uint8_t> compressed) : rest_(compressed) {
    if (inflateInit(&stream_) != Z_OK) throw EInvalidGraphic("Cannot start decompressing PNG image data.");
}

TPngInflater::~TPngInflater() {
    inflateEnd(&stream_);
}

std::size_t TPngInflater::Fill(std::span<uint8_t> out) {
    stream_.next_out = out.data();
    std::size_t wanted = out.size();
    while (wanted > 0) {
        if (ended_) break;
        if (stream_.avail_in == 0 && !rest_.empty()) {
            const std::size_t take = std::min<std::size_t>(rest_.size(), UINT_MAX);
            stream_.next_in = const_cast<Bytef*>(rest_.data());
            stream_.avail_in = static_cast<uInt>(take);
            rest_ = rest_.subspan(take);
        }
        const std::size_t step = std::min<std::size_t>(wanted, UINT_MAX);
        stream_.avail_out = static_cast<uInt>(step);
        const int rc = inflate(&stream_, Z_NO_FLUSH);
        const std::size_t made = step - stream_.avail_out;
        produced_ += made;
        wanted -= made;
        switch (rc) {
        case Z_OK:
            break;
        case Z_STREAM_END:
            ended_ = true;
            break;
        case Z_BUF_ERROR:
            // No progress possible: unless more input waits, the data ends before the stream does.
            if (stream_.avail_in != 0 || rest_.empty()) ended_ = true;
            break;
        default:
            throw EInvalidGraphic(kCorruptData);
        }
    }
    return out.size() - wanted;
}

} // namespace pagelith
