#include "images/packed_dib.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "images/readers/bmp_reader.h"
#include "images/readers/image_reader.h"

namespace pagelith {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr uint32_t kRgb = 0, kBitfields = 3;

// Checks the header against the memory and returns where the rows start: after the header, the
// three masks that follow a 40-byte header with bit fields, and the colour table (biClrUsed entries,
// or all 2^bits when 0). A picture beyond the memory bound is named too large before the pixel limit.
uint64_t RowsAt(std::span<const uint8_t> dib, uint64_t maxPixels) {
    const TByteReader header(dib, TByteReader::TOrder::LittleEndian);
    const uint32_t size = header.U32At(0).value_or(0);
    const bool core = size == 12;
    if (!header.Has(0, core ? 12 : 40)) throw EInvalidGraphic("Packed bitmap is shorter than its header");
    const int64_t width = core ? *header.U16At(4) : static_cast<int32_t>(*header.U32At(4));
    const int64_t height = core ? *header.U16At(6) : static_cast<int32_t>(*header.U32At(8));
    const uint16_t bitCount = *header.U16At(core ? 10 : 14);
    const uint32_t compression = core ? 0 : *header.U32At(16);
    const uint32_t colorsUsed = core ? 0 : *header.U32At(32);
    if (width <= 0 || height == 0) throw EInvalidGraphic("Packed bitmap has no rows or columns");
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        throw EInvalidGraphic("Packed bitmaps of " + std::to_string(bitCount) +
                              " bits per pixel are not supported");
    }
    const TPixelFormat format = bitCount == 1   ? TPixelFormat::Indexed1
                                : bitCount == 4 ? TPixelFormat::Indexed4
                                : bitCount == 8 ? TPixelFormat::Indexed8
                                                : TPixelFormat::Rgb24;
    const int64_t rows = height < 0 ? -height : height;
    if (!TBMPImage::SizeAllowed(format, width, rows)) throw EInvalidGraphic("Image is too large");
    CheckImagePixels(static_cast<uint64_t>(width), static_cast<uint64_t>(rows), maxPixels);
    const uint64_t entries = colorsUsed != 0 || bitCount > 8 ? colorsUsed : uint64_t{1} << bitCount;
    const uint64_t masks = size == 40 && compression == kBitfields ? 12 : 0;
    const uint64_t rowsAt = uint64_t{size} + masks + entries * (core ? 3 : 4);
    // Uncompressed rows must be there, the last without its padding; the reader checks the rest.
    const uint64_t rowBytes = (uint64_t(width) * bitCount + 7) / 8, stride = (rowBytes + 3) / 4 * 4;
    const uint64_t pixels =
        compression == kRgb || compression == kBitfields ? stride * uint64_t(rows - 1) + rowBytes : 0;
    if (rowsAt > dib.size() || pixels > dib.size() - rowsAt || rowsAt > UINT32_MAX - kFileHeaderSize)
        throw EInvalidGraphic("Packed bitmap is shorter than its header says");
    return rowsAt;
}

void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint64_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

void LoadPackedDIB(std::span<const uint8_t> dib, uint64_t maxPixels, TBMPImage& bitmap) {
    // A packed bitmap is a BMP file without its file header: put back, it makes one for the file reader.
    const uint64_t rowsAt = RowsAt(dib, maxPixels);
    std::vector<uint8_t> file(kFileHeaderSize + dib.size());
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, std::min<uint64_t>(file.size(), UINT32_MAX));
    Put32(file, 10, kFileHeaderSize + rowsAt);
    std::copy(dib.begin(), dib.end(), file.begin() + kFileHeaderSize);
    TBMPReader reader;
    reader.LoadFromFile(std::move(file));
    TBMPImage picture;
    reader.AssignTo(picture);

    // A light first entry becomes white over black; the bits turn over so the picture looks the same.
    if (picture.Format() == TPixelFormat::Indexed1 && !picture.Palette.empty() &&
        picture.Palette[0].R == 255) {
        picture.Palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
        for (uint8_t& b : picture.Pixels()) b = static_cast<uint8_t>(~b);
    }
    bitmap = std::move(picture);
}

} // namespace pagelith
