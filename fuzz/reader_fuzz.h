// The body shared by the fuzz targets of the picture readers: any bytes must decode into the
// working bitmap or be refused with EInvalidGraphic, without touching memory outside the input or
// the picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "images/readers/image_error.h"
#include "images/readers/working_bitmap.h"

template <class TReader> int FuzzReader(const uint8_t* data, std::size_t size) {
    TReader reader;
    pagelith::TBMPImage bitmap;
    try {
        reader.LoadFromBytes(std::span<const uint8_t>(data, size));
        reader.AssignTo(bitmap);
    } catch (const pagelith::EInvalidGraphic&) {
    }
    return 0;
}
