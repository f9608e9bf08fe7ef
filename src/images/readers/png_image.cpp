#include "images/readers/png_image.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include <libdeflate.h>

#include "base/byte_reader.h"
#include "images/readers/png_data_check.h"
#include "images/readers/png_inflater.h"
#include "images/readers/png_rows.h"

namespace pagelith {
namespace {

const char* const kBadSignature = "Image does not have a valid PNG signature.";
const char* const kInvalid = "Image is not a valid PNG.";
const char* const kBadCrc = "Invalid CRC in PNG image.";
const char* const kNoData = "Image is not a valid PNG - no image data.";
const char* const kTooLarge = "Image is too large";

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Chunk kinds; every type not listed is kind 9.
enum : uint8_t { kIHDR = 1, kPLTE, kIDAT, kIEND, kbKGD, ktRNS, kpHYs, ktIME, kOther };

// One deflate code of two bits can stand for at most 258 bytes, so no stream inflates to more
// than 1032 times its own size: image data that needs more cannot be complete.
constexpr uint64_t kMaxInflateRatio = 1032;

uint8_t KindOfChunk(std::span<const uint8_t> type) {
    static constexpr std::pair<const char*, uint8_t> kKnown[] = {
        {"IHDR", kIHDR}, {"PLTE", kPLTE}, {"IDAT", kIDAT}, {"IEND", kIEND},
        {"bKGD", kbKGD}, {"tRNS", ktRNS}, {"pHYs", kpHYs}, {"tIME", ktIME}};
    for (const auto& [name, kind] : kKnown)
        if (std::memcmp(type.data(), name, 4) == 0) return kind;
    return kOther;
}

uint32_t Crc32(std::span<const uint8_t> bytes) {
    return libdeflate_crc32(0, bytes.data(), bytes.size());
}

uint32_t Gray(uint8_t v) {
    return v * 0x010101u;
}

// The picture and its mask within the bound on working memory.
bool WorkingMemoryAllowed(TPngPixelKind kind, uint64_t width, uint64_t height, bool mask) {
    const TPixelFormat format = PngWorkingFormat(kind);
    if (!TBMPImage::SizeAllowed(format, int64_t(width), int64_t(height))) return false;
    const uint64_t picture = TBMPImage::StrideFor(format, int64_t(width)) * height;
    return !mask || width * height <= kMaxBitmapBytes - picture;
}

} // namespace

void TtsPNGImage::Reset() {
    alphaMask_.clear();
    maskWidth_ = maskHeight_ = 0;
    loaded_ = haveHeader_ = false;
    lastChunkKind_ = 0;
    width_ = height_ = 0;
    bitDepth_ = colorType_ = interlace_ = 0;
    palette_.clear();
    compressed_.clear();
    backgroundPresent_ = false;
    backgroundColor_ = 0xFFFFFF;
    physX_ = physY_ = 0;
    alpha_ = TAlpha{};
    transparency_ = false;
}

void TtsPNGImage::LoadFromBytes(std::span<const uint8_t> data) {
    if (data.size() < 8 || std::memcmp(data.data(), kSignature, 8) != 0) throw EInvalidGraphic(kBadSignature);
    Reset();
    try {
        TByteReader in(data);
        in.Seek(8);
        for (;;) {
            if (in.Size() - in.Position() < 12) throw EInvalidGraphic(kInvalid);
            const uint32_t length = in.U32();
            // Type, data and CRC must all lie inside the file.
            if (uint64_t{length} + 8 > in.Size() - in.Position()) throw EInvalidGraphic(kInvalid);
            const auto typeAndData = in.Bytes(in.Position(), uint64_t{length} + 4);
            in.Skip(uint64_t{length} + 4);
            if (Crc32(typeAndData) != in.U32()) throw EInvalidGraphic(kBadCrc);
            const auto type = typeAndData.first(4);
            const auto body = typeAndData.subspan(4);

            const uint8_t kind = KindOfChunk(type);
            switch (kind) {
            case kIHDR:
                ReadHeader(body);
                break;
            case kPLTE:
                ReadPalette(body);
                break;
            case kIDAT:
                if (compressed_.empty()) compressed_.reserve(data.size());
                compressed_.insert(compressed_.end(), body.begin(), body.end());
                break;
            case kbKGD:
                ReadBackground(body);
                break;
            case ktRNS:
                ReadTransparency(body);
                break;
            case kpHYs:
                ReadPhysical(body);
                break;
            case kOther:
                if (type[0] >= 'A' && type[0] <= 'Z') throw EInvalidGraphic(kInvalid);
                break;
            default: // IEND; tIME is not needed
                break;
            }
            lastChunkKind_ = kind;
            if (kind == kIEND) break;
        }
        if (!haveHeader_) throw EInvalidGraphic(kInvalid);
        if (compressed_.empty()) throw EInvalidGraphic(kNoData);
        if (FilteredSize() / kMaxInflateRatio > compressed_.size()) throw EInvalidGraphic(kInvalid);
        loaded_ = true;
    } catch (...) {
        Reset();
        throw;
    }
}

void TtsPNGImage::ReadHeader(std::span<const uint8_t> body) {
    if (lastChunkKind_ != 0 || body.size() < 13) throw EInvalidGraphic(kInvalid);
    TByteReader r(body);
    const uint32_t width = r.U32();
    const uint32_t height = r.U32();
    const uint8_t depth = r.U8();
    const uint8_t colorType = r.U8();
    r.Skip(2); // compression and filter method: only method 0 exists
    const uint8_t interlace = r.U8();
    const auto kind = PngPixelKind(colorType, depth);
    if (!kind || interlace > 1 || width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        throw EInvalidGraphic(kInvalid);
    CheckPixels(width, height);
    // The decoder also holds two file rows, which for 16-bit samples are wider than the picture's.
    const bool channel = colorType == 4 || colorType == 6;
    if (!WorkingMemoryAllowed(*kind, width, height, WantMask && channel) ||
        PngRowBytes(width, PngBitsPerPixel(*kind)) > kMaxBitmapBytes / 4)
        throw EInvalidGraphic(kTooLarge);
    width_ = width;
    height_ = height;
    bitDepth_ = depth;
    colorType_ = colorType;
    interlace_ = interlace;
    kind_ = *kind;
    if (channel) alpha_.Kind = TAlpha::Mask;
    haveHeader_ = true;
}

void TtsPNGImage::ReadPalette(std::span<const uint8_t> body) {
    if (colorType_ != 3) return;
    if (body.size() % 3 != 0 || body.size() > 768) throw EInvalidGraphic(kInvalid);
    palette_.clear();
    for (std::size_t i = 0; i < body.size(); i += 3) palette_.push_back({body[i], body[i + 1], body[i + 2]});
}

void TtsPNGImage::ReadBackground(std::span<const uint8_t> body) {
    if (colorType_ == 3 && body.size() == 1) {
        if (body[0] >= palette_.size()) return;
        const TRGB c = palette_[body[0]];
        backgroundColor_ = c.R | (c.G << 8) | (c.B << 16);
    } else if ((colorType_ == 0 || colorType_ == 4) && body.size() == 2) {
        backgroundColor_ = Gray(body[0]);
    } else if ((colorType_ == 2 || colorType_ == 6) && body.size() == 6) {
        const std::size_t low = bitDepth_ == 16 ? 0 : 1;
        backgroundColor_ = body[low] | (body[2 + low] << 8) | (body[4 + low] << 16);
    } else {
        return;
    }
    backgroundPresent_ = true;
}

void TtsPNGImage::ReadTransparency(std::span<const uint8_t> body) {
    TByteReader r(body);
    transparency_ =
        colorType_ == 3 || (colorType_ == 2 && body.size() == 6) || (colorType_ == 0 && body.size() == 2);
    if (colorType_ == 3) {
        const std::size_t count = std::min<std::size_t>(body.size(), alpha_.PaletteValues.size());
        std::copy_n(body.begin(), count, alpha_.PaletteValues.begin());
        alpha_.PaletteCount = static_cast<uint32_t>(count);
        const auto first = body.first(count);
        const bool binary =
            std::all_of(first.begin(), first.end(), [](uint8_t v) { return v == 0 || v == 255; });
        const auto zeros = std::count(first.begin(), first.end(), uint8_t{0});
        if (binary && zeros <= 1) {
            alpha_.Kind = TAlpha::SingleColor;
            const auto at = std::find(first.begin(), first.end(), uint8_t{0});
            alpha_.TransparentIndex = at == first.end() ? -1 : static_cast<int32_t>(at - first.begin());
            if (alpha_.TransparentIndex >= 0 && std::size_t(alpha_.TransparentIndex) < palette_.size()) {
                const TRGB c = palette_[std::size_t(alpha_.TransparentIndex)];
                alpha_.TransparentColor = c.R | (c.G << 8) | (c.B << 16);
            }
        } else {
            alpha_.Kind = TAlpha::PaletteAlpha;
        }
    } else if (colorType_ == 2 && body.size() == 6) {
        alpha_.TransparentRed = r.U16();
        alpha_.TransparentGreen = r.U16();
        alpha_.TransparentBlue = r.U16();
        if (bitDepth_ == 16) {
            alpha_.Kind = TAlpha::Mask;
        } else {
            alpha_.Kind = TAlpha::TransparentRGB;
            alpha_.TransparentColor = (alpha_.TransparentRed & 0xFFu) |
                                      ((alpha_.TransparentGreen & 0xFFu) << 8) |
                                      ((alpha_.TransparentBlue & 0xFFu) << 16);
        }
    } else if (colorType_ == 0 && body.size() == 2) {
        alpha_.TransparentGray = r.U16();
        alpha_.GrayKey = true;
        alpha_.Kind = bitDepth_ == 16 ? TAlpha::Mask : TAlpha::SingleColor;
    }
}

void TtsPNGImage::ReadPhysical(std::span<const uint8_t> body) {
    if (body.size() != 9) return;
    TByteReader r(body);
    const int32_t x = r.S32();
    const int32_t y = r.S32();
    const bool metres = r.U8() == 1;
    physX_ = metres ? x : 0;
    physY_ = metres ? y : 0;
}

uint64_t TtsPNGImage::FilteredSize() const {
    return PngFilteredSize({kind_, width_, height_, interlace_ != 0, {}});
}

namespace {

void SetPalette(TPngPixelKind kind, const std::vector<TRGB>& palette, TBMPImage& picture) {
    using K = TPngPixelKind;
    switch (kind) {
    case K::Gray1:
        picture.Palette = {{0, 0, 0}, {255, 255, 255}};
        break;
    case K::Gray2:
    case K::Gray4:
        for (std::size_t j = 0; j < 16; ++j)
            picture.Palette[j] = {uint8_t(17 * j), uint8_t(17 * j), uint8_t(17 * j)};
        break;
    case K::Gray8:
    case K::Gray16:
    case K::GrayAlpha8:
    case K::GrayAlpha16:
        for (std::size_t i = 0; i < 256; ++i) picture.Palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
        break;
    case K::Palette1:
    case K::Palette2:
    case K::Palette4:
    case K::Palette8:
        std::copy_n(palette.begin(), std::min(palette.size(), picture.Palette.size()),
                    picture.Palette.begin());
        break;
    default:
        break;
    }
}

} // namespace

std::vector<uint8_t> TtsPNGImage::IndexAlpha() const {
    std::vector<uint8_t> table(256, 255);
    if (colorType_ == 3) {
        std::copy_n(alpha_.PaletteValues.begin(), alpha_.PaletteCount, table.begin());
    } else if (colorType_ == 0 && bitDepth_ <= 8 && alpha_.GrayKey &&
               alpha_.TransparentGray >> bitDepth_ == 0) {
        // 2-bit gray levels stand at 5 × v in the 16-entry gray palette.
        table[bitDepth_ == 2 ? 5 * alpha_.TransparentGray : alpha_.TransparentGray] = 0;
    }
    if (std::all_of(table.begin(), table.end(), [](uint8_t a) { return a == 255; })) table.clear();
    return table;
}

bool TtsPNGImage::RowsComplete() const {
    return loaded_ && !interlace_ &&
           PngRowsComplete(compressed_, PngRowBytes(width_, PngBitsPerPixel(kind_)), height_);
}

std::vector<TRGB> TtsPNGImage::WorkingPalette() const {
    const TPixelFormat format = WorkingFormat();
    TBMPImage picture;
    if (format != TPixelFormat::Rgb24)
        picture.Palette.assign(std::size_t{1} << TBMPImage::BitsOf(format), TRGB{});
    SetPalette(kind_, palette_, picture);
    return picture.Palette;
}

void TtsPNGImage::AssignTo(TBMPImage& bitmap) {
    if (!loaded_) throw EInvalidGraphic(kInvalid);
    const TPixelFormat format = PngWorkingFormat(kind_);
    const auto width = static_cast<int32_t>(width_);
    const auto height = static_cast<int32_t>(height_);
    const bool withMask = WantMask && (alpha_.Kind == TAlpha::Mask || alpha_.Kind == TAlpha::TransparentRGB);
    if (!WorkingMemoryAllowed(kind_, width_, height_, withMask)) throw EInvalidGraphic(kTooLarge);

    TPngLayout layout{kind_, width_, height_, interlace_ != 0, {}};
    if (withMask && !PngHasAlphaChannel(kind_))
        layout.Key = {true, alpha_.TransparentGray, alpha_.TransparentRed, alpha_.TransparentGreen,
                      alpha_.TransparentBlue};
    std::vector<uint8_t> mask(withMask ? std::size_t{width_} * height_ : 0);

    // Inflated rows, picture and mask together stay within the bound. 16-bit rows, twice the
    // picture's or more, are never held whole: they stream through a batch buffer.
    const uint64_t held = TBMPImage::StrideFor(format, width) * uint64_t{height_} + mask.size();
    const bool sixteen = bitDepth_ == 16;
    const bool inPlace = !interlace_ && !sixteen && PngInPlaceBytes(layout) <= kMaxBitmapBytes - mask.size();
    TPngInflater inflater(compressed_, FilteredSize(), sixteen ? 0 : kMaxBitmapBytes - held);
    TBMPImage picture;
    if (!inPlace || !DecodePngInPlace(layout, inflater, picture, mask)) {
        picture.SetSize(format, width, height, kTooLarge);
        DecodePngBatched(layout, inflater, picture, mask);
    }
    if (inflater.Produced() == 0) throw EInvalidGraphic(kNoData);
    SetPalette(kind_, palette_, picture);

    bitmap = std::move(picture);
    alphaMask_ = std::move(mask);
    maskWidth_ = withMask ? width : 0;
    maskHeight_ = withMask ? height : 0;
}

} // namespace pagelith
