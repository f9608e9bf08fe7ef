// Builds small TrueType files with glyf outlines in memory, to give the subsetter composites,
// cycles and broken tables that no real font has.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fonts/synthetic_font.h"

namespace pagelith::test {

struct TGlyfFont {
    std::vector<std::vector<uint8_t>> Outlines;
    uint32_t Version = 0x00010000;
    uint16_t NumGlyphs = 0;   // 0: one per outline
    uint16_t LongMetrics = 0; // 0: one per glyph
    int16_t LocFormat = 1;
    std::vector<uint8_t> Cmap; // empty: 'A', 'B', ... on glyphs 1, 2, ...
    // Replaces or adds whole tables.
    std::map<std::string, std::vector<uint8_t>> Extra;

    std::vector<uint8_t> Build() const;
};

namespace glyf_detail {
using detail::Put16;
using detail::Put32;
} // namespace glyf_detail

// One contour of one point, without coordinates.
inline std::vector<uint8_t> SimpleOutline() {
    return {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, /*endPts*/ 0, 0, /*instructions*/ 0, 0, /*flags*/ 0x31};
}

// Each component placed at (0, 0) with byte arguments.
inline std::vector<uint8_t> CompositeOutline(const std::vector<uint16_t>& components) {
    std::vector<uint8_t> b = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < components.size(); ++i) {
        glyf_detail::Put16(b, 0x0002 | (i + 1 < components.size() ? 0x0020 : 0));
        glyf_detail::Put16(b, components[i]);
        b.push_back(0);
        b.push_back(0);
    }
    return b;
}

// A cmap with one (3,1) format 4 subtable, or (3,0) for a symbol font, of the given ranges (start, end,
// idDelta).
inline std::vector<uint8_t> Format4Cmap(std::vector<std::array<uint16_t, 3>> ranges, uint16_t encoding = 1) {
    using glyf_detail::Put16;
    using glyf_detail::Put32;
    ranges.push_back({0xFFFF, 0xFFFF, 1});
    const auto n = static_cast<uint32_t>(ranges.size());
    std::vector<uint8_t> b;
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, 3);
    Put16(b, encoding);
    Put32(b, 12);
    Put16(b, 4);
    Put16(b, 16 + 8 * n);
    Put16(b, 0);
    Put16(b, 2 * n);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, 0);
    for (const auto& r : ranges) Put16(b, r[1]);
    Put16(b, 0);
    for (const auto& r : ranges) Put16(b, r[0]);
    for (const auto& r : ranges) Put16(b, r[2]);
    for (std::size_t i = 0; i < n; ++i) Put16(b, 0);
    return b;
}

// A cmap with one (3,10) format 12 subtable of the given groups (start, end, start glyph).
inline std::vector<uint8_t> Format12Cmap(const std::vector<std::array<uint32_t, 3>>& groups) {
    using glyf_detail::Put16;
    using glyf_detail::Put32;
    std::vector<uint8_t> b;
    for (uint32_t v : {0u, 1u, 3u, 10u}) Put16(b, v);
    Put32(b, 12);
    Put16(b, 12);
    Put16(b, 0);
    Put32(b, static_cast<uint32_t>(16 + 12 * groups.size()));
    Put32(b, 0);
    Put32(b, static_cast<uint32_t>(groups.size()));
    for (const auto& g : groups)
        for (uint32_t v : g) Put32(b, v);
    return b;
}

inline std::vector<uint8_t> TGlyfFont::Build() const {
    using glyf_detail::Put16;
    using glyf_detail::Put32;
    const uint32_t count = NumGlyphs ? NumGlyphs : static_cast<uint32_t>(Outlines.size());
    const uint32_t metrics = LongMetrics ? LongMetrics : count;
    std::map<std::string, std::vector<uint8_t>> tables;

    std::vector<uint8_t>& glyf = tables["glyf"];
    std::vector<uint8_t>& loca = tables["loca"];
    for (const auto& outline : Outlines) {
        LocFormat == 0 ? Put16(loca, static_cast<uint32_t>(glyf.size() / 2))
                       : Put32(loca, static_cast<uint32_t>(glyf.size()));
        glyf.insert(glyf.end(), outline.begin(), outline.end());
        glyf.resize((glyf.size() + 3) / 4 * 4);
    }
    LocFormat == 0 ? Put16(loca, static_cast<uint32_t>(glyf.size() / 2))
                   : Put32(loca, static_cast<uint32_t>(glyf.size()));

    std::vector<uint8_t>& head = tables["head"];
    head.assign(54, 0);
    head[1] = 1;
    head[12] = 0x5F, head[13] = 0x0F, head[14] = 0x3C, head[15] = 0xF5;
    head[18] = 0x03, head[19] = 0xE8; // 1000 units per em
    head[50] = static_cast<uint8_t>(static_cast<uint16_t>(LocFormat) >> 8);
    head[51] = static_cast<uint8_t>(LocFormat);

    std::vector<uint8_t>& hhea = tables["hhea"];
    hhea.assign(36, 0);
    hhea[1] = 1;
    hhea[4] = 0x02, hhea[5] = 0xEE; // ascender 750
    hhea[34] = static_cast<uint8_t>(metrics >> 8);
    hhea[35] = static_cast<uint8_t>(metrics);

    std::vector<uint8_t>& hmtx = tables["hmtx"];
    for (uint32_t g = 0; g < count; ++g) {
        if (g < metrics) Put16(hmtx, 500 + g);
        Put16(hmtx, g);
    }

    std::vector<uint8_t>& maxp = tables["maxp"];
    Put32(maxp, 0x00010000);
    Put16(maxp, count);
    maxp.resize(32, 0);

    std::vector<uint8_t>& post = tables["post"];
    Put32(post, 0x00030000);
    post.resize(32, 0);

    const std::string name = "GlyfTest";
    std::vector<uint8_t>& names = tables["name"];
    Put16(names, 0);
    Put16(names, 1);
    Put16(names, 18);
    for (uint32_t v : {1u, 0u, 0u, 6u, static_cast<uint32_t>(name.size()), 0u}) Put16(names, v);
    names.insert(names.end(), name.begin(), name.end());

    tables["cmap"] =
        Cmap.empty() && count > 1
            ? Format4Cmap({{0x41, static_cast<uint16_t>(0x41 + count - 2), static_cast<uint16_t>(1 - 0x41)}})
            : Cmap;
    for (const auto& [tag, bytes] : Extra) tables[tag] = bytes;

    std::vector<uint8_t> file;
    Put32(file, Version);
    Put16(file, static_cast<uint32_t>(tables.size()));
    Put16(file, 0);
    Put16(file, 0);
    Put16(file, 0);
    uint32_t offset = static_cast<uint32_t>(12 + 16 * tables.size());
    for (const auto& [tag, bytes] : tables) {
        file.insert(file.end(), tag.begin(), tag.end());
        Put32(file, 0);
        Put32(file, offset);
        Put32(file, static_cast<uint32_t>(bytes.size()));
        offset += static_cast<uint32_t>((bytes.size() + 3) / 4 * 4);
    }
    for (const auto& [tag, bytes] : tables) {
        file.insert(file.end(), bytes.begin(), bytes.end());
        file.resize((file.size() + 3) / 4 * 4);
    }
    return file;
}

} // namespace pagelith::test
