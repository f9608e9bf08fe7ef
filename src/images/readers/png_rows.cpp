#include "images/readers/png_rows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "images/readers/png_filters.h"

namespace pagelith {
namespace {

struct TPass {
    uint32_t X0, Y0, DX, DY;
};
constexpr TPass kWholeImage[1] = {{0, 0, 1, 1}};
constexpr TPass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

std::span<const TPass> Passes(const TPngLayout& layout) {
    return layout.Interlaced ? std::span<const TPass>(kAdam7) : std::span<const TPass>(kWholeImage);
}

uint32_t PassExtent(uint32_t size, uint32_t start, uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

std::span<uint8_t> MaskRow(std::span<uint8_t> mask, uint32_t width, std::size_t y) {
    return mask.empty() ? mask : mask.subspan(y * width, width);
}

} // namespace

uint64_t PngRowBytes(uint64_t width, uint32_t bitsPerPixel) {
    return (width * bitsPerPixel + 7) / 8;
}

uint64_t PngFilteredSize(const TPngLayout& layout) {
    const uint32_t bits = PngBitsPerPixel(layout.Kind);
    uint64_t total = 0;
    for (const TPass& p : Passes(layout)) {
        const uint32_t w = PassExtent(layout.Width, p.X0, p.DX);
        const uint32_t h = PassExtent(layout.Height, p.Y0, p.DY);
        if (w != 0 && h != 0) total += uint64_t{h} * (1 + PngRowBytes(w, bits));
    }
    return total;
}

uint64_t PngInPlaceBytes(const TPngLayout& layout) {
    const uint64_t line = 1 + PngRowBytes(layout.Width, PngBitsPerPixel(layout.Kind));
    const uint64_t stride = TBMPImage::StrideFor(PngWorkingFormat(layout.Kind), layout.Width);
    return std::max(line, stride) * layout.Height;
}

bool DecodePngInPlace(const TPngLayout& layout, TPngInflater& inflater, TBMPImage& picture,
                      std::span<uint8_t> mask) {
    const TPixelFormat format = PngWorkingFormat(layout.Kind);
    const uint32_t bits = PngBitsPerPixel(layout.Kind);
    const uint32_t pixelBytes = std::max<uint32_t>(1, bits / 8);
    const uint32_t width = layout.Width;
    const std::size_t height = layout.Height;
    const auto rowBytes = static_cast<std::size_t>(PngRowBytes(width, bits));
    const std::size_t line = 1 + rowBytes;
    const std::size_t stride = TBMPImage::StrideFor(format, width);
    const std::size_t outBytes = static_cast<std::size_t>(PngRowBytes(width, TBMPImage::BitsOf(format)));
    // With the file's rows at the buffer's end, working row y - 1 ends at or before file row y.
    const auto size = static_cast<std::size_t>(PngInPlaceBytes(layout));
    const std::size_t start = size - line * height;

    std::vector<uint8_t> buffer, firstAbove, scratch;
    try {
        buffer.resize(size);
        firstAbove.resize(rowBytes);
        if (!PngConvertsInPlace(layout.Kind)) scratch.resize(stride);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t complete = std::min(inflater.Fill(std::span(buffer).subspan(start)) / line, height);

    const auto convert = [&](std::size_t y) {
        const auto raw = std::span<const uint8_t>(buffer).subspan(start + y * line + 1, rowBytes);
        const auto row = std::span(buffer).subspan(y * stride, stride);
        if (scratch.empty()) {
            ConvertPngRow(layout.Kind, raw, width, row, MaskRow(mask, width, y), layout.Key);
        } else {
            ConvertPngRow(layout.Kind, raw, width, scratch, MaskRow(mask, width, y), layout.Key);
            std::memcpy(row.data(), scratch.data(), outBytes);
        }
        std::fill(row.begin() + std::ptrdiff_t(outBytes), row.end(), uint8_t{0});
    };
    std::size_t done = 0;
    for (; done < complete; ++done) {
        const std::size_t at = start + done * line;
        const auto above = done == 0 ? std::span<const uint8_t>(firstAbove)
                                     : std::span<const uint8_t>(buffer).subspan(at - line + 1, rowBytes);
        if (!UnfilterPngRow(buffer[at], std::span(buffer).subspan(at + 1, rowBytes), above, pixelBytes))
            break;
        if (done > 0) convert(done - 1);
    }
    if (done > 0) convert(done - 1);
    std::fill(buffer.begin() + std::ptrdiff_t(done * stride),
              buffer.begin() + std::ptrdiff_t(height * stride), uint8_t{0});
    picture.AdoptPixels(format, static_cast<int32_t>(width), static_cast<int32_t>(height), std::move(buffer));
    return true;
}

void DecodePngBatched(const TPngLayout& layout, TPngInflater& inflater, TBMPImage& picture,
                      std::span<uint8_t> mask) {
    const TPixelFormat format = PngWorkingFormat(layout.Kind);
    const uint32_t bits = PngBitsPerPixel(layout.Kind);
    const uint32_t pixelBytes = std::max<uint32_t>(1, bits / 8);
    // Rows are inflated several at a time, straight into the buffer where they are unfiltered:
    // slot 0 holds the row above the batch, slots 1..n the batch itself. Batches of some tens of
    // kilobytes keep zlib on its fast path even for narrow rows.
    constexpr std::size_t kBatchBytes = 64 * 1024;
    const auto fullLine = 1 + static_cast<std::size_t>(PngRowBytes(layout.Width, bits));
    const std::size_t batchRows = std::clamp<std::size_t>(kBatchBytes / fullLine, 1, layout.Height);
    std::vector<uint8_t> buffer(fullLine * (1 + batchRows));
    // Adam7 rows are converted here first, then spread over the picture's row.
    std::vector<uint8_t> reduced, reducedMask;
    if (layout.Interlaced) {
        reduced.resize(TBMPImage::StrideFor(format, layout.Width));
        reducedMask.resize(mask.empty() ? 0 : layout.Width);
    }

    bool more = true;
    for (const TPass& p : Passes(layout)) {
        const uint32_t w = PassExtent(layout.Width, p.X0, p.DX);
        const uint32_t h = PassExtent(layout.Height, p.Y0, p.DY);
        if (w == 0 || h == 0) continue;
        const auto rowBytes = static_cast<std::size_t>(PngRowBytes(w, bits));
        const std::size_t line = 1 + rowBytes;
        std::fill_n(buffer.begin(), line, uint8_t{0});
        for (uint32_t i = 0; i < h && more;) {
            const std::size_t wanted = std::min<std::size_t>(batchRows, h - i);
            const std::size_t got = inflater.Fill(std::span(buffer).subspan(line, wanted * line)) / line;
            more = got == wanted;
            for (std::size_t r = 1; r <= got; ++r, ++i) {
                const auto row = std::span(buffer).subspan(r * line, line);
                const auto above = std::span<const uint8_t>(buffer).subspan((r - 1) * line + 1, rowBytes);
                if (!UnfilterPngRow(row[0], row.subspan(1), above, pixelBytes)) {
                    more = false;
                    break;
                }
                const uint32_t y = p.Y0 + i * p.DY;
                const auto maskRow = MaskRow(mask, layout.Width, y);
                if (!layout.Interlaced) {
                    ConvertPngRow(layout.Kind, row.subspan(1), w, picture.Row(int32_t(y)), maskRow,
                                  layout.Key);
                } else {
                    ConvertPngRow(layout.Kind, row.subspan(1), w, reduced, reducedMask, layout.Key);
                    ScatterPixels(format, reduced, w, picture.Row(int32_t(y)), p.X0, p.DX);
                    if (!mask.empty())
                        ScatterPixels(TPixelFormat::Indexed8, reducedMask, w, maskRow, p.X0, p.DX);
                }
            }
            if (more) std::copy_n(buffer.begin() + std::ptrdiff_t(wanted * line), line, buffer.begin());
        }
        if (!more) break;
    }
}

} // namespace pagelith
