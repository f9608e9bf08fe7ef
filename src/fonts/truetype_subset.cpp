#include "fonts/truetype_subset.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "base/byte_reader.h"
#include "fonts/cmap_writer.h"
#include "fonts/sfnt_writer.h"

namespace pagelith {
namespace {

using TTag = std::array<char, 4>;

constexpr TTag MakeTag(const char (&s)[5]) {
    return {s[0], s[1], s[2], s[3]};
}

// Deeper nesting than any real font uses; rasterizers give up around here as well.
constexpr uint32_t kMaxComponentDepth = 16;
constexpr std::size_t kGlyphHeaderSize = 10;
constexpr uint32_t kChecksumMagic = 0xB1B0AFBA;

// Tables the subset carries over byte for byte.
constexpr std::array<TTag, 5> kCopiedTables = {MakeTag("OS/2"), MakeTag("cvt "), MakeTag("fpgm"),
                                               MakeTag("prep"), MakeTag("gasp")};
// Family, style, unique and full names, version and PostScript name, with the copyright: what a
// reader may show. Licence texts and descriptions often outweigh the outlines of a subset.
constexpr uint16_t kLastKeptNameId = 6;

// Where each glyph's outline lies in glyf, read through loca.
class TGlyphLocations {
public:
    TGlyphLocations(std::span<const uint8_t> loca, std::span<const uint8_t> glyf, bool longOffsets,
                    uint32_t count)
        : loca_(loca), glyf_(glyf), long_(longOffsets), count_(count) {}

    bool Fits() const { return loca_.Has(0, (uint64_t{count_} + 1) * (long_ ? 4 : 2)); }
    uint32_t Count() const { return count_; }

    // Nothing when loca points outside glyf or backwards, or the outline is too short for its header.
    std::optional<std::span<const uint8_t>> Outline(uint32_t glyph) const {
        const auto start = Offset(glyph), end = Offset(glyph + 1);
        if (!start || !end || *end < *start || *end > glyf_.size()) return std::nullopt;
        const uint64_t length = *end - *start;
        if (length != 0 && length < kGlyphHeaderSize) return std::nullopt;
        return glyf_.subspan(static_cast<std::size_t>(*start), static_cast<std::size_t>(length));
    }

private:
    std::optional<uint64_t> Offset(uint32_t index) const {
        if (long_) return loca_.U32At(uint64_t{index} * 4);
        const auto half = loca_.U16At(uint64_t{index} * 2);
        if (!half) return std::nullopt;
        return uint64_t{*half} * 2;
    }

    TByteReader loca_;
    std::span<const uint8_t> glyf_;
    bool long_;
    uint32_t count_;
};

// The glyphs a composite outline refers to; nothing when its records run past the outline.
std::optional<std::vector<uint16_t>> Components(std::span<const uint8_t> outline) {
    std::vector<uint16_t> components;
    TByteReader r(outline);
    if (outline.empty() || r.S16() >= 0) return components;
    r.Seek(kGlyphHeaderSize);
    constexpr uint16_t kWordArgs = 0x0001, kScale = 0x0008, kMore = 0x0020, kXyScale = 0x0040,
                       kTwoByTwo = 0x0080;
    uint16_t flags = kMore;
    while (flags & kMore) {
        flags = r.U16();
        components.push_back(r.U16());
        r.Skip(flags & kWordArgs ? 4 : 2);
        if (flags & kScale)
            r.Skip(2);
        else if (flags & kXyScale)
            r.Skip(4);
        else if (flags & kTwoByTwo)
            r.Skip(8);
        if (!r.Ok()) return std::nullopt;
    }
    return components;
}

// Adds the components of every kept composite, depth first. A cycle, a component outside the font or
// nesting deeper than the limit makes the font unreadable.
bool KeepComponents(const TGlyphLocations& locations, std::vector<uint8_t>& keep) {
    const uint32_t count = locations.Count();
    enum : uint8_t { kUnseen, kOpen, kDone };
    std::vector<uint8_t> state(count, kUnseen), height(count, 0);
    struct TFrame {
        uint16_t Glyph;
        std::vector<uint16_t> Components;
        std::size_t Next = 0;
        uint32_t Height = 0;
    };
    std::vector<TFrame> stack;
    const auto open = [&](uint16_t glyph) {
        const auto outline = locations.Outline(glyph);
        if (!outline) return false;
        auto components = Components(*outline);
        if (!components) return false;
        state[glyph] = kOpen;
        stack.push_back({glyph, std::move(*components)});
        return true;
    };
    for (uint32_t root = 0; root < count; ++root) {
        if (keep[root] == 0 || state[root] != kUnseen) continue;
        if (!open(static_cast<uint16_t>(root))) return false;
        while (!stack.empty()) {
            TFrame& top = stack.back();
            if (top.Next == top.Components.size()) {
                const uint32_t h = top.Height;
                height[top.Glyph] = static_cast<uint8_t>(h);
                state[top.Glyph] = kDone;
                stack.pop_back();
                if (stack.empty()) continue;
                stack.back().Height = std::max(stack.back().Height, h + 1);
                if (stack.back().Height > kMaxComponentDepth) return false;
                continue;
            }
            const uint16_t c = top.Components[top.Next++];
            if (c >= count || state[c] == kOpen) return false;
            if (state[c] == kDone) {
                top.Height = std::max<uint32_t>(top.Height, height[c] + 1u);
                if (top.Height > kMaxComponentDepth) return false;
                continue;
            }
            keep[c] = 1;
            if (stack.size() > kMaxComponentDepth || !open(c)) return false;
        }
    }
    return true;
}

struct TOutputTable {
    TTag Tag;
    std::vector<uint8_t> Bytes;
};

std::vector<uint8_t> CopyWith16(std::span<const uint8_t> table, std::size_t pos, uint16_t value) {
    TSfntWriter w;
    w.Bytes(table);
    w.Patch16(pos, value);
    return w.Take();
}

// Kept glyphs keep their advance and side bearing, the others get zeros; the last long metric keeps
// its advance, which every glyph after it shares.
std::vector<uint8_t> SubsetHmtx(std::span<const uint8_t> hmtx, uint32_t longMetrics, uint32_t newLongMetrics,
                                std::span<const uint8_t> keep, uint32_t newCount) {
    const TByteReader r(hmtx);
    TSfntWriter w;
    w.Reserve(4 * std::size_t{newCount});
    for (uint32_t g = 0; g < newCount; ++g) {
        const bool kept = keep[g] != 0;
        if (g < newLongMetrics) {
            const uint32_t source = std::min(g, longMetrics - 1);
            const bool advance = kept || g + 1 == newLongMetrics;
            w.U16(advance ? r.U16At(4 * uint64_t{source}).value_or(0) : 0);
        }
        uint16_t lsb = 0;
        if (kept)
            lsb = (g < longMetrics ? r.U16At(4 * uint64_t{g} + 2)
                                   : r.U16At(4 * uint64_t{longMetrics} + 2 * uint64_t{g - longMetrics}))
                      .value_or(0);
        w.U16(lsb);
    }
    return w.Take();
}

// Version 3.0 keeps the italic angle, underline and fixed-pitch fields and drops the glyph names.
std::vector<uint8_t> SubsetPost(std::span<const uint8_t> post) {
    constexpr std::size_t kHeaderSize = 32;
    TSfntWriter w;
    w.Bytes(post.first(std::min(post.size(), kHeaderSize)));
    w.Zeros(kHeaderSize - w.Size());
    w.Patch32(0, 0x00030000);
    return w.Take();
}

// Keeps the records of the first name IDs, each with its own copy of its string; a table whose
// records can't be read stays as it is.
std::vector<uint8_t> SubsetName(std::span<const uint8_t> name) {
    TByteReader r(name);
    r.Seek(2);
    const uint16_t count = r.U16(), storage = r.U16();
    struct TRecord {
        std::array<uint16_t, 4> Ids; // platform, encoding, language, name
        std::span<const uint8_t> Text;
    };
    std::vector<TRecord> kept;
    for (uint32_t i = 0; i < count; ++i) {
        TRecord record{};
        for (uint16_t& id : record.Ids) id = r.U16();
        const uint16_t length = r.U16(), offset = r.U16();
        if (!r.Ok() || !r.Has(uint64_t{storage} + offset, length)) return {name.begin(), name.end()};
        // Languages above 0x8000 refer to the tags of format 1, which is not kept.
        if (record.Ids[3] > kLastKeptNameId || record.Ids[2] >= 0x8000) continue;
        record.Text = r.Bytes(uint64_t{storage} + offset, length);
        kept.push_back(record);
    }
    if (kept.size() > (0xFFFF - 6) / 12) return {name.begin(), name.end()};
    TSfntWriter w;
    w.U16(0);
    w.U16(static_cast<uint16_t>(kept.size()));
    w.U16(static_cast<uint16_t>(6 + 12 * kept.size()));
    std::size_t offset = 0;
    for (const TRecord& record : kept) {
        for (uint16_t id : record.Ids) w.U16(id);
        w.U16(static_cast<uint16_t>(record.Text.size()));
        w.U16(static_cast<uint16_t>(offset));
        offset += record.Text.size();
        // Offsets are 16-bit; what follows is a name table nobody would write.
        if (offset > 0xFFFF) return {name.begin(), name.end()};
    }
    for (const TRecord& record : kept) w.Bytes(record.Text);
    return w.Take();
}

std::vector<uint8_t> Assemble(uint32_t version, std::vector<TOutputTable> tables) {
    std::sort(tables.begin(), tables.end(), [](const TOutputTable& a, const TOutputTable& b) {
        return std::memcmp(a.Tag.data(), b.Tag.data(), 4) < 0;
    });
    const auto count = static_cast<uint32_t>(tables.size());
    uint32_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    std::size_t total = 12 + 16 * tables.size();
    for (const TOutputTable& t : tables) total += (t.Bytes.size() + 3) / 4 * 4;
    TSfntWriter w;
    w.Reserve(total);
    w.U32(version);
    w.U16(static_cast<uint16_t>(count));
    w.U16(static_cast<uint16_t>(16 * power));
    w.U16(static_cast<uint16_t>(log2));
    w.U16(static_cast<uint16_t>(16 * count - 16 * power));
    uint64_t offset = 12 + 16 * uint64_t{count};
    std::optional<std::size_t> headOffset;
    // Tables are padded, so the file's sum is the directory's plus the tables' own.
    uint32_t fileSum = 0;
    for (const TOutputTable& t : tables) {
        for (char c : t.Tag) w.U8(static_cast<uint8_t>(c));
        const uint32_t checksum = SfntChecksum(t.Bytes);
        fileSum += checksum;
        w.U32(checksum);
        w.U32(static_cast<uint32_t>(offset));
        w.U32(static_cast<uint32_t>(t.Bytes.size()));
        if (t.Tag == MakeTag("head")) headOffset = static_cast<std::size_t>(offset);
        offset += (t.Bytes.size() + 3) / 4 * 4;
    }
    fileSum += SfntChecksum(w.View());
    for (const TOutputTable& t : tables) {
        w.Bytes(t.Bytes);
        w.PadTo4();
    }
    if (headOffset) w.Patch32(*headOffset + 8, kChecksumMagic - fileSum);
    return w.Take();
}

} // namespace

std::vector<uint8_t> SubsetTrueType(const TSfntView& face, std::span<const uint16_t> glyphs,
                                    std::span<const TCmapEntry> cmap, bool symbolCmap) {
    const auto head = face.Bytes("head"), maxp = face.Bytes("maxp"), hhea = face.Bytes("hhea");
    const auto hmtx = face.Bytes("hmtx"), loca = face.Bytes("loca"), glyf = face.Bytes("glyf");
    if (head.size() < 54 || maxp.size() < 6 || hhea.size() < 36) return {};
    const auto locFormat = TByteReader(head).U16At(50);
    const uint32_t count = *TByteReader(maxp).U16At(4);
    const uint32_t longMetrics = std::min<uint32_t>(*TByteReader(hhea).U16At(34), count);
    if ((locFormat != 0 && locFormat != 1) || count == 0 || longMetrics == 0 || hmtx.size() / 4 < longMetrics)
        return {};
    const TGlyphLocations locations(loca, glyf, locFormat == 1, count);
    if (!locations.Fits()) return {};

    std::vector<uint8_t> keep(count, 0);
    keep[0] = 1;
    for (uint16_t g : glyphs)
        if (g < count) keep[g] = 1;
    if (!KeepComponents(locations, keep)) return {};
    std::vector<uint16_t> kept;
    for (uint32_t g = 0; g < count; ++g)
        if (keep[g]) kept.push_back(static_cast<uint16_t>(g));
    const uint32_t newCount = kept.back() + 1u;

    // Outlines of glyphs that share bytes could otherwise be copied more often than glyf holds them.
    TSfntWriter glyfOut, locaOut;
    locaOut.Reserve(4 * (std::size_t{newCount} + 1));
    uint64_t copied = 0;
    for (uint32_t g = 0; g < newCount; ++g) {
        locaOut.U32(static_cast<uint32_t>(glyfOut.Size()));
        if (!keep[g]) continue;
        const auto outline = locations.Outline(g);
        if (!outline) return {};
        copied += outline->size();
        if (copied > glyf.size()) return {};
        glyfOut.Bytes(*outline);
        glyfOut.PadTo4();
    }
    locaOut.U32(static_cast<uint32_t>(glyfOut.Size()));

    const uint32_t newLongMetrics = std::min(longMetrics, newCount);
    std::vector<TOutputTable> tables;
    tables.push_back({MakeTag("glyf"), glyfOut.Take()});
    tables.push_back({MakeTag("loca"), locaOut.Take()});
    TSfntWriter headOut;
    headOut.Bytes(head);
    headOut.Patch32(8, 0); // checksumAdjustment is zero while the checksums are summed
    headOut.Patch16(50, 1);
    tables.push_back({MakeTag("head"), headOut.Take()});
    tables.push_back({MakeTag("hhea"), CopyWith16(hhea, 34, static_cast<uint16_t>(newLongMetrics))});
    tables.push_back({MakeTag("hmtx"), SubsetHmtx(hmtx, longMetrics, newLongMetrics, keep, newCount)});
    tables.push_back({MakeTag("maxp"), CopyWith16(maxp, 4, static_cast<uint16_t>(newCount))});
    // Only mappings to kept glyphs: the others would draw empty outlines.
    std::vector<TCmapEntry> drawn;
    for (const TCmapEntry& e : cmap)
        if (e.Glyph < newCount && keep[e.Glyph]) drawn.push_back(e);
    tables.push_back({MakeTag("cmap"), BuildCmap(std::move(drawn), symbolCmap)});
    tables.push_back({MakeTag("post"), SubsetPost(face.Bytes("post"))});
    if (face.Has("name")) tables.push_back({MakeTag("name"), SubsetName(face.Bytes("name"))});
    for (const TTag& tag : kCopiedTables)
        if (face.Has({tag.data(), 4})) {
            const auto t = face.Bytes({tag.data(), 4});
            tables.push_back({tag, {t.begin(), t.end()}});
        }
    const uint32_t version = face.Version() == 0x74727565 ? face.Version() : 0x00010000; // 'true' stays
    return Assemble(version, std::move(tables));
}

} // namespace pagelith
