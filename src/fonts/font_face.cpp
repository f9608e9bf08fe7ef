#include "fonts/font_face.h"

#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <atomic>
#include <limits>

namespace pagelith {

namespace {
std::atomic<std::size_t> memoBytes{0};
} // namespace

bool TakeMemoBytes(std::size_t bytes) {
    std::size_t held = memoBytes.load(std::memory_order_relaxed);
    do {
        if (bytes > kProcessMemoBytes - held) return false;
    } while (!memoBytes.compare_exchange_weak(held, held + bytes, std::memory_order_relaxed));
    return true;
}

void ReturnMemoBytes(std::size_t bytes) {
    memoBytes.fetch_sub(bytes, std::memory_order_relaxed);
}

namespace {

// What HarfBuzz holds while the face lives: the bytes, and the directory it reads them through.
struct TTableSource {
    TFontBytes File;
    TSfntView View;
    hb_blob_t* Blob = nullptr;
    ~TTableSource() { hb_blob_destroy(Blob); }
};

hb_blob_t* ReferenceTable(hb_face_t*, hb_tag_t tag, void* data) {
    const auto& source = *static_cast<const TTableSource*>(data);
    const char name[4] = {static_cast<char>(tag >> 24), static_cast<char>(tag >> 16),
                          static_cast<char>(tag >> 8), static_cast<char>(tag)};
    const std::span<const uint8_t> bytes = source.View.Bytes(std::string_view(name, 4));
    if (bytes.empty()) return nullptr;
    const auto offset = static_cast<unsigned>(bytes.data() - source.File->data());
    return hb_blob_create_sub_blob(source.Blob, offset, static_cast<unsigned>(bytes.size()));
}

int32_t ClampToInt16(hb_position_t v) {
    return std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
}

} // namespace

TFontFace::TFontFace(TFontBytes file, const TSfntView& view) : file_(std::move(file)), view_(view) {
    auto* source = new TTableSource{file_, view_};
    source->Blob =
        hb_blob_create(reinterpret_cast<const char*>(file_->data()), static_cast<unsigned>(file_->size()),
                       HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    face_ = hb_face_create_for_tables(ReferenceTable, source,
                                      [](void* data) { delete static_cast<TTableSource*>(data); });
    hb_face_make_immutable(face_);
    font_ = hb_font_create(face_);
    hb_font_make_immutable(font_);
}

TFontFace::~TFontFace() {
    hb_font_destroy(font_);
    hb_face_destroy(face_);
}

TOutlines TFontFace::Outlines() const {
    if (view_.Has("glyf") && view_.Has("loca")) return TOutlines::TrueType;
    if (view_.Has("CFF ")) return TOutlines::Cff;
    if (view_.Has("CFF2")) return TOutlines::Cff2;
    return TOutlines::None;
}

uint32_t TFontFace::GlyphCount() const {
    return hb_face_get_glyph_count(face_);
}

uint16_t TFontFace::UnitsPerEm() const {
    return static_cast<uint16_t>(hb_face_get_upem(face_));
}

uint16_t TFontFace::Glyph(char32_t c) const {
    hb_codepoint_t glyph = 0;
    if (!hb_font_get_nominal_glyph(font_, c, &glyph) || glyph > 0xFFFF) return 0;
    return static_cast<uint16_t>(glyph);
}

bool TFontFace::MapsCharacters() const {
    hb_set_t* set = hb_set_create();
    hb_face_collect_unicodes(face_, set);
    const bool any = !hb_set_is_empty(set);
    hb_set_destroy(set);
    return any;
}

int32_t TFontFace::Advance(uint16_t glyph) const {
    return hb_font_get_glyph_h_advance(font_, glyph);
}

int32_t TFontFace::Ascender() const {
    hb_position_t v = 0;
    hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &v);
    return ClampToInt16(v);
}

int32_t TFontFace::Descender() const {
    hb_position_t v = 0;
    hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &v);
    return ClampToInt16(v);
}

double TFontFace::ItalicAngle() const {
    return hb_style_get_value(font_, HB_STYLE_TAG_SLANT_ANGLE);
}

std::string TFontFace::Name(uint32_t nameId) const {
    // The first call gives the length, without the terminating NUL the second one writes.
    unsigned room = 0;
    const unsigned length = hb_ot_name_get_utf8(face_, nameId, HB_LANGUAGE_INVALID, &room, nullptr);
    if (length == 0) return {};
    std::string name(length + 1, '\0');
    room = length + 1;
    hb_ot_name_get_utf8(face_, nameId, HB_LANGUAGE_INVALID, &room, name.data());
    name.resize(room);
    return name;
}

} // namespace pagelith
