// Builds PNG files for tests from sample values: any colour type and depth, every filter type,
// Adam7, extra chunks, and deliberately broken variants.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <zlib.h>

namespace pagelith::test_png {

inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

inline std::vector<uint8_t> Signature() {
    return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
}

inline void AddChunk(std::vector<uint8_t>& png, std::string_view type, std::span<const uint8_t> body,
                     bool breakCrc = false) {
    PutU32(png, static_cast<uint32_t>(body.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type.begin(), type.end());
    png.insert(png.end(), body.begin(), body.end());
    uLong crc = crc32(0L, png.data() + start, static_cast<uInt>(png.size() - start));
    PutU32(png, static_cast<uint32_t>(crc ^ (breakCrc ? 1u : 0u)));
}

inline std::vector<uint8_t> Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t colorType,
                                 uint8_t interlace = 0) {
    std::vector<uint8_t> b;
    PutU32(b, w);
    PutU32(b, h);
    b.insert(b.end(), {depth, colorType, 0, 0, interlace});
    return b;
}

inline std::vector<uint8_t> Deflate(std::span<const uint8_t> raw, int level = Z_DEFAULT_COMPRESSION) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level);
    out.resize(size);
    return out;
}

inline uint32_t Channels(uint8_t colorType) {
    switch (colorType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

struct TPicture {
    uint32_t Width = 0, Height = 0;
    uint8_t Depth = 8, ColorType = 0, Interlace = 0;
    std::vector<uint16_t> Samples; // row-major, Channels() per pixel

    uint16_t At(uint32_t x, uint32_t y, uint32_t c) const {
        return Samples[(std::size_t(y) * Width + x) * Channels(ColorType) + c];
    }
};

// A picture with pseudo-random samples of its depth.
inline TPicture RandomPicture(uint32_t w, uint32_t h, uint8_t depth, uint8_t colorType, uint8_t interlace = 0,
                              uint32_t seed = 1) {
    TPicture p{w, h, depth, colorType, interlace, {}};
    p.Samples.resize(std::size_t(w) * h * Channels(colorType));
    uint32_t s = seed * 2654435761u + 12345;
    const uint32_t limit = depth == 16 ? 65536 : 1u << depth;
    for (auto& v : p.Samples) {
        s = s * 1103515245u + 12345u;
        v = static_cast<uint16_t>((s >> 8) % limit);
    }
    return p;
}

inline uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Applies filter type f to one row given the unfiltered row above.
inline std::vector<uint8_t> FilterRow(uint8_t f, const std::vector<uint8_t>& row,
                                      const std::vector<uint8_t>& prev, std::size_t bpp) {
    std::vector<uint8_t> out{f};
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
        int pred = 0;
        if (f == 1) pred = a;
        if (f == 2) pred = b;
        if (f == 3) pred = (a + b) / 2;
        if (f == 4) pred = Paeth(a, b, c);
        out.push_back(static_cast<uint8_t>(row[i] - pred));
    }
    return out;
}

// The filtered image data, before deflate. Row n of the file gets filter (n + firstFilter) % 5.
inline std::vector<uint8_t> FilteredData(const TPicture& p, uint8_t firstFilter = 0) {
    static constexpr uint32_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static constexpr uint32_t kWhole[1][4] = {{0, 0, 1, 1}};
    const uint32_t ch = Channels(p.ColorType), bits = ch * p.Depth, bpp = bits < 8 ? 1 : bits / 8;
    std::vector<uint8_t> out;
    uint32_t n = firstFilter;
    const auto passes =
        p.Interlace ? std::span<const uint32_t[4]>(kAdam7) : std::span<const uint32_t[4]>(kWhole);
    for (const auto& pass : passes) {
        const uint32_t pw = p.Width > pass[0] ? (p.Width - pass[0] + pass[2] - 1) / pass[2] : 0;
        const uint32_t ph = p.Height > pass[1] ? (p.Height - pass[1] + pass[3] - 1) / pass[3] : 0;
        if (pw == 0 || ph == 0) continue;
        const std::size_t rowBytes = (std::size_t(pw) * bits + 7) / 8;
        std::vector<uint8_t> prev(rowBytes, 0);
        for (uint32_t i = 0; i < ph; ++i) {
            std::vector<uint8_t> row(rowBytes, 0);
            std::size_t bit = 0;
            for (uint32_t j = 0; j < pw; ++j)
                for (uint32_t c = 0; c < ch; ++c) {
                    const uint16_t v = p.At(pass[0] + j * pass[2], pass[1] + i * pass[3], c);
                    if (p.Depth == 16) {
                        row[bit / 8] = static_cast<uint8_t>(v >> 8);
                        row[bit / 8 + 1] = static_cast<uint8_t>(v);
                    } else {
                        row[bit / 8] |= static_cast<uint8_t>(v << (8 - p.Depth - bit % 8));
                    }
                    bit += p.Depth;
                }
            const auto filtered = FilterRow(static_cast<uint8_t>(n++ % 5), row, prev, bpp);
            out.insert(out.end(), filtered.begin(), filtered.end());
            prev = row;
        }
    }
    return out;
}

using TChunks = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// A complete file: IHDR, the extra chunks, the image data split into IDAT chunks of idatSize, IEND.
inline std::vector<uint8_t> AssemblePng(const std::vector<uint8_t>& ihdr, const TChunks& extra,
                                        const std::vector<uint8_t>& compressed,
                                        std::size_t idatSize = 1 << 16) {
    auto png = Signature();
    AddChunk(png, "IHDR", ihdr);
    for (const auto& [type, body] : extra) AddChunk(png, type, body);
    for (std::size_t at = 0; at < compressed.size(); at += idatSize)
        AddChunk(
            png, "IDAT",
            std::span<const uint8_t>(compressed).subspan(at, std::min(idatSize, compressed.size() - at)));
    AddChunk(png, "IEND", {});
    return png;
}

inline std::vector<uint8_t> EncodePng(const TPicture& p, const TChunks& extra = {}, uint8_t firstFilter = 0,
                                      std::size_t idatSize = 1 << 16) {
    return AssemblePng(Ihdr(p.Width, p.Height, p.Depth, p.ColorType, p.Interlace), extra,
                       Deflate(FilteredData(p, firstFilter)), idatSize);
}

} // namespace pagelith::test_png
