// Inflates a PNG's concatenated image data on demand, a row at a time, so that no more is ever
// produced than the rows that are asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <zlib.h>

namespace pagelith {

class TPngInflater {
public:
    explicit TPngInflater(std::span<const uint8_t> compressed);
    ~TPngInflater();
    TPngInflater(const TPngInflater&) = delete;
    TPngInflater& operator=(const TPngInflater&) = delete;

    // Fills out and returns the bytes written: all of out unless the data ends first (short data
    // is not an error). Corrupt data throws EInvalidGraphic.
    std::size_t Fill(std::span<uint8_t> out);
    uint64_t Produced() const { return produced_; }

private:
    z_stream stream_{};
    std::span<const uint8_t> rest_;
    uint64_t produced_ = 0;
    bool ended_ = false;
};

} // namespace pagelith
