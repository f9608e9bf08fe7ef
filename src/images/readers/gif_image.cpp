#include "images/readers/gif_image.h"

#include <algorithm>
#include <array>

#include "base/byte_reader.h"
#include "images/readers/lzw_bound.h"

namespace pagelith {

namespace {

constexpr const char* kInvalidData = "Invalid GIF data";
constexpr unsigned kMaxCodes = 4096;
// The screen around the first frame is only background, which the data does not pay for: this
// much of it is allowed, a 4096 × 4096 screen's worth.
constexpr uint64_t kMaxBackgroundPixels = uint64_t{1} << 24;

// Reads a colour table of 2^(bits + 1) entries; false when the file is too short for it.
bool ReadColors(TByteReader& r, unsigned bits, std::vector<TRGB>& colors) {
    const std::size_t count = std::size_t{2} << bits;
    if (!r.Has(r.Position(), 3 * count)) return false;
    colors.resize(count);
    for (auto& c : colors) {
        c.R = r.U8();
        c.G = r.U8();
        c.B = r.U8();
    }
    return true;
}

// Joins data sub-blocks up to the zero-length terminator, or only walks them when out is null.
void ReadSubBlocks(TByteReader& r, std::vector<uint8_t>* out) {
    for (;;) {
        const uint8_t size = r.U8();
        if (!r.Ok()) throw GIFException(kInvalidData);
        if (size == 0) return;
        if (!r.Has(r.Position(), size)) throw GIFException(kInvalidData);
        if (out) {
            const auto block = r.Bytes(r.Position(), size);
            out->insert(out->end(), block.begin(), block.end());
        }
        r.Skip(size);
    }
}

// The bitmap format that holds every index of a table of this many colours.
TPixelFormat FormatFor(std::size_t colors) {
    if (colors <= 2) return TPixelFormat::Indexed1;
    if (colors <= 16) return TPixelFormat::Indexed4;
    return TPixelFormat::Indexed8;
}

void PutIndex(std::span<uint8_t> row, TPixelFormat format, std::size_t x, uint8_t index) {
    switch (format) {
    case TPixelFormat::Indexed1:
        row[x / 8] = static_cast<uint8_t>((row[x / 8] & ~(0x80u >> (x % 8))) | ((index & 1u) << (7 - x % 8)));
        break;
    case TPixelFormat::Indexed4:
        if (x % 2)
            row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0xF0) | (index & 0x0F));
        else
            row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0x0F) | (index << 4));
        break;
    default:
        row[x] = index;
        break;
    }
}

void PutRgb(std::span<uint8_t> row, std::size_t x, TRGB c) {
    row[3 * x] = c.B;
    row[3 * x + 1] = c.G;
    row[3 * x + 2] = c.R;
}

} // namespace

void TGIFImage::LoadFromBytes(std::span<const uint8_t> data) {
    loaded_ = false;
    first_ = TFrame{};
    alphaMask_.clear();
    globalColors_.clear();
    hasGlobalColors_ = false;

    TByteReader r(data, TByteReader::TOrder::LittleEndian);
    if (data.size() < 6 || data[0] != 'G' || data[1] != 'I' || data[2] != 'F')
        throw GIFException("Invalid GIF signature");
    const std::string_view version(reinterpret_cast<const char*>(data.data()) + 3, 3);
    if (version != "87a" && version != "89a") throw GIFException("Unsupported GIF version");
    r.Seek(6);
    screenWidth_ = r.U16();
    screenHeight_ = r.U16();
    const uint8_t packed = r.U8();
    r.Skip(2); // background index, aspect ratio
    if (!r.Ok()) throw GIFException(kInvalidData);
    CheckPixels(screenWidth_, screenHeight_);
    if ((packed & 0x80) != 0) {
        if (!ReadColors(r, packed & 7u, globalColors_))
            throw GIFException("Invalid number of colors specified in Screen Descriptor");
        hasGlobalColors_ = true;
    }

    int transparent = -1;
    bool haveFrame = false;
    for (;;) {
        const uint8_t block = r.U8();
        if (!r.Ok()) {
            // A file cut off after its first frame still has that frame.
            if (haveFrame) break;
            throw GIFException(kInvalidData);
        }
        if (block == 0x3B) break;
        if (block == 0x21) {
            const uint8_t label = r.U8();
            if (!r.Ok()) throw GIFException(kInvalidData);
            if (label == 0xF9) {
                std::vector<uint8_t> control;
                ReadSubBlocks(r, &control);
                if (control.size() >= 4 && !haveFrame) transparent = (control[0] & 1) ? control[3] : -1;
            } else if (label == 0xFE || label == 0x01 || label == 0xFF) {
                ReadSubBlocks(r, nullptr);
            } else {
                throw GIFException("Unknown extension type");
            }
        } else if (block == 0x2C) {
            TFrame frame;
            frame.Left = r.U16();
            frame.Top = r.U16();
            frame.Width = r.U16();
            frame.Height = r.U16();
            const uint8_t flags = r.U8();
            if (!r.Ok()) throw GIFException(kInvalidData);
            if (uint32_t{frame.Left} + frame.Width > screenWidth_ ||
                uint32_t{frame.Top} + frame.Height > screenHeight_)
                throw GIFException("Image exceeds Logical Screen size");
            frame.Interlaced = (flags & 0x40) != 0;
            if ((flags & 0x80) != 0) {
                if (!ReadColors(r, flags & 7u, frame.LocalColors))
                    throw GIFException("Invalid number of colors specified in Image Descriptor");
                frame.HasLocalColors = true;
            }
            frame.CodeSize = r.U8();
            if (!r.Ok() || frame.CodeSize < 1 || frame.CodeSize > 8) throw GIFException(kInvalidData);
            ReadSubBlocks(r, haveFrame ? nullptr : &frame.Data);
            if (!haveFrame) {
                frame.Transparent = transparent;
                first_ = std::move(frame);
                haveFrame = true;
            }
        } else {
            throw GIFException("Unknown GIF block type");
        }
    }
    if (!haveFrame) throw GIFException(kInvalidData);
    loaded_ = true;
}

std::vector<uint8_t> TGIFImage::Decode(const TFrame& frame) {
    const std::size_t total = std::size_t{frame.Width} * frame.Height;
    const unsigned minSize = frame.CodeSize;
    const unsigned clear = 1u << minSize;
    const unsigned end = clear + 1;
    // Refuse what the data cannot fill before allocating: codes take minSize + 1 bits or more.
    const uint64_t maxCodes = uint64_t{frame.Data.size()} * 8 / (minSize + 1);
    if (total > MaxLZWOutput(maxCodes, kMaxCodes - end)) throw GIFException("Decoder bit buffer under-run");

    std::vector<uint8_t> out(total);
    std::array<uint16_t, kMaxCodes> prefix{};
    std::array<uint8_t, kMaxCodes> suffix{};
    std::array<uint8_t, kMaxCodes + 1> stack{};
    for (unsigned i = 0; i < clear; ++i) suffix[i] = static_cast<uint8_t>(i);

    unsigned width = minSize + 1;
    unsigned next = clear + 2;
    int previous = -1;
    uint8_t firstOfPrevious = 0;
    uint32_t bits = 0;
    unsigned bitCount = 0;
    std::size_t in = 0, op = 0;
    while (op < total) {
        while (bitCount < width) {
            if (in >= frame.Data.size()) throw GIFException("Decoder bit buffer under-run");
            bits |= uint32_t{frame.Data[in++]} << bitCount;
            bitCount += 8;
        }
        const unsigned code = bits & ((1u << width) - 1);
        bits >>= width;
        bitCount -= width;

        if (code == clear) {
            width = minSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) throw GIFException("Decoder bit buffer under-run");
        if (previous < 0) {
            if (code >= clear) throw GIFException(kInvalidData);
            out[op++] = static_cast<uint8_t>(code);
            previous = static_cast<int>(code);
            firstOfPrevious = static_cast<uint8_t>(code);
            continue;
        }
        if (code > next || (code == next && next >= kMaxCodes)) throw GIFException(kInvalidData);

        // Unwind the string of the code (or of the previous code plus its first index, for the
        // code about to be defined) onto the stack, last index first.
        std::size_t sp = 0;
        unsigned c = code;
        if (code == next) {
            stack[sp++] = firstOfPrevious;
            c = static_cast<unsigned>(previous);
        }
        while (c >= clear) {
            if (sp >= kMaxCodes) throw GIFException("Circular decoder table entry");
            stack[sp++] = suffix[c];
            c = prefix[c];
        }
        stack[sp++] = static_cast<uint8_t>(c);
        const uint8_t firstIndex = static_cast<uint8_t>(c);

        if (next < kMaxCodes) {
            prefix[next] = static_cast<uint16_t>(previous);
            suffix[next] = firstIndex;
            ++next;
            if (next == (1u << width) && width < 12) ++width;
        }
        while (sp > 0 && op < total) out[op++] = stack[--sp];
        previous = static_cast<int>(code);
        firstOfPrevious = firstIndex;
    }
    return out;
}

void TGIFImage::AssignTo(TBMPImage& bitmap) {
    if (!loaded_) throw GIFException(kInvalidData);
    const TFrame& frame = first_;
    const std::vector<TRGB>& colors = frame.HasLocalColors ? frame.LocalColors : globalColors_;
    if (!frame.HasLocalColors && !hasGlobalColors_)
        throw GIFException("No global or local color table defined");

    const bool whole =
        frame.Left == 0 && frame.Top == 0 && frame.Width == screenWidth_ && frame.Height == screenHeight_;
    // A frame in its own colours drawn onto a screen in the global colours needs true colour.
    const bool ownColors = !whole && frame.HasLocalColors && (!hasGlobalColors_ || colors != globalColors_);
    const TPixelFormat format = ownColors ? TPixelFormat::Rgb24 : FormatFor(colors.size());
    const bool withMask = WantMask && frame.Transparent >= 0;
    const std::size_t screen = std::size_t{screenWidth_} * screenHeight_;
    if (!TBMPImage::SizeAllowed(format, screenWidth_, screenHeight_) ||
        (withMask && screen > kMaxBitmapBytes - TBMPImage::StrideFor(format, screenWidth_) * screenHeight_))
        throw GIFException("Image exceeds Logical Screen size");
    if (uint64_t{screenWidth_} * screenHeight_ - uint64_t{frame.Width} * frame.Height > kMaxBackgroundPixels)
        throw GIFException("Logical Screen is far larger than its image");
    const std::vector<uint8_t> indices = Decode(frame);
    std::vector<uint8_t> mask(withMask ? screen : 0, 0);

    bitmap.SetSize(format, screenWidth_, screenHeight_, "Image exceeds Logical Screen size");
    bitmap.XPelsPerMeter = bitmap.YPelsPerMeter = 0;
    if (format != TPixelFormat::Rgb24) {
        std::copy(colors.begin(), colors.end(), bitmap.Palette.begin());
    } else {
        // The screen as a new bitmap in the global palette has it: every pixel index 0.
        const TRGB background = hasGlobalColors_ ? globalColors_[0] : TRGB{};
        if (background != TRGB{} && bitmap.Height() > 0) {
            const auto top = bitmap.Row(0);
            for (std::size_t x = 0; x < screenWidth_; ++x) PutRgb(top, x, background);
            for (int32_t y = 1; y < bitmap.Height(); ++y)
                std::copy(top.begin(), top.end(), bitmap.Row(y).begin());
        }
    }

    // Interlaced rows arrive in four passes: every 8th from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    static constexpr std::array<std::pair<unsigned, unsigned>, 4> kPasses{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
    std::vector<uint16_t> order;
    order.reserve(frame.Height);
    if (frame.Interlaced) {
        for (const auto& [start, step] : kPasses)
            for (unsigned y = start; y < frame.Height; y += step) order.push_back(static_cast<uint16_t>(y));
    } else {
        for (unsigned y = 0; y < frame.Height; ++y) order.push_back(static_cast<uint16_t>(y));
    }

    for (std::size_t i = 0; i < order.size(); ++i) {
        auto row = bitmap.Row(frame.Top + order[i]);
        const uint8_t* src = indices.data() + i * frame.Width;
        uint8_t* maskRow =
            mask.empty() ? nullptr : mask.data() + std::size_t{screenWidth_} * (frame.Top + order[i]);
        for (std::size_t x = 0; x < frame.Width; ++x) {
            const uint8_t index = src[x];
            if (maskRow && index != frame.Transparent) maskRow[frame.Left + x] = 255;
            // Drawn onto the screen, the transparent colour lets the screen show through.
            if (!whole && index == frame.Transparent) continue;
            if (format == TPixelFormat::Rgb24)
                PutRgb(row, frame.Left + x, index < colors.size() ? colors[index] : TRGB{});
            else
                PutIndex(row, format, frame.Left + x, index);
        }
    }
    alphaMask_ = std::move(mask);
}

} // namespace pagelith
