// PNG pixel kinds (colour type and bit depth) and their conversion into working-bitmap rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// The fifteen accepted combinations of colour type and bit depth, numbered as the reader's table.
enum class TPngPixelKind : uint8_t {
    Gray1,
    Gray2,
    Gray4,
    Gray8,
    Gray16,
    Rgb8,
    Rgb16,
    Palette1,
    Palette2,
    Palette4,
    Palette8,
    GrayAlpha8,
    GrayAlpha16,
    RgbAlpha8,
    RgbAlpha16
};

std::optional<TPngPixelKind> PngPixelKind(uint8_t colorType, uint8_t bitDepth);
TPixelFormat PngWorkingFormat(TPngPixelKind kind);
// Bits of one pixel in the file's rows (samples × depth).
uint32_t PngBitsPerPixel(TPngPixelKind kind);
bool PngHasAlphaChannel(TPngPixelKind kind);
// True for the 8-bit and smaller kinds whose working row is no wider than the file's: each pixel is
// read before its place is written, so the conversion may run within one buffer.
bool PngConvertsInPlace(TPngPixelKind kind);

// A 16-bit transparent gray or RGB value, or an 8-bit RGB one: pixels equal to it get 0 in the mask,
// others 255.
struct TPngColorKey {
    bool Active = false;
    uint16_t Gray = 0, Red = 0, Green = 0, Blue = 0;
};

// Converts one unfiltered file row of width pixels into row (working format) and, for kinds with an
// alpha channel or an active key, into mask (width bytes; an alpha channel may leave it empty). row and
// mask must be large enough.
// For kinds where PngConvertsInPlace holds, row may overlap raw provided it starts no later.
void ConvertPngRow(TPngPixelKind kind, std::span<const uint8_t> raw, uint32_t width, std::span<uint8_t> row,
                   std::span<uint8_t> mask, const TPngColorKey& key);

// Copies count pixels of a packed row in format to positions x0, x0 + dx, ... of dst.
void ScatterPixels(TPixelFormat format, std::span<const uint8_t> src, uint32_t count, std::span<uint8_t> dst,
                   uint32_t x0, uint32_t dx);

} // namespace pagelith
