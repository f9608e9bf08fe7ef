// Builds small TrueType files in memory, for fonts that no system provides:
// symbol encodings, Windows-only names, exact widths, odd table sizes.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace pagelith::test {

struct TSyntheticSegment {
    uint16_t Start = 0;
    uint16_t End = 0;
    uint16_t IdDelta = 0;
    std::vector<uint16_t> Glyphs; // when not empty: mapped through the glyph array
};

struct TSyntheticName {
    uint16_t Platform = 1, Encoding = 0, Language = 0, NameId = 6;
    std::string Text;
};

struct TSyntheticFont {
    std::vector<TSyntheticName> Names = {{1, 0, 0, 6, "Synthetic-Regular"}};
    uint16_t UnitsPerEm = 1000;
    int16_t XMin = -50, YMin = -200, XMax = 900, YMax = 800;
    int16_t Ascender = 750, Descender = -250;
    std::vector<uint16_t> Advances = {600, 500, 556, 500};
    uint16_t CmapPlatform = 3, CmapEncoding = 1, CmapFormat = 4;
    // a, b, c map to glyphs 1, 2, 3.
    std::vector<TSyntheticSegment> Segments = {{0x61, 0x63, static_cast<uint16_t>(1 - 0x61), {}}};
    uint32_t ItalicAngle = 0; // 16.16 fixed
    uint32_t HeadLength = 54, HheaLength = 36;
    bool Outlines = true; // empty glyf and loca tables, which make it a TrueType font
    std::vector<std::pair<std::string, std::vector<uint8_t>>> Extra; // more tables, by tag

    std::vector<uint8_t> Build() const;
    void WriteTo(const std::string& path) const {
        const auto bytes = Build();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

// A collection of the given fonts: its header, then each font with its table offsets moved.
std::vector<uint8_t> Collection(const std::vector<std::vector<uint8_t>>& fonts);

namespace detail {
inline void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v >> 16);
    Put16(b, v & 0xFFFF);
}
} // namespace detail

inline std::vector<uint8_t> TSyntheticFont::Build() const {
    using detail::Put16;
    using detail::Put32;
    struct TTable {
        std::string Tag;
        std::vector<uint8_t> Data;
        uint32_t Length;
    };
    std::vector<TTable> tables;

    std::vector<uint8_t> name;
    Put16(name, 0);
    Put16(name, static_cast<uint32_t>(Names.size()));
    Put16(name, static_cast<uint32_t>(6 + 12 * Names.size()));
    std::string storage;
    for (const auto& n : Names) {
        Put16(name, n.Platform);
        Put16(name, n.Encoding);
        Put16(name, n.Language);
        Put16(name, n.NameId);
        Put16(name, static_cast<uint32_t>(n.Text.size()));
        Put16(name, static_cast<uint32_t>(storage.size()));
        storage += n.Text;
    }
    name.insert(name.end(), storage.begin(), storage.end());
    tables.push_back({"name", name, static_cast<uint32_t>(name.size())});

    std::vector<uint8_t> head(HeadLength > 54 ? HeadLength : 54, 0);
    head[1] = 1;                                                        // version 1.0
    head[12] = 0x5F, head[13] = 0x0F, head[14] = 0x3C, head[15] = 0xF5; // magic number
    head[18] = static_cast<uint8_t>(UnitsPerEm >> 8);
    head[19] = static_cast<uint8_t>(UnitsPerEm);
    const int16_t box[4] = {XMin, YMin, XMax, YMax};
    for (int i = 0; i < 4; ++i) {
        head[36 + 2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(box[i]) >> 8);
        head[37 + 2 * i] = static_cast<uint8_t>(box[i]);
    }
    tables.push_back({"head", head, HeadLength});

    std::vector<uint8_t> hhea(36, 0);
    hhea[1] = 1; // version 1.0
    hhea[4] = static_cast<uint8_t>(static_cast<uint16_t>(Ascender) >> 8);
    hhea[5] = static_cast<uint8_t>(Ascender);
    hhea[6] = static_cast<uint8_t>(static_cast<uint16_t>(Descender) >> 8);
    hhea[7] = static_cast<uint8_t>(Descender);
    hhea[34] = static_cast<uint8_t>(Advances.size() >> 8);
    hhea[35] = static_cast<uint8_t>(Advances.size());
    tables.push_back({"hhea", hhea, HheaLength});

    std::vector<uint8_t> hmtx;
    for (uint16_t a : Advances) {
        Put16(hmtx, a);
        Put16(hmtx, 10);
    }
    tables.push_back({"hmtx", hmtx, static_cast<uint32_t>(hmtx.size())});

    // cmap: one format 4 subtable; the closing 0xFFFF segment is added here.
    std::vector<TSyntheticSegment> segs = Segments;
    segs.push_back({0xFFFF, 0xFFFF, 1, {}});
    const auto segCount = static_cast<uint32_t>(segs.size());
    std::vector<uint8_t> sub;
    Put16(sub, CmapFormat);
    Put16(sub, 0); // length, patched below
    Put16(sub, 0);
    Put16(sub, 2 * segCount);
    Put16(sub, 0);
    Put16(sub, 0);
    Put16(sub, 0);
    for (const auto& s : segs) Put16(sub, s.End);
    Put16(sub, 0);
    for (const auto& s : segs) Put16(sub, s.Start);
    for (const auto& s : segs) Put16(sub, s.IdDelta);
    std::vector<uint16_t> glyphArray;
    for (uint32_t i = 0; i < segCount; ++i) {
        if (segs[i].Glyphs.empty()) {
            Put16(sub, 0);
        } else {
            // Bytes from this range offset to the glyph array entry of the segment.
            Put16(sub, 2 * (segCount - i) + 2 * static_cast<uint32_t>(glyphArray.size()));
            glyphArray.insert(glyphArray.end(), segs[i].Glyphs.begin(), segs[i].Glyphs.end());
        }
    }
    for (uint16_t g : glyphArray) Put16(sub, g);
    sub[2] = static_cast<uint8_t>(sub.size() >> 8);
    sub[3] = static_cast<uint8_t>(sub.size());
    std::vector<uint8_t> cmap;
    Put16(cmap, 0);
    Put16(cmap, 1);
    Put16(cmap, CmapPlatform);
    Put16(cmap, CmapEncoding);
    Put32(cmap, 12);
    cmap.insert(cmap.end(), sub.begin(), sub.end());
    tables.push_back({"cmap", cmap, static_cast<uint32_t>(cmap.size())});

    std::vector<uint8_t> post(32, 0);
    post[1] = 3;
    post[4] = static_cast<uint8_t>(ItalicAngle >> 24);
    post[5] = static_cast<uint8_t>(ItalicAngle >> 16);
    post[6] = static_cast<uint8_t>(ItalicAngle >> 8);
    post[7] = static_cast<uint8_t>(ItalicAngle);
    tables.push_back({"post", post, 32});

    if (Outlines) {
        tables.push_back({"glyf", {}, 0});
        std::vector<uint8_t> loca(2 * (Advances.size() + 1), 0);
        tables.push_back({"loca", loca, static_cast<uint32_t>(loca.size())});
    }
    std::vector<uint8_t> maxp;
    Put32(maxp, 0x00005000);
    Put16(maxp, static_cast<uint32_t>(Advances.size()));
    tables.push_back({"maxp", maxp, 6});
    for (const auto& [tag, data] : Extra) tables.push_back({tag, data, static_cast<uint32_t>(data.size())});

    std::vector<uint8_t> file;
    Put32(file, 0x00010000);
    Put16(file, static_cast<uint32_t>(tables.size()));
    Put16(file, 0);
    Put16(file, 0);
    Put16(file, 0);
    uint32_t offset = static_cast<uint32_t>(12 + 16 * tables.size());
    for (const auto& t : tables) {
        file.insert(file.end(), t.Tag.begin(), t.Tag.end());
        Put32(file, 0);
        Put32(file, offset);
        Put32(file, t.Length);
        offset += static_cast<uint32_t>((t.Data.size() + 3) & ~std::size_t{3});
    }
    for (const auto& t : tables) {
        file.insert(file.end(), t.Data.begin(), t.Data.end());
        file.resize((file.size() + 3) & ~std::size_t{3}, 0);
    }
    return file;
}

inline std::vector<uint8_t> Collection(const std::vector<std::vector<uint8_t>>& fonts) {
    using detail::Put16;
    using detail::Put32;
    std::vector<uint8_t> file = {'t', 't', 'c', 'f'};
    Put32(file, 0x00010000);
    Put32(file, static_cast<uint32_t>(fonts.size()));
    std::size_t at = 12 + 4 * fonts.size();
    for (const auto& font : fonts) {
        Put32(file, static_cast<uint32_t>(at));
        at += font.size();
    }
    for (const auto& font : fonts) {
        const auto base = static_cast<uint32_t>(file.size());
        file.insert(file.end(), font.begin(), font.end());
        const uint32_t tables = (font[4] << 8) | font[5];
        for (uint32_t i = 0; i < tables; ++i) {
            uint8_t* p = &file[base + 12 + 16 * i + 8];
            const uint32_t offset =
                (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]) + base;
            for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(offset >> (24 - 8 * k));
        }
    }
    return file;
}

} // namespace pagelith::test
