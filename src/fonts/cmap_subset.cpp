#include "fonts/cmap_subset.h"

#include <algorithm>

#include "base/byte_reader.h"
#include "fonts/sfnt_writer.h"

namespace pagelith {
namespace {

struct TMapping {
    uint32_t Code = 0;
    uint16_t Glyph = 0;
};

constexpr uint32_t kLastCodePoint = 0x10FFFF;
// Enough for a few more code points than glyphs; the rest (and the output) stays bounded by the font.
constexpr std::size_t kMappingsPerGlyph = 8;
constexpr std::size_t kMinMappings = 1024;
// Readable subtables merged per kind: records often share one subtable, malformed ones repeat it.
constexpr std::size_t kMaxSubtables = 4;
// Format 4 lengths are 16-bit: at most this many segments before the closing one.
constexpr std::size_t kMaxFormat4Segments = (0xFFFF - 16) / 8 - 1;

class TMappingCollector {
public:
    TMappingCollector(std::span<const uint8_t> keep, std::span<const uint16_t> kept)
        : keep_(keep), kept_(kept), limit_(kMinMappings + kMappingsPerGlyph * kept.size()) {}

    void Add(uint32_t code, uint32_t glyph) {
        if (glyph == 0 || glyph >= keep_.size() || keep_[glyph] == 0 || code > kLastCodePoint) return;
        // Repeated code points from several subtables count once the list is sorted.
        if (!Full()) mappings_.push_back({code, static_cast<uint16_t>(glyph)});
    }

    // Further code points would all be dropped.
    bool Full() const { return mappings_.size() >= 4 * limit_; }
    // Maps the kept glyphs from first to last onto consecutive code points from firstCode.
    void AddKeptRange(uint64_t first, uint64_t last, uint32_t firstCode) {
        for (auto it = std::lower_bound(kept_.begin(), kept_.end(), first);
             it != kept_.end() && *it <= last && !Full(); ++it)
            Add(static_cast<uint32_t>(firstCode + (*it - first)), *it);
    }

    // Sorted by code point; the first subtable read wins a code point mapped twice.
    std::vector<TMapping> Finish() {
        std::stable_sort(mappings_.begin(), mappings_.end(),
                         [](const TMapping& a, const TMapping& b) { return a.Code < b.Code; });
        const auto end = std::unique(mappings_.begin(), mappings_.end(),
                                     [](const TMapping& a, const TMapping& b) { return a.Code == b.Code; });
        mappings_.erase(end, mappings_.end());
        if (mappings_.size() > limit_) mappings_.resize(limit_);
        return std::move(mappings_);
    }

private:
    std::span<const uint8_t> keep_;
    std::span<const uint16_t> kept_;
    std::size_t limit_;
    std::vector<TMapping> mappings_;
};

bool ReadFormat0(TByteReader& r, TMappingCollector& out) {
    r.Seek(6);
    for (uint32_t c = 0; c < 256; ++c) {
        const uint8_t g = r.U8();
        if (!r.Ok()) return false;
        out.Add(c, g);
    }
    return true;
}

// Segments must ascend without overlapping, which bounds the walk through glyph arrays to 65536
// code points; the other segments are walked through the kept glyphs they cover.
bool ReadFormat4(TByteReader& r, TMappingCollector& out) {
    r.Seek(6);
    const uint32_t segCount = r.U16() / 2u;
    const uint64_t ends = 14, starts = ends + 2 * uint64_t{segCount} + 2;
    const uint64_t deltas = starts + 2 * uint64_t{segCount}, rangeOffsets = deltas + 2 * uint64_t{segCount};
    if (!r.Ok() || !r.Has(ends, 8 * uint64_t{segCount} + 2)) return false;
    int64_t previousEnd = -1;
    for (uint32_t i = 0; i < segCount && !out.Full(); ++i) {
        const uint32_t end = *r.U16At(ends + 2 * i), start = *r.U16At(starts + 2 * i);
        const uint16_t delta = *r.U16At(deltas + 2 * i), rangeOffset = *r.U16At(rangeOffsets + 2 * i);
        if (start > end || start <= previousEnd) return true;
        previousEnd = end;
        if (start == 0xFFFF) continue; // it only closes the table
        const uint32_t last = std::min<uint32_t>(end, 0xFFFE);
        if (rangeOffset == 0) {
            // Glyphs follow the code points modulo 65536, so the kept ones are found directly.
            const uint32_t first = (start + delta) & 0xFFFF, span = last - start;
            out.AddKeptRange(first, std::min<uint32_t>(first + span, 0xFFFF), start);
            if (first + span > 0xFFFF) out.AddKeptRange(0, first + span - 0x10000, start + (0x10000 - first));
            continue;
        }
        for (uint32_t c = start; c <= last && !out.Full(); ++c) {
            const auto g = r.U16At(rangeOffsets + 2 * i + rangeOffset + 2 * uint64_t{c - start});
            if (g && *g != 0) out.Add(c, (*g + delta) & 0xFFFF);
        }
    }
    return true;
}

bool ReadFormat6(TByteReader& r, TMappingCollector& out) {
    r.Seek(6);
    const uint32_t first = r.U16();
    const uint32_t count = r.U16();
    if (!r.Ok() || !r.Has(10, 2 * uint64_t{count})) return false;
    for (uint32_t i = 0; i < count; ++i) out.Add(first + i, *r.U16At(10 + 2 * uint64_t{i}));
    return true;
}

// Groups must ascend without overlapping.
bool ReadFormat12(TByteReader& r, TMappingCollector& out) {
    r.Seek(12);
    const uint32_t groups = r.U32();
    if (!r.Ok() || !r.Has(16, 12 * uint64_t{groups})) return false;
    int64_t previousEnd = -1;
    for (uint32_t i = 0; i < groups && !out.Full(); ++i) {
        const uint32_t start = r.U32(), end = r.U32(), startGlyph = r.U32();
        if (start > end || end > kLastCodePoint || start <= previousEnd) return true;
        previousEnd = end;
        out.AddKeptRange(startGlyph, uint64_t{startGlyph} + (end - start), start);
    }
    return true;
}

bool ReadSubtable(std::span<const uint8_t> subtable, TMappingCollector& out) {
    TByteReader r(subtable);
    switch (r.U16()) {
    case 0:
        return ReadFormat0(r, out);
    case 4:
        return ReadFormat4(r, out);
    case 6:
        return ReadFormat6(r, out);
    case 12:
        return ReadFormat12(r, out);
    default:
        return false;
    }
}

// Consecutive code points on consecutive glyphs share one range.
struct TRange {
    uint32_t Start = 0, End = 0;
    uint16_t Glyph = 0;
};

std::vector<TRange> Ranges(std::span<const TMapping> mappings, uint32_t lastCode) {
    std::vector<TRange> ranges;
    for (const TMapping& m : mappings) {
        if (m.Code > lastCode) break;
        if (!ranges.empty()) {
            TRange& r = ranges.back();
            if (m.Code == r.End + 1 && m.Glyph == uint32_t{r.Glyph} + (m.Code - r.Start)) {
                r.End = m.Code;
                continue;
            }
        }
        ranges.push_back({m.Code, m.Code, m.Glyph});
    }
    return ranges;
}

// Code points up to U+FFFE; 0xFFFF closes the table. Ranges past the 16-bit length are dropped.
void WriteFormat4(TSfntWriter& w, std::span<const TMapping> mappings) {
    std::vector<TRange> ranges = Ranges(mappings, 0xFFFE);
    if (ranges.size() > kMaxFormat4Segments) ranges.resize(kMaxFormat4Segments);
    ranges.push_back({0xFFFF, 0xFFFF, 0});
    const auto segCount = static_cast<uint32_t>(ranges.size());
    uint32_t power = 1, log2 = 0;
    while (power * 2 <= segCount) {
        power *= 2;
        ++log2;
    }
    w.U16(4);
    w.U16(static_cast<uint16_t>(16 + 8 * segCount));
    w.U16(0); // language
    w.U16(static_cast<uint16_t>(2 * segCount));
    w.U16(static_cast<uint16_t>(2 * power));
    w.U16(static_cast<uint16_t>(log2));
    w.U16(static_cast<uint16_t>(2 * segCount - 2 * power));
    for (const TRange& r : ranges) w.U16(static_cast<uint16_t>(r.End));
    w.U16(0);
    for (const TRange& r : ranges) w.U16(static_cast<uint16_t>(r.Start));
    // The closing segment maps 0xFFFF to glyph 0.
    for (const TRange& r : ranges) w.U16(r.Start == 0xFFFF ? 1 : static_cast<uint16_t>(r.Glyph - r.Start));
    for (std::size_t i = 0; i < ranges.size(); ++i) w.U16(0);
}

void WriteFormat12(TSfntWriter& w, std::span<const TMapping> mappings) {
    const std::vector<TRange> ranges = Ranges(mappings, kLastCodePoint);
    w.U16(12);
    w.U16(0);
    w.U32(static_cast<uint32_t>(16 + 12 * ranges.size()));
    w.U32(0); // language
    w.U32(static_cast<uint32_t>(ranges.size()));
    for (const TRange& r : ranges) {
        w.U32(r.Start);
        w.U32(r.End);
        w.U32(r.Glyph);
    }
}

} // namespace

std::vector<uint8_t> SubsetCmap(std::span<const uint8_t> cmap, std::span<const uint8_t> keep,
                                std::span<const uint16_t> kept) {
    TMappingCollector unicode(keep, kept), symbol(keep, kept);
    bool hasUnicode = false, hasSymbol = false;
    std::vector<uint32_t> unicodeRead, symbolRead;
    TByteReader r(cmap);
    r.Seek(2);
    const uint32_t records = r.U16();
    for (uint32_t i = 0; i < records && r.Ok(); ++i) {
        const uint16_t platform = r.U16(), encoding = r.U16();
        const uint32_t offset = r.U32();
        if (!r.Ok() || offset >= cmap.size()) continue;
        const bool isUnicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        const bool isSymbol = platform == 3 && encoding == 0;
        if (!isUnicode && !isSymbol) continue;
        auto& read = isUnicode ? unicodeRead : symbolRead;
        if (read.size() >= kMaxSubtables || std::find(read.begin(), read.end(), offset) != read.end())
            continue;
        if (!ReadSubtable(cmap.subspan(offset), isUnicode ? unicode : symbol)) continue;
        read.push_back(offset);
        (isUnicode ? hasUnicode : hasSymbol) = true;
    }
    const std::vector<TMapping> unicodeMappings = unicode.Finish(), symbolMappings = symbol.Finish();
    const bool needsFormat12 = !unicodeMappings.empty() && unicodeMappings.back().Code > 0xFFFF;

    // Records in platform and encoding order: (3,0), (3,1), (3,10).
    TSfntWriter sub;
    struct TRecord {
        uint16_t Encoding;
        uint32_t Offset;
    };
    std::vector<TRecord> written;
    if (hasSymbol) {
        written.push_back({0, static_cast<uint32_t>(sub.Size())});
        WriteFormat4(sub, symbolMappings);
    }
    if (hasUnicode || !hasSymbol) {
        written.push_back({1, static_cast<uint32_t>(sub.Size())});
        WriteFormat4(sub, unicodeMappings);
    }
    if (needsFormat12) {
        written.push_back({10, static_cast<uint32_t>(sub.Size())});
        WriteFormat12(sub, unicodeMappings);
    }
    TSfntWriter w;
    w.U16(0);
    w.U16(static_cast<uint16_t>(written.size()));
    const auto header = static_cast<uint32_t>(4 + 8 * written.size());
    for (const TRecord& rec : written) {
        w.U16(3);
        w.U16(rec.Encoding);
        w.U32(header + rec.Offset);
    }
    w.Bytes(sub.View());
    return w.Take();
}

} // namespace pagelith
