#include "images/readers/tif_image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_set>

#include "images/readers/tif_lzw.h"
#include "images/readers/tif_packbits.h"

namespace pagelith {

namespace {

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;

constexpr const char* kReadError = "Stream read error";
constexpr const char* kCorrupted = "TIFF file image data corrupted";
constexpr const char* kShortStrip = "TIFF file image data is shorter than the picture";

[[noreturn]] void Fail(const char* message) {
    throw EInvalidGraphic(message);
}

uint32_t TypeSize(uint16_t type) {
    switch (type) {
    case kShort:
        return 2;
    case kLong:
        return 4;
    case kRational:
        return 8;
    default:
        return 1;
    }
}

constexpr std::array<uint8_t, 256> MakeBitReversal() {
    std::array<uint8_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = 0;
        for (uint32_t b = 0; b < 8; ++b) r |= ((i >> b) & 1u) << (7 - b);
        table[i] = static_cast<uint8_t>(r);
    }
    return table;
}
constexpr std::array<uint8_t, 256> kBitReversal = MakeBitReversal();

// Dots per inch from a resolution value; values that do not fit count as none.
uint32_t ToDpi(double value, double factor) {
    const double r = std::trunc(value * factor + 0.5);
    if (!(r >= 0 && r <= double{UINT32_MAX})) return 0;
    return static_cast<uint32_t>(r);
}

TByteReader::TOrder ReadByteOrder(std::span<const uint8_t> file, const char* message) {
    if (file.size() < 8) Fail(message);
    TByteReader::TOrder order;
    if (file[0] == 'I' && file[1] == 'I')
        order = TByteReader::TOrder::LittleEndian;
    else if (file[0] == 'M' && file[1] == 'M')
        order = TByteReader::TOrder::BigEndian;
    else
        Fail(message);
    if (TByteReader(file, order).U16At(2) != 42) Fail(message);
    return order;
}

} // namespace

void TTIFImage::Reset() {
    width_ = height_ = 0;
    xResolution_ = yResolution_ = 0;
    compression_ = 1;
    photometric_ = 0;
    fillOrder_ = 1;
    orientation_ = 1;
    stripData_.clear();
    stripSizes_.clear();
    order_ = TByteReader::TOrder::LittleEndian;
    owned_.clear();
    file_ = {};
    bitsPerSample_.assign(1, 1);
    bitsCount_ = 0;
    samplesPerPixel_ = 1;
    rowsPerStrip_ = UINT32_MAX;
    strips_ = 0;
    resolutionUnit_ = 2;
    xRational_ = yRational_ = 0;
    predictor_ = 1;
    t4Options_ = 0;
    inkSet_ = numberOfInks_ = 0;
    hasWidth_ = hasHeight_ = hasPhotometric_ = hasInkSet_ = hasNumberOfInks_ = false;
    offsetsEntry_ = countsEntry_ = colorMapEntry_ = TEntry{};
    hasOffsets_ = hasCounts_ = false;
    colorMap_.clear();
    stripOffsets_.clear();
    stripDeclared_.clear();
}

void TTIFImage::LoadFromBytes(std::span<const uint8_t> data) {
    Reset();
    try {
        owned_.assign(data.begin(), data.end());
        Load(owned_);
    } catch (...) {
        Reset();
        throw;
    }
}

void TTIFImage::LoadFromView(std::span<const uint8_t> data) {
    Reset();
    try {
        Load(data);
    } catch (...) {
        Reset();
        throw;
    }
}

void TTIFImage::Load(std::span<const uint8_t> data) {
    order_ = ReadByteOrder(data, "File is not TIFF format");
    file_ = data;
    TByteReader reader(file_, order_);
    reader.Seek(4);
    uint32_t ifd = reader.U32();

    // Walk to the chosen picture; a chain that comes back to an IFD already seen has no more pictures.
    std::unordered_set<uint32_t> seen{ifd};
    for (int32_t n = 1; n < PictureNumber; ++n) {
        const auto entries = reader.U16At(ifd);
        const auto next = entries ? reader.U32At(uint64_t{ifd} + 2 + 12ull * *entries) : std::nullopt;
        if (!next || *next == 0 || *next >= file_.size() || !seen.insert(*next).second)
            Fail("TIFF file error - cannot find requested page");
        ifd = *next;
    }

    reader.Seek(ifd);
    const uint16_t entries = reader.U16();
    if (!reader.Ok() || !reader.Has(reader.Position(), 12ull * entries)) Fail(kReadError);
    for (uint32_t i = 0; i < entries; ++i) {
        reader.Seek(uint64_t{ifd} + 2 + 12ull * i);
        ReadEntry(reader);
    }

    if (!hasWidth_ || !hasHeight_ || width_ == 0 || height_ == 0)
        Fail("TIFF file has missing image Width/Height");
    CheckPixels(width_, height_);
    if (!hasPhotometric_) {
        if (bitsCount_ > 0 && bitsPerSample_[0] != 1)
            Fail("TIFF file has missing PhotometricInterpretation data");
        photometric_ = 0;
    }
    if (!hasOffsets_) Fail("TIFF file has missing StripOffsets data");
    if (!hasCounts_) Fail("TIFF file has missing StripByteCounts data");
    if (photometric_ == 5) {
        if (!hasInkSet_) inkSet_ = 1;
        if (!hasNumberOfInks_) numberOfInks_ = 4;
    }
    CheckPictureSize();
    ReadStrips();

    switch (resolutionUnit_) {
    case 1:
        xResolution_ = yResolution_ = 0;
        break;
    case 2:
        xResolution_ = ToDpi(xRational_, 1);
        yResolution_ = ToDpi(yRational_, 1);
        break;
    case 3:
        xResolution_ = ToDpi(xRational_, 2.54);
        yResolution_ = ToDpi(yRational_, 2.54);
        break;
    default:
        Fail("Error in TIFF file ResolutionUnit data");
    }
}

void TTIFImage::ReadEntry(TByteReader& reader) {
    TEntry e;
    e.tag = reader.U16();
    e.type = reader.U16();
    e.count = reader.U32();
    e.field = static_cast<uint32_t>(reader.Position());
    const uint32_t offset = reader.U32();
    if (!reader.Ok()) Fail(kReadError);
    const uint64_t bytes = uint64_t{e.count} * TypeSize(e.type);
    e.valuePos = bytes <= 4 ? e.field : offset;
    // True when all of the entry's values lie inside the file.
    const bool valuesInFile = reader.Has(e.valuePos, bytes);

    auto shortValue = [&](const char* message) -> uint16_t {
        if (e.type != kShort || e.count != 1) Fail(message);
        return *reader.U16At(e.field);
    };
    auto shortOrLong = [&](const char* message) -> uint32_t {
        if ((e.type != kShort && e.type != kLong) || e.count != 1) Fail(message);
        return e.type == kShort ? uint32_t{*reader.U16At(e.field)} : *reader.U32At(e.field);
    };
    auto rational = [&](const char* message) -> double {
        if (e.type != kRational || e.count != 1 || !valuesInFile) Fail(message);
        const uint32_t num = *reader.U32At(e.valuePos);
        const uint32_t den = *reader.U32At(uint64_t{e.valuePos} + 4);
        return den == 0 ? 0.0 : double(num) / double(den); // no denominator, no resolution
    };
    auto list = [&](const char* message) {
        if ((e.type != kShort && e.type != kLong) || !valuesInFile) Fail(message);
        return e;
    };

    switch (e.tag) {
    case 256:
        width_ = shortOrLong("Error in TIFF file ImageWidth data");
        hasWidth_ = true;
        break;
    case 257:
        height_ = shortOrLong("Error in TIFF file ImageLength data");
        hasHeight_ = true;
        break;
    case 258: {
        const char* message = "Error in TIFF file BitsPerSample data";
        if (e.type != kShort || e.count == 0) Fail(message);
        if (e.count <= 2) {
            bitsPerSample_.assign(1, *reader.U16At(e.field));
        } else {
            if (!valuesInFile) Fail(message);
            bitsPerSample_.resize(e.count);
            for (uint32_t i = 0; i < e.count; ++i) bitsPerSample_[i] = *reader.U16At(e.valuePos + 2ull * i);
        }
        bitsCount_ = e.count;
        break;
    }
    case 259:
        compression_ = shortValue("Error in TIFF file Compression data");
        break;
    case 262:
        photometric_ = shortValue("Error in TIFF file PhotometricInterpretation data");
        hasPhotometric_ = true;
        break;
    case 266: {
        const uint16_t v = shortValue("Error in TIFF file FillOrder data");
        fillOrder_ = v == 2 ? 2 : 1;
        break;
    }
    case 273:
        offsetsEntry_ = list("Error in TIFF file StripOffsets data");
        hasOffsets_ = true;
        break;
    case 274: {
        // Read only for placement: a form or value it cannot use leaves the picture upright.
        const uint16_t v = e.type == kShort && e.count == 1 ? *reader.U16At(e.field) : 1;
        orientation_ = v >= 1 && v <= 8 ? static_cast<uint8_t>(v) : 1;
        break;
    }
    case 277:
        samplesPerPixel_ = shortValue("Error in TIFF file SamplesPerPixel data");
        break;
    case 278: {
        const uint32_t v = shortOrLong("Error in TIFF file RowsPerStrip data");
        rowsPerStrip_ =
            v == 0 ? UINT32_MAX : v; // zero rows per strip would divide by zero; read as one strip
        break;
    }
    case 279:
        countsEntry_ = list("Error in TIFF file StripByteCounts data");
        hasCounts_ = true;
        break;
    case 282:
        xRational_ = rational("Error in TIFF file XResolution data");
        break;
    case 283:
        yRational_ = rational("Error in TIFF file YResolution data");
        break;
    case 284:
        shortValue("Error in TIFF file PlanarConfiguration data");
        break;
    case 292:
        t4Options_ = shortOrLong("Error in TIFF file T4Options data");
        break;
    case 296:
        resolutionUnit_ = shortValue("Error in TIFF file ResolutionUnit data");
        break;
    case 317:
        predictor_ = shortValue("Error in TIFF file Predictor data");
        break;
    case 320:
        if (e.type != kShort) Fail("Error in TIFF file ColorMap data");
        colorMapEntry_ = e;
        break;
    case 332:
        inkSet_ = shortValue("Error in TIFF file InkSet data");
        hasInkSet_ = true;
        break;
    case 334:
        numberOfInks_ = shortValue("Error in TIFF file NumberOfInks data");
        hasNumberOfInks_ = true;
        break;
    default:
        break; // metadata and unknown tags
    }
}

void TTIFImage::CheckPictureSize() const {
    // The smallest working bitmap any picture needs; the decoder checks its own format again.
    if (!TBMPImage::SizeAllowed(TPixelFormat::Indexed1, width_, height_)) Fail("Image is too large");
}

void TTIFImage::ReadStrips() {
    const uint64_t rows = height_;
    strips_ = rowsPerStrip_ < rows ? static_cast<uint32_t>((rows + rowsPerStrip_ - 1) / rowsPerStrip_) : 1;
    if (strips_ != countsEntry_.count && strips_ == offsetsEntry_.count)
        Fail("TIFF file has errors in strip counts");
    // A strip without an offset or a byte count in the file cannot be read.
    if (strips_ > offsetsEntry_.count || strips_ > countsEntry_.count)
        Fail("TIFF file has errors in strip counts");

    if (photometric_ == 3 && colorMapEntry_.count > 0) {
        TByteReader reader(file_, order_);
        const uint32_t count = colorMapEntry_.count;
        if (!reader.Has(colorMapEntry_.valuePos, 2ull * count)) Fail("Error in TIFF file ColorMap data");
        colorMap_.resize(count);
        for (uint32_t i = 0; i < count; ++i) colorMap_[i] = *reader.U16At(colorMapEntry_.valuePos + 2ull * i);
    }

    TByteReader reader(file_, order_);
    auto value = [&](const TEntry& e, uint32_t i) {
        return e.type == kShort ? uint32_t{*reader.U16At(e.valuePos + 2ull * i)}
                                : *reader.U32At(e.valuePos + 4ull * i);
    };
    stripOffsets_.resize(strips_);
    stripDeclared_.resize(strips_);
    stripSizes_.resize(strips_);
    for (uint32_t i = 0; i < strips_; ++i) {
        stripOffsets_[i] = value(offsetsEntry_, i);
        stripDeclared_[i] = value(countsEntry_, i);
        const uint64_t left = stripOffsets_[i] < file_.size() ? file_.size() - stripOffsets_[i] : 0;
        stripSizes_[i] = static_cast<uint32_t>(std::min<uint64_t>(stripDeclared_[i], left));
    }
}

std::span<const uint8_t> TTIFImage::StripData() const {
    if (stripSizes_.size() == 1) return StripBytes(0);
    if (stripData_.empty()) {
        for (uint32_t i = 0; i < stripSizes_.size(); ++i) {
            const auto part = StripBytes(i);
            stripData_.insert(stripData_.end(), part.begin(), part.end());
        }
    }
    return stripData_;
}

TTIFImage::TKind TTIFImage::Kind() const {
    const uint32_t count = std::max<uint32_t>(bitsCount_, 1);
    const uint16_t depth = bitsPerSample_[0];
    auto depths = [&](std::size_t n, uint16_t bits) {
        return bitsPerSample_.size() >= n &&
               std::all_of(bitsPerSample_.begin(), bitsPerSample_.begin() + static_cast<std::ptrdiff_t>(n),
                           [bits](uint16_t b) { return b == bits; });
    };
    switch (photometric_) {
    case 0:
    case 1:
        if (depth == 1) {
            if (count != 1 || samplesPerPixel_ != 1) Fail("TIFF file error in bilevel image data");
            return TKind::Bilevel;
        }
        if (depth == 4 || depth == 8) {
            if (count != samplesPerPixel_ || samplesPerPixel_ < 1 || samplesPerPixel_ > 2)
                Fail("TIFF file error in grayscale image data");
            return TKind::Gray;
        }
        Fail("TIFF file has unknown or unsupported format");
    case 2:
        if (count != samplesPerPixel_ || samplesPerPixel_ < 3 || PixelBits() % 8 != 0 ||
            !(depths(3, 8) || (depths(3, 16) && compression_ == 1)))
            Fail("TIFF file error in RGB image data");
        return TKind::Rgb;
    case 3:
        if (samplesPerPixel_ != 1 || count != 1 || (depth != 1 && depth != 4 && depth != 8) ||
            colorMap_.size() < 3u << depth)
            Fail("TIFF file error in palette image data");
        return TKind::Palette;
    case 5:
        if (count != samplesPerPixel_ || samplesPerPixel_ < 4 || PixelBits() % 8 != 0 || !depths(4, 8) ||
            inkSet_ != 1 || numberOfInks_ != 4)
            Fail("TIFF file Separated image format not supported");
        return TKind::Cmyk;
    case 6:
        Fail("TIFF file YCbCr format not supported");
    default:
        Fail("TIFF file PhotometricInterpretation value not supported");
    }
}

TPixelFormat TTIFImage::FormatOf(TKind kind) const {
    switch (kind) {
    case TKind::Bilevel:
        return TPixelFormat::Indexed1;
    case TKind::Gray:
        return bitsPerSample_[0] == 4 ? TPixelFormat::Indexed4 : TPixelFormat::Indexed8;
    case TKind::Palette:
        return static_cast<TPixelFormat>(bitsPerSample_[0]);
    default:
        return TPixelFormat::Rgb24;
    }
}

uint64_t TTIFImage::PixelBits() const {
    if (bitsCount_ < 3) return uint64_t{bitsPerSample_[0]} * samplesPerPixel_;
    uint64_t bits = 0;
    for (uint32_t i = 0; i < samplesPerPixel_ && i < bitsPerSample_.size(); ++i) bits += bitsPerSample_[i];
    return bits;
}

uint64_t TTIFImage::RowBytes() const {
    return (uint64_t{width_} * PixelBits() + 7) / 8;
}

std::span<const uint8_t> TTIFImage::StripBytes(uint32_t strip) const {
    if (stripSizes_[strip] == 0) return {};
    return file_.subspan(stripOffsets_[strip], stripSizes_[strip]);
}

TCCITTCoding TTIFImage::Coding() const {
    if (compression_ == 2) return TCCITTCoding::ModifiedHuffman;
    if (compression_ == 4) return TCCITTCoding::T6;
    return (t4Options_ & 1) != 0 ? TCCITTCoding::T4TwoD : TCCITTCoding::T4;
}

// What rows of the picture need of their strip, and the most that bytes of strip data can give,
// in one unit: decoded bytes, or coded bits for fax data.
uint64_t TTIFImage::Need(uint32_t rows) const {
    if (compression_ >= 2 && compression_ <= 4) return MinCCITTBits(Coding(), width_, rows);
    return RowBytes() * rows;
}

uint64_t TTIFImage::Most(uint64_t bytes) const {
    switch (compression_) {
    case 2:
    case 3:
    case 4:
        return bytes * 8;
    case 5:
        return MaxTIFFLZWOutput(bytes);
    case 32773:
        return MaxPackBitsOutput(bytes);
    default:
        return bytes;
    }
}

// Nothing is allocated for rows the strips could not fill: uncompressed rows must all be there,
// strips that share bytes count them once, and LZW and PackBits strips must decode to exactly
// their rows, which a pass over their codes tells without storing anything.
void TTIFImage::CheckStrips(TKind kind) const {
    const uint32_t rowsPerStrip = std::min(rowsPerStrip_, height_);
    auto rowsOf = [&](uint32_t s) { return s + 1 == strips_ ? height_ - rowsPerStrip * s : rowsPerStrip; };
    uint64_t need = 0, held = 0;
    for (uint32_t s = 0; s < strips_; ++s) {
        if (Need(rowsOf(s)) > Most(stripSizes_[s])) Fail(compression_ == 1 ? kShortStrip : kCorrupted);
        need += Need(rowsOf(s));
        held += stripSizes_[s];
    }
    if (need > Most(std::min<uint64_t>(held, file_.size())))
        Fail(compression_ == 1 ? kShortStrip : kCorrupted);
    if (compression_ != 5 && compression_ != 32773) return;
    // Such strips are used up exactly, so no byte can serve two of them; each is decoded whole.
    if (held > file_.size()) Fail(kCorrupted);
    for (uint32_t s = 0; s < strips_; ++s) {
        if (Need(rowsOf(s)) > kMaxBitmapBytes) Fail(kCorrupted);
        if (kind == TKind::Bilevel && fillOrder_ == 2) continue; // reversed first; the bounds hold them
        const auto data = StripBytes(s);
        if ((compression_ == 5 ? TIFFLZWLength(data) : PackBitsLength(data)) != Need(rowsOf(s)))
            Fail(kCorrupted);
    }
}

void TTIFImage::AssignTo(TBMPImage& bitmap) {
    if (file_.empty()) Fail("File is not TIFF format");
    const TKind kind = Kind();
    switch (compression_) {
    case 1:
    case 5:
    case 32773:
        break;
    case 2:
    case 3:
    case 4:
        if (kind != TKind::Bilevel) Fail("TIFF file colour depth not supported");
        if (compression_ == 3 && (t4Options_ & 2) != 0) Fail("TIFF file T.4 uncompressed mode not supported");
        break;
    case 6:
        Fail("JPEG Compression not supported");
    default:
        Fail("Unknown or unsupported Compression method");
    }

    // Sizes first: nothing is allocated for rows the file cannot hold or the strips cannot decode to.
    const TPixelFormat format = FormatOf(kind);
    if (!TBMPImage::SizeAllowed(format, width_, height_) || RowBytes() > kMaxBitmapBytes)
        Fail("Image is too large");
    CheckStrips(kind);
    const uint32_t rowsPerStrip = std::min(rowsPerStrip_, height_);
    auto rowsOf = [&](uint32_t s) { return s + 1 == strips_ ? height_ - rowsPerStrip * s : rowsPerStrip; };

    TBMPImage out;
    out.SetSize(format, static_cast<int32_t>(width_), static_cast<int32_t>(height_));
    switch (kind) {
    case TKind::Bilevel:
        out.Palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
        break;
    case TKind::Gray: {
        const uint32_t step = bitsPerSample_[0] == 4 ? 17 : 1;
        for (std::size_t i = 0; i < out.Palette.size(); ++i) {
            const auto v = static_cast<uint8_t>(i * step);
            out.Palette[i] = TRGB{v, v, v};
        }
        break;
    }
    case TKind::Palette: {
        const std::size_t third = colorMap_.size() / 3;
        const bool eightBit =
            std::all_of(colorMap_.begin(), colorMap_.end(), [](uint16_t v) { return v < 256; });
        auto level = [&](uint16_t v) {
            return static_cast<uint8_t>(eightBit ? v : static_cast<uint32_t>(std::trunc(v / 257.0 + 0.5)));
        };
        for (std::size_t i = 0; i < out.Palette.size(); ++i)
            out.Palette[i] =
                TRGB{level(colorMap_[i]), level(colorMap_[third + i]), level(colorMap_[2 * third + i])};
        break;
    }
    default:
        break;
    }

    for (uint32_t s = 0; s < strips_; ++s)
        DecodeStrip(kind, out, s, static_cast<int32_t>(rowsPerStrip * s), static_cast<int32_t>(rowsOf(s)));
    bitmap = std::move(out);
}

void TTIFImage::DecodeStrip(TKind kind, TBMPImage& out, uint32_t strip, int32_t firstRow,
                            int32_t rows) const {
    const auto data = StripBytes(strip);
    if (compression_ >= 2 && compression_ <= 4) {
        DecodeCCITTStrip(data, out, firstRow, rows);
        return;
    }
    const uint64_t rowBytes = RowBytes();
    const uint64_t need = rowBytes * static_cast<uint64_t>(rows);
    if (compression_ == 1) {
        for (int32_t r = 0; r < rows; ++r)
            ConvertRow(kind, fillOrder_ == 2,
                       data.subspan(static_cast<std::size_t>(rowBytes * uint64_t(r)), rowBytes),
                       out.Row(firstRow + r));
        return;
    }

    std::vector<uint8_t> buffer(static_cast<std::size_t>(need));
    // Bilevel data written least significant bit first has its coded bytes reversed.
    std::vector<uint8_t> reversed;
    if (kind == TKind::Bilevel && fillOrder_ == 2) {
        reversed.resize(data.size());
        std::transform(data.begin(), data.end(), reversed.begin(), [](uint8_t b) { return kBitReversal[b]; });
    }
    const auto coded = reversed.empty() ? data : std::span<const uint8_t>(reversed);
    const bool ok = compression_ == 5 ? DecodeTIFFLZW(coded, buffer) : DecodePackBits(coded, buffer);
    if (!ok) Fail(kCorrupted);

    if (compression_ == 5 && predictor_ == 2) {
        // Each byte-sized sample adds the same sample of the pixel before it.
        const std::size_t distance = std::max<std::size_t>(1, static_cast<std::size_t>(PixelBits() / 8));
        for (int32_t r = 0; r < rows; ++r) {
            uint8_t* row = buffer.data() + rowBytes * uint64_t(r);
            for (std::size_t i = distance; i < rowBytes; ++i)
                row[i] = static_cast<uint8_t>(row[i] + row[i - distance]);
        }
    }
    for (int32_t r = 0; r < rows; ++r)
        ConvertRow(kind, false,
                   std::span<const uint8_t>(buffer).subspan(static_cast<std::size_t>(rowBytes * uint64_t(r)),
                                                            rowBytes),
                   out.Row(firstRow + r));
}

void TTIFImage::DecodeCCITTStrip(std::span<const uint8_t> data, TBMPImage& out, int32_t firstRow,
                                 int32_t rows) const {
    std::vector<uint8_t> reversed;
    if (fillOrder_ == 2) {
        reversed.resize(data.size());
        std::transform(data.begin(), data.end(), reversed.begin(), [](uint8_t b) { return kBitReversal[b]; });
        data = reversed;
    }
    const std::size_t stride = out.Stride();
    auto dst = out.Pixels().subspan(stride * static_cast<std::size_t>(firstRow),
                                    stride * static_cast<std::size_t>(rows));
    // Rows a failing T.4 strip leaves undecoded stay coded white.
    std::fill(dst.begin(), dst.end(), uint8_t{0xFF});
    const TCCITTCoding coding = Coding();
    try {
        DecodeCCITT(coding, data, static_cast<int32_t>(width_), rows, dst, stride);
    } catch (const EInvalidGraphic&) {
        if (coding != TCCITTCoding::T4 && coding != TCCITTCoding::T4TwoD) Fail(kCorrupted);
    }
    // The decoder gives 1 for coded white; BlackIsZero shows coded white with index 0.
    if (photometric_ == 1)
        for (uint8_t& b : dst) b = static_cast<uint8_t>(~b);
}

void TTIFImage::ConvertRow(TKind kind, bool reverse, std::span<const uint8_t> src,
                           std::span<uint8_t> dst) const {
    const uint32_t w = width_;
    switch (kind) {
    case TKind::Bilevel: {
        const std::size_t n = (w + 7) / 8;
        for (std::size_t i = 0; i < n; ++i) {
            const uint8_t b = reverse ? kBitReversal[src[i]] : src[i];
            dst[i] = photometric_ == 0 ? static_cast<uint8_t>(~b) : b;
        }
        break;
    }
    case TKind::Gray: {
        const uint32_t spp = samplesPerPixel_;
        if (bitsPerSample_[0] == 8) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t v = src[std::size_t{x} * spp];
                dst[x] = photometric_ == 0 ? static_cast<uint8_t>(255 - v) : v;
            }
        } else {
            std::fill_n(dst.begin(), (w + 1) / 2, uint8_t{0});
            for (uint32_t x = 0; x < w; ++x) {
                const std::size_t bit = std::size_t{x} * spp * 4;
                uint8_t v = (src[bit / 8] >> (bit % 8 ? 0 : 4)) & 0x0F;
                if (photometric_ == 0) v = static_cast<uint8_t>(15 - v);
                dst[x / 2] |= static_cast<uint8_t>(x % 2 ? v : v << 4);
            }
        }
        break;
    }
    case TKind::Palette:
        std::copy_n(src.begin(), (uint64_t{w} * bitsPerSample_[0] + 7) / 8, dst.begin());
        break;
    case TKind::Rgb: {
        const auto pixel = static_cast<std::size_t>(PixelBits() / 8);
        if (bitsPerSample_[0] == 16) {
            // 16-bit samples keep their high byte, which comes first in big-endian files.
            const std::size_t high = order_ == TByteReader::TOrder::BigEndian ? 0 : 1;
            for (std::size_t x = 0; x < w; ++x) {
                const uint8_t* p = src.data() + x * pixel + high;
                dst[3 * x] = p[4];
                dst[3 * x + 1] = p[2];
                dst[3 * x + 2] = p[0];
            }
        } else {
            for (std::size_t x = 0; x < w; ++x) {
                const uint8_t* p = src.data() + x * pixel;
                dst[3 * x] = p[2];
                dst[3 * x + 1] = p[1];
                dst[3 * x + 2] = p[0];
            }
        }
        break;
    }
    case TKind::Cmyk: {
        const auto pixel = static_cast<std::size_t>(PixelBits() / 8);
        for (std::size_t x = 0; x < w; ++x) {
            const uint8_t* p = src.data() + x * pixel;
            const double black = p[3];
            const double k = 255.0 - black;
            auto channel = [&](uint8_t ink) {
                const long v = std::lround(ink / 255.0 * k + black);
                return static_cast<uint8_t>(255 - std::min<long>(v, 255));
            };
            dst[3 * x] = channel(p[2]);
            dst[3 * x + 1] = channel(p[1]);
            dst[3 * x + 2] = channel(p[0]);
        }
        break;
    }
    }
}

uint32_t TTIFImage::CountPictures(std::span<const uint8_t> file) {
    const TByteReader reader(file, ReadByteOrder(file, "Data is not in TIFF format"));
    uint32_t count = 0;
    uint64_t total = 0;
    uint32_t ifd = *reader.U32At(4);
    std::unordered_set<uint32_t> seen;
    while (ifd < file.size() && seen.insert(ifd).second) {
        const auto entries = reader.U16At(ifd);
        if (!entries) break;
        bool bad = false;
        for (uint32_t i = 0; i < *entries; ++i) {
            const uint64_t entry = uint64_t{ifd} + 2 + 12ull * i;
            const auto tag = reader.U16At(entry);
            if (!tag || !reader.Has(entry, 12)) break;
            if (*tag != 279) continue;
            const uint16_t type = *reader.U16At(entry + 2);
            const uint32_t n = *reader.U32At(entry + 4);
            const uint32_t size = TypeSize(type);
            const uint64_t at = uint64_t{n} * size <= 4 ? entry + 8 : *reader.U32At(entry + 8);
            if ((type != kShort && type != kLong) || !reader.Has(at, uint64_t{n} * size)) {
                bad = true;
                break;
            }
            for (uint32_t k = 0; k < n; ++k)
                total +=
                    type == kShort ? uint64_t{*reader.U16At(at + 2ull * k)} : *reader.U32At(at + 4ull * k);
            break;
        }
        const auto next = reader.U32At(uint64_t{ifd} + 2 + 12ull * *entries);
        if (!next) break; // an IFD cut short by the end of the file is no picture
        ++count;
        if (bad || *next == 0 || total >= file.size() || *next >= file.size()) {
            if (*next != 0) --count;
            break;
        }
        ifd = *next; // a chain that returns to an IFD already counted ends here
    }
    return count;
}

} // namespace pagelith
