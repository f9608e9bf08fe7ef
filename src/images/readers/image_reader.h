// The contract every picture reader keeps: load a whole file, then copy the picture
// into a working bitmap. Malformed data fails with EInvalidGraphic and the reader's message.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "images/readers/image_error.h"
#include "images/readers/working_bitmap.h"

namespace pagelith {

// Refuses a picture of more than limit pixels, naming both numbers; 0 sets no limit.
inline void CheckImagePixels(uint64_t width, uint64_t height, uint64_t limit) {
    if (limit == 0 || height == 0 || width <= limit / height) return;
    const uint64_t pixels = width > UINT64_MAX / height ? UINT64_MAX : width * height;
    throw EInvalidGraphic("Image has " + std::to_string(pixels) + " pixels, more than MaxImagePixels " +
                          std::to_string(limit));
}

class TImageReader {
public:
    virtual ~TImageReader() = default;
    TImageReader(const TImageReader&) = delete;
    TImageReader& operator=(const TImageReader&) = delete;

    // Pictures of more pixels are refused as soon as the header gives their size; set before
    // loading. 0 leaves only the working-memory bound.
    uint64_t MaxPixels = 0;

    // Reads the file's bytes; header errors are raised here.
    virtual void LoadFromBytes(std::span<const uint8_t> data) = 0;
    // The same for a caller that keeps the bytes alive and unchanged for the reader's lifetime: a
    // reader that would copy the whole file may keep a view of it instead.
    virtual void LoadFromView(std::span<const uint8_t> data) { LoadFromBytes(data); }
    // Decodes into bitmap, choosing its pixel format and palette; decoding errors are raised here.
    virtual void AssignTo(TBMPImage& bitmap) = 0;

protected:
    TImageReader() = default;

    void CheckPixels(uint64_t width, uint64_t height) const { CheckImagePixels(width, height, MaxPixels); }
};

} // namespace pagelith
