#include "fonts/font_program.h"

#include <hb-subset.h>
#include <hb.h>

#include <memory>
#include <string>

#include "base/deflate.h"
#include "fonts/ticfont.h"
#include "fonts/truetype_subset.h"

namespace pagelith {

namespace {

struct TBlobDeleter {
    void operator()(hb_blob_t* b) const { hb_blob_destroy(b); }
};
struct TFaceDeleter {
    void operator()(hb_face_t* f) const { hb_face_destroy(f); }
};
struct TInputDeleter {
    void operator()(hb_subset_input_t* i) const { hb_subset_input_destroy(i); }
};
using TBlob = std::unique_ptr<hb_blob_t, TBlobDeleter>;
using TFace = std::unique_ptr<hb_face_t, TFaceDeleter>;

hb_tag_t TagOf(const std::array<char, 4>& tag) {
    return HB_TAG(tag[0], tag[1], tag[2], tag[3]);
}

TFontProgram Owned(TBlob blob) {
    unsigned size = 0;
    const char* data = hb_blob_get_data(blob.get(), &size);
    TFontProgram program;
    program.Owned.assign(data, data + size);
    return program;
}

// Tables a bare CFF program does not need, left out so that HarfBuzz does not subset them.
constexpr hb_tag_t kDroppedTables[] = {
    HB_TAG('c', 'm', 'a', 'p'), HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'),
    HB_TAG('G', 'D', 'E', 'F'), HB_TAG('B', 'A', 'S', 'E'), HB_TAG('J', 'S', 'T', 'F'),
    HB_TAG('M', 'A', 'T', 'H'), HB_TAG('k', 'e', 'r', 'n'), HB_TAG('m', 'o', 'r', 'x'),
    HB_TAG('k', 'e', 'r', 'x'), HB_TAG('V', 'O', 'R', 'G'), HB_TAG('D', 'S', 'I', 'G'),
    HB_TAG('S', 'T', 'A', 'T'), HB_TAG('v', 'h', 'e', 'a'), HB_TAG('v', 'm', 't', 'x'),
    HB_TAG('C', 'O', 'L', 'R'), HB_TAG('C', 'P', 'A', 'L'), HB_TAG('E', 'B', 'D', 'T'),
    HB_TAG('E', 'B', 'L', 'C'), HB_TAG('E', 'B', 'S', 'C'), HB_TAG('C', 'B', 'D', 'T'),
    HB_TAG('C', 'B', 'L', 'C'), HB_TAG('s', 'b', 'i', 'x'), HB_TAG('S', 'V', 'G', ' '),
    HB_TAG('h', 'd', 'm', 'x'), HB_TAG('L', 'T', 'S', 'H'), HB_TAG('V', 'D', 'M', 'X'),
    HB_TAG('P', 'C', 'L', 'T'),
};

} // namespace

TFontProgram WholeProgram(const TicFont& font) {
    TFontProgram program;
    if (font.Outlines() == TOutlines::Cff) {
        program.Borrowed = font.View().Bytes("CFF ");
        return program;
    }
    if (!font.InCollection() || !font.Face()) {
        program.Borrowed = font.FileData();
        return program;
    }
    // A viewer reads one font, not a collection: the face's tables go into a file of their own.
    TFace builder(hb_face_builder_create());
    for (const TSfntView::TTable& table : font.View().Tables()) {
        TBlob blob(hb_face_reference_table(font.Face()->Face(), TagOf(table.Tag)));
        hb_face_builder_add_table(builder.get(), TagOf(table.Tag), blob.get());
    }
    return Owned(TBlob(hb_face_reference_blob(builder.get())));
}

TFontProgram SubsetProgram(const TicFont& font, std::span<const uint16_t> glyphs,
                           std::span<const TCmapEntry> cmap, bool symbolCmap, bool byGlyphId) {
    if (font.Outlines() == TOutlines::TrueType) {
        TFontProgram program;
        program.Owned = SubsetTrueType(font.View(), glyphs, cmap, symbolCmap);
        program.Subset = !program.Owned.empty();
        return program.Subset ? program : WholeProgram(font);
    }
    if (!font.Face()) return WholeProgram(font);
    std::unique_ptr<hb_subset_input_t, TInputDeleter> input(hb_subset_input_create_or_fail());
    if (!input) return WholeProgram(font);
    hb_set_t* kept = hb_subset_input_glyph_set(input.get());
    for (uint16_t g : glyphs) hb_set_add(kept, g);
    hb_set_t* dropped = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (hb_tag_t tag : kDroppedTables) hb_set_add(dropped, tag);
    // .notdef is drawn for missing characters. Kept IDs would cost a CJK subset an empty entry for
    // each of tens of thousands of glyphs.
    hb_subset_input_set_flags(input.get(),
                              HB_SUBSET_FLAGS_NOTDEF_OUTLINE |
                                  (byGlyphId ? HB_SUBSET_FLAGS_RETAIN_GIDS : HB_SUBSET_FLAGS_DEFAULT));
    TFace subset(hb_subset_or_fail(font.Face()->Face(), input.get()));
    if (!subset) return WholeProgram(font);

    TFontProgram program = Owned(TBlob(hb_face_reference_table(subset.get(), HB_TAG('C', 'F', 'F', ' '))));
    if (program.Owned.empty()) return WholeProgram(font);
    program.Subset = true;
    return program;
}

std::shared_ptr<const TPackedProgram> PackedProgram(const TicFont& font, std::span<const uint16_t> glyphs,
                                                    std::span<const TCmapEntry> cmap, bool symbolCmap,
                                                    bool byGlyphId) {
    std::string key;
    key.reserve(2 + glyphs.size_bytes() + cmap.size() * 6);
    key.push_back(static_cast<char>(symbolCmap));
    key.push_back(static_cast<char>(byGlyphId));
    const auto put = [&key](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) key.push_back(static_cast<char>(v >> (8 * i)));
    };
    put(static_cast<uint32_t>(glyphs.size()), 4);
    for (uint16_t g : glyphs) put(g, 2);
    for (const TCmapEntry& e : cmap) {
        put(e.Code, 4);
        put(e.Glyph, 2);
    }
    std::shared_ptr<const TPackedProgram> kept;
    if (font.Programs().Visit(key, [&kept](const auto& packed) { kept = packed; })) return kept;

    const TFontProgram program =
        glyphs.empty() ? WholeProgram(font) : SubsetProgram(font, glyphs, cmap, symbolCmap, byGlyphId);
    const std::span<const uint8_t> bytes = program.Bytes();
    auto packed = std::make_shared<TPackedProgram>();
    packed->Deflated =
        DeflateZlib(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    packed->Length = bytes.size();
    packed->Subset = program.Subset;

    const std::size_t cost = key.size() + packed->Deflated.size() + 64;
    font.Programs().Keep(std::move(key), packed, cost);
    return packed;
}

} // namespace pagelith
