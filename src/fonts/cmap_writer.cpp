#include "fonts/cmap_writer.h"

#include <algorithm>
#include <bit>

#include "fonts/sfnt_writer.h"

namespace pagelith {

namespace {

// Runs of codes whose glyphs follow each other: one format 4 segment or format 12 group each.
struct TRun {
    char32_t First = 0;
    char32_t Last = 0;
    uint16_t Glyph = 0;
};

std::vector<TRun> Runs(std::span<const TCmapEntry> entries) {
    std::vector<TRun> runs;
    for (const TCmapEntry& e : entries) {
        if (!runs.empty() && e.Code == runs.back().Last + 1 &&
            e.Glyph == runs.back().Glyph + (e.Code - runs.back().First)) {
            runs.back().Last = e.Code;
            continue;
        }
        runs.push_back({e.Code, e.Code, e.Glyph});
    }
    return runs;
}

void Format4(TSfntWriter& w, std::span<const TCmapEntry> bmp) {
    std::vector<TRun> runs = Runs(bmp);
    runs.push_back({0xFFFF, 0xFFFF, 0}); // the closing segment maps 0xFFFF to glyph 0
    const auto segments = static_cast<uint16_t>(runs.size());
    const uint16_t searchRange = static_cast<uint16_t>(2 * std::bit_floor(segments));
    const std::size_t start = w.Size();
    w.U16(4);
    w.U16(0); // length, patched below
    w.U16(0);
    w.U16(static_cast<uint16_t>(2 * segments));
    w.U16(searchRange);
    w.U16(static_cast<uint16_t>(std::bit_width(segments) - 1));
    w.U16(static_cast<uint16_t>(2 * segments - searchRange));
    for (const TRun& r : runs) w.U16(static_cast<uint16_t>(r.Last));
    w.U16(0);
    for (const TRun& r : runs) w.U16(static_cast<uint16_t>(r.First));
    for (const TRun& r : runs) w.U16(static_cast<uint16_t>(r.Glyph - r.First)); // modulo 65536
    for (std::size_t i = 0; i < runs.size(); ++i) w.U16(0);
    w.Patch16(start + 2, static_cast<uint16_t>(w.Size() - start));
}

void Format12(TSfntWriter& w, std::span<const TCmapEntry> entries) {
    const std::vector<TRun> runs = Runs(entries);
    w.U16(12);
    w.U16(0);
    w.U32(static_cast<uint32_t>(16 + 12 * runs.size()));
    w.U32(0);
    w.U32(static_cast<uint32_t>(runs.size()));
    for (const TRun& r : runs) {
        w.U32(r.First);
        w.U32(r.Last);
        w.U32(r.Glyph);
    }
}

} // namespace

std::vector<uint8_t> BuildCmap(std::vector<TCmapEntry> entries, bool symbol) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TCmapEntry& a, const TCmapEntry& b) { return a.Code < b.Code; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const TCmapEntry& a, const TCmapEntry& b) { return a.Code == b.Code; }),
                  entries.end());
    // 0xFFFF closes the format 4 table and is no character.
    const auto bmpEnd =
        std::find_if(entries.begin(), entries.end(), [](const TCmapEntry& e) { return e.Code >= 0xFFFF; });
    const std::span<const TCmapEntry> bmp(entries.begin(), bmpEnd);
    const bool full = !symbol && bmpEnd != entries.end();

    TSfntWriter w;
    w.U16(0);
    w.U16(full ? 2 : 1);
    w.U16(3);
    w.U16(symbol ? 0 : 1);
    const std::size_t first = w.Size();
    w.U32(0);
    if (full) {
        w.U16(3);
        w.U16(10);
        w.U32(0);
    }
    w.Patch32(first, static_cast<uint32_t>(w.Size()));
    Format4(w, bmp);
    if (full) {
        w.Patch32(first + 8, static_cast<uint32_t>(w.Size()));
        Format12(w, entries);
    }
    return w.Take();
}

} // namespace pagelith
