// Inflates a PNG's concatenated image data. Well-formed data of the expected size is inflated
// whole in one call, straight into the caller's buffer when the first request is for all of it;
// anything else (cut, corrupt, longer than expected) goes through zlib on demand, so that no more
// is ever produced than the rows asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include <zlib.h>

namespace pagelith {

class TPngInflater {
public:
    // expected: the size of the filtered rows that the header promises. maxApart: the most the
    // inflater may hold of them itself, beside the caller's buffers; beyond it zlib streams them.
    TPngInflater(std::span<const uint8_t> compressed, uint64_t expected, uint64_t maxApart);
    ~TPngInflater();
    TPngInflater(const TPngInflater&) = delete;
    TPngInflater& operator=(const TPngInflater&) = delete;

    // Fills out and returns the bytes written: all of out unless the data ends first (short data
    // is not an error). Corrupt data throws EInvalidGraphic.
    std::size_t Fill(std::span<uint8_t> out);
    uint64_t Produced() const { return produced_; }

private:
    bool TryWhole(std::span<uint8_t> out);
    void StartStreaming();
    std::size_t FillStreaming(std::span<uint8_t> out);

    std::span<const uint8_t> compressed_;
    uint64_t expected_ = 0;
    uint64_t maxApart_ = 0;
    bool started_ = false;
    std::unique_ptr<uint8_t[]> whole_; // the whole data, inflated apart for small requests
    std::size_t wholeSize_ = 0;
    bool direct_ = false; // the whole data went straight into the first request
    bool streaming_ = false;
    z_stream stream_{};
    std::span<const uint8_t> rest_;
    uint64_t produced_ = 0;
    bool ended_ = false;
};

} // namespace pagelith
