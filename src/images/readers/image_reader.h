// The contract every picture reader keeps: load a whole file, then copy the picture
// into a working bitmap. Malformed data fails with EInvalidGraphic and the reader's message.
#pragma once

#include <cstdint>
#include <span>

#include "images/readers/image_error.h"
#include "images/readers/working_bitmap.h"

namespace pagelith {

class TImageReader {
public:
    virtual ~TImageReader() = default;
    TImageReader(const TImageReader&) = delete;
    TImageReader& operator=(const TImageReader&) = delete;

    // Reads the file's bytes; header errors are raised here.
    virtual void LoadFromBytes(std::span<const uint8_t> data) = 0;
    // The same for a caller that keeps the bytes alive and unchanged for the reader's lifetime: a
    // reader that would copy the whole file may keep a view of it instead.
    virtual void LoadFromView(std::span<const uint8_t> data) { LoadFromBytes(data); }
    // Decodes into bitmap, choosing its pixel format and palette; decoding errors are raised here.
    virtual void AssignTo(TBMPImage& bitmap) = 0;

protected:
    TImageReader() = default;
};

} // namespace pagelith
