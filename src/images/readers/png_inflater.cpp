#include "images/readers/png_inflater.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include <libdeflate.h>

#include "images/readers/image_error.h"

namespace pagelith {
namespace {

const char* const kCorruptData = "Invalid compressed data in PNG image.";

} // namespace

TPngInflater::TPngInflater(std::span<const uint8_t> compressed, uint64_t expected, uint64_t maxApart)
    : compressed_(compressed), expected_(expected), maxApart_(maxApart), rest_(compressed) {}

// Inflates all the data into out in one call; false, with out spoilt, unless it is complete.
bool TPngInflater::TryWhole(std::span<uint8_t> out) {
    std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> d(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!d) return false;
    std::size_t made = 0;
    if (libdeflate_zlib_decompress(d.get(), compressed_.data(), compressed_.size(), out.data(), out.size(),
                                   &made) != LIBDEFLATE_SUCCESS)
        return false;
    wholeSize_ = made;
    return true;
}

void TPngInflater::StartStreaming() {
    if (inflateInit(&stream_) != Z_OK) throw EInvalidGraphic("Cannot start decompressing PNG image data.");
    streaming_ = true;
}

TPngInflater::~TPngInflater() {
    if (streaming_) inflateEnd(&stream_);
}

std::size_t TPngInflater::Fill(std::span<uint8_t> out) {
    if (!started_) {
        started_ = true;
        // The caller has checked expected against the data's size; the bound here keeps a 32-bit
        // process from asking for a buffer it could not address.
        const bool sane = expected_ != 0 && expected_ <= SIZE_MAX / 4;
        if (sane && out.size() >= expected_) {
            direct_ = TryWhole(out.first(static_cast<std::size_t>(expected_)));
            if (direct_) {
                produced_ = wholeSize_;
                return wholeSize_;
            }
        } else if (sane && expected_ <= maxApart_) {
            try {
                whole_ = std::make_unique_for_overwrite<uint8_t[]>(static_cast<std::size_t>(expected_));
            } catch (const std::bad_alloc&) {
                // zlib still gets the rows out batch by batch
            }
            // The one-call inflate has no partial result: the rows before a fault come from zlib.
            if (whole_ && !TryWhole({whole_.get(), static_cast<std::size_t>(expected_)})) whole_.reset();
        }
        if (!whole_) StartStreaming();
    }
    if (direct_) return 0;
    if (streaming_) return FillStreaming(out);
    const auto at = static_cast<std::size_t>(produced_);
    const std::size_t n = std::min(out.size(), wholeSize_ - at);
    if (n > 0) std::memcpy(out.data(), whole_.get() + at, n);
    produced_ += n;
    return n;
}

std::size_t TPngInflater::FillStreaming(std::span<uint8_t> out) {
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
