#include "images/prepare_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/deflate.h"
#include "base/pdf_error.h"
#include "images/group4_encoder.h"
#include "images/jpeg_encoder.h"

namespace pagelith {

namespace {

std::size_t RowLength(const TBMPImage& bitmap) {
    const auto width = static_cast<std::size_t>(bitmap.Width());
    switch (bitmap.Format()) {
    case TPixelFormat::Indexed1:
        return (width + 7) / 8;
    case TPixelFormat::Indexed4:
        return (width + 1) / 2;
    case TPixelFormat::Indexed8:
        return width;
    case TPixelFormat::Rgb24:
        break;
    }
    return 3 * width;
}

// Palette entry i, black where the palette is shorter.
TRGB Entry(std::span<const TRGB> palette, std::size_t i) {
    return i < palette.size() ? palette[i] : TRGB{};
}

bool GrayEntries(std::span<const TRGB> palette, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const TRGB c = Entry(palette, i);
        if (c.R != c.G || c.G != c.B) return false;
    }
    return true;
}

std::string PaletteBytes(std::span<const TRGB> palette, std::size_t count) {
    std::string out;
    out.reserve(3 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const TRGB c = Entry(palette, i);
        out += static_cast<char>(c.R);
        out += static_cast<char>(c.G);
        out += static_cast<char>(c.B);
    }
    return out;
}

// The picture's rows as the PDF reads them, without row padding and with 24-bit turned from
// blue-green-red to red-green-blue, moved to the start of the picture's own storage.
std::vector<uint8_t> PackedRows(TBMPImage& bitmap) {
    const std::size_t length = RowLength(bitmap);
    const std::size_t stride = bitmap.Stride();
    const bool bgr = bitmap.Format() == TPixelFormat::Rgb24;
    const auto height = static_cast<std::size_t>(bitmap.Height());
    std::vector<uint8_t> rows = bitmap.TakePixels();
    for (std::size_t y = 0; y < height; ++y) {
        uint8_t* row = rows.data() + y * length;
        if (stride != length) std::memmove(row, rows.data() + y * stride, length);
        if (bgr)
            for (std::size_t i = 0; i < length; i += 3) std::swap(row[i], row[i + 2]);
    }
    rows.resize(length * height);
    return rows;
}

// Chooses each row's PNG filter by the smallest sum of the filtered bytes read as signed values,
// libpng's heuristic, which tracks the compressed size well for levels and costs one pass a filter.
class TRowPredictor {
public:
    TRowPredictor(std::size_t length, std::size_t distance)
        : length_(length), distance_(std::min(distance, length)), trial_(4 * length) {}

    // Writes the tag and the filtered row to out (length + 1 bytes).
    void Predict(std::span<const uint8_t> row, std::span<const uint8_t> above, uint8_t* out) {
        const uint8_t* x = row.data();
        const uint8_t* b = above.data();
        uint8_t* t = trial_.data();
        const std::size_t n = length_;
        const uint64_t cost[5] = {
            Cost(x, n),
            Run(x, b, t, [](int a, int, int) { return a; }),
            Run(x, b, t + n, [](int, int up, int) { return up; }),
            Run(x, b, t + 2 * n, [](int a, int up, int) { return (a + up) >> 1; }),
            Run(x, b, t + 3 * n,
                [](int16_t a, int16_t up, int16_t c) { // 16-bit lanes: twice as fast as int
                    const auto pa = int16_t(std::abs(int16_t(up - c))),
                               pb = int16_t(std::abs(int16_t(a - c)));
                    const auto pc = int16_t(std::abs(int16_t(a + up - 2 * c)));
                    return int16_t(pa <= pb && pa <= pc ? a : pb <= pc ? up : c);
                }),
        };
        const auto tag = static_cast<uint8_t>(std::min_element(cost, cost + 5) - cost); // ties: lower type
        out[0] = tag;
        std::memcpy(out + 1, tag == 0 ? x : t + (tag - 1) * n, n);
    }

private:
    // Filters x against the row above b with predict(left, up, upper left) into out and returns the
    // cost. Plain loops over locals (a store through a byte pointer could change any member), without
    // a branch, so that the compiler vectorises them.
    template <class P> uint64_t Run(const uint8_t* x, const uint8_t* b, uint8_t* out, P predict) const {
        const std::size_t n = length_, d = distance_;
        uint64_t sum = 0;
        for (std::size_t i = 0; i < d; ++i) {
            out[i] = uint8_t(x[i] - predict(0, b[i], 0));
            sum += std::min(out[i], uint8_t(-out[i]));
        }
        for (std::size_t i = d; i < n; i += kBlock) {
            const std::size_t end = std::min(n, i + kBlock);
            uint32_t part = 0;
            for (std::size_t j = i; j < end; ++j) {
                const auto v = uint8_t(x[j] - predict(x[j - d], b[j], b[j - d]));
                out[j] = v;
                part += std::min(v, uint8_t(-v));
            }
            sum += part;
        }
        return sum;
    }

    static uint64_t Cost(const uint8_t* x, std::size_t n) {
        uint64_t sum = 0;
        for (std::size_t i = 0; i < n; i += kBlock) {
            const std::size_t end = std::min(n, i + kBlock);
            uint32_t part = 0;
            for (std::size_t j = i; j < end; ++j) part += std::min(x[j], uint8_t(-x[j]));
            sum += part;
        }
        return sum;
    }

    // Sums of this many bytes fit 32 bits, which vectorise better than 64.
    static constexpr std::size_t kBlock = std::size_t{1} << 16;

    std::size_t length_, distance_;
    std::vector<uint8_t> trial_;
};

// The picture's rows, each tagged and filtered, in its own storage (one byte a row beyond the
// picture, which SetSize keeps free). A tagged row is written only where no row still to be read
// lies: top-down when it fits in its stored row, bottom-up when rows are stored unpadded.
std::vector<uint8_t> PredictedRows(TBMPImage& bitmap) {
    const std::size_t length = RowLength(bitmap);
    const std::size_t stride = bitmap.Stride();
    const bool bgr = bitmap.Format() == TPixelFormat::Rgb24;
    const auto height = static_cast<std::size_t>(bitmap.Height());
    std::vector<uint8_t> rows = bitmap.TakePixels();
    rows.resize(std::max(rows.size(), (length + 1) * height));
    std::vector<uint8_t> row(length), above(length);
    const auto load = [&](std::size_t y, std::vector<uint8_t>& to) {
        std::memcpy(to.data(), rows.data() + y * stride, length);
        if (bgr)
            for (std::size_t i = 0; i < length; i += 3) std::swap(to[i], to[i + 2]);
    };
    TRowPredictor predictor(length, bgr ? 3 : 1);
    if (stride > length) {
        for (std::size_t y = 0; y < height; ++y) {
            load(y, row);
            predictor.Predict(row, above, rows.data() + y * (length + 1));
            std::swap(row, above);
        }
    } else {
        load(height - 1, row);
        for (std::size_t y = height; y-- > 0;) {
            if (y > 0)
                load(y - 1, above);
            else
                std::fill(above.begin(), above.end(), uint8_t{0});
            predictor.Predict(row, above, rows.data() + y * (length + 1));
            std::swap(row, above);
        }
    }
    rows.resize((length + 1) * height);
    return rows;
}

// The compressor takes the whole buffer in one call, so the rows are packed (or predicted) within
// the picture's storage: no second copy of it. That storage is freed before the result is kept, so
// that the result can take its place in the heap rather than settle above it and pin it.
std::string Flate(TBMPImage& bitmap, bool predict) {
    std::vector<uint8_t> rows = predict ? PredictedRows(bitmap) : PackedRows(bitmap);
    const TDeflated deflated = Deflate(
        std::string_view(reinterpret_cast<const char*>(rows.data()), rows.size()), kImageDeflateLevel);
    rows = std::vector<uint8_t>();
    return std::string(deflated.View());
}

// Samples and palette, raw or both compressed. Predictors pay on levels, not on palette indices
// (libpng does not use them there either) and not on samples packed several to a byte.
void IndexedData(TBMPImage& bitmap, bool flate, TPDFImageRes& image) {
    const bool levels = bitmap.Format() == TPixelFormat::Indexed8 && GrayEntries(bitmap.Palette, 256);
    const std::vector<TRGB> palette = std::move(bitmap.Palette);
    image.Filter = flate ? kCompressFlate : kCompressNone;
    image.PngPredicted = flate && levels;
    image.Colors = 1;
    image.Data = flate ? THeldBytes(Flate(bitmap, image.PngPredicted)) : THeldBytes(PackedRows(bitmap));
    PutPalette(palette, image.BitsPerComponent, image);
}

} // namespace

uint32_t DotsPerInch(int32_t pixelsPerMetre) {
    if (pixelsPerMetre <= 0) return 0;
    return static_cast<uint32_t>((uint64_t(uint32_t(pixelsPerMetre)) * 254 + 5000) / 10000);
}

TCompression Encoding(const TImageSettings& settings, TPixelFormat format, std::span<const TRGB> palette) {
    const auto plain = [](uint8_t code, bool dct) {
        if (code == kCompressNone) return kCompressNone;
        return dct && code == kCompressDCT ? kCompressDCT : kCompressFlate;
    };
    if (format == TPixelFormat::Rgb24) return plain(settings.CompressionRGB, true);
    const uint32_t bits = TBMPImage::BitsOf(format);
    const bool gray = GrayEntries(palette, std::size_t{1} << bits);
    if (bits == 1 && gray) {
        // Group 4 codes bit 1 as white: two other grays keep their exact levels through Flate.
        const TRGB e0 = Entry(palette, 0), e1 = Entry(palette, 1);
        const bool blackAndWhite = (e0.R == 0 && e1.R == 255) || (e0.R == 255 && e1.R == 0);
        if (settings.CompressionBW == kCompressCCITT) return blackAndWhite ? kCompressCCITT : kCompressFlate;
        return plain(settings.CompressionBW, false);
    }
    return plain(gray ? settings.CompressionGray : settings.CompressionIndexed, gray);
}

void PutPalette(std::span<const TRGB> palette, uint32_t bits, TPDFImageRes& image) {
    image.PaletteSize = static_cast<uint16_t>(1u << bits);
    const std::string bytes = PaletteBytes(palette, image.PaletteSize);
    image.Palette = image.Filter == kCompressFlate ? DeflateZlib(bytes, kImageDeflateLevel) : bytes;
    image.Indexed = true;
}

void PrepareImage(const TImageSettings& settings, TBMPImage& bitmap, TPDFImageRes& image) {
    if (bitmap.Empty()) throw EPDFError(kEmptyImage);
    const TCompression encoding = Encoding(settings, bitmap.Format(), bitmap.Palette);

    if (bitmap.Format() == TPixelFormat::Rgb24) {
        image.BitsPerComponent = 8;
        image.Indexed = false;
        image.Filter = encoding;
        switch (encoding) {
        case kCompressNone:
            image.Data = THeldBytes(PackedRows(bitmap));
            break;
        case kCompressDCT:
            image.Data = EncodeJPEG(bitmap, false);
            image.GrayJPEG = false;
            break;
        default:
            image.PngPredicted = true;
            image.Colors = 3;
            image.Data = Flate(bitmap, true);
            break;
        }
        return;
    }

    image.BitsPerComponent = static_cast<uint8_t>(TBMPImage::BitsOf(bitmap.Format()));
    image.PaletteSize = static_cast<uint16_t>(1u << image.BitsPerComponent);
    switch (encoding) {
    case kCompressCCITT: {
        // A white-first palette is coded with its bits turned over, in place: the picture is spent.
        if (Entry(bitmap.Palette, 0).R == 255)
            for (uint8_t& b : bitmap.Pixels()) b = static_cast<uint8_t>(~b);
        std::string data;
        EncodeGroup4(bitmap, data);
        image.Data = std::move(data);
        image.Palette.clear();
        image.Filter = kCompressCCITT;
        image.Indexed = false;
        return;
    }
    case kCompressDCT:
        // The encoder reads palette entries itself: a 24-bit copy would triple the memory first, and
        // a picture beyond JPEG's dimensions would be copied whole before it is refused.
        image.Data = EncodeJPEG(bitmap, true);
        image.Filter = kCompressDCT;
        image.GrayJPEG = true;
        image.Indexed = false;
        image.Palette.clear();
        return;
    default:
        IndexedData(bitmap, encoding == kCompressFlate, image);
        return;
    }
}

} // namespace pagelith
