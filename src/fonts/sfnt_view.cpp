#include "fonts/sfnt_view.h"

#include <algorithm>
#include <cstring>

#include "base/byte_reader.h"

namespace pagelith {

namespace {
constexpr uint32_t Tag(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint8_t(s[3]);
}
} // namespace

TFontFileKind FontFileKind(std::span<const uint8_t> file) {
    const auto magic = TByteReader(file).U32At(0);
    if (!magic) return TFontFileKind::Unknown;
    switch (*magic) {
    case 0x00010000:
    case Tag("true"):
    case Tag("OTTO"):
        return TFontFileKind::Sfnt;
    case Tag("ttcf"):
        return TFontFileKind::Collection;
    case Tag("wOFF"):
    case Tag("wOF2"):
        return TFontFileKind::Woff;
    case Tag("typ1"): // a Macintosh sfnt wrapping a Type 1 font
        return TFontFileKind::Type1;
    default:
        break;
    }
    // PFA text ("%!"), or a PFB segment header.
    if ((*magic >> 16) == 0x2521 || (*magic >> 16) == 0x8001) return TFontFileKind::Type1;
    return TFontFileKind::Unknown;
}

std::optional<TSfntView> TSfntView::AtOffset(std::span<const uint8_t> file, uint64_t offset) {
    TByteReader r(file);
    r.Seek(offset);
    TSfntView view;
    view.file_ = file;
    view.version_ = r.U32();
    const uint16_t count = r.U16();
    r.Skip(6);
    if (!r.Ok() || !r.Has(r.Position(), uint64_t{16} * count)) return std::nullopt;
    view.tables_.resize(count);
    for (TTable& t : view.tables_) {
        for (char& c : t.Tag) c = static_cast<char>(r.U8());
        t.Checksum = r.U32();
        t.Offset = r.U32();
        t.Length = r.U32();
    }
    return view;
}

std::optional<uint32_t> TSfntView::CollectionFaces(std::span<const uint8_t> file) {
    if (FontFileKind(file) != TFontFileKind::Collection) return std::nullopt;
    const TByteReader r(file);
    const auto count = r.U32At(8);
    // Each face takes a four-byte offset in the header.
    if (!count || !r.Has(12, uint64_t{4} * *count)) return 0u;
    return *count;
}

std::optional<TSfntView> TSfntView::Face(std::span<const uint8_t> file, uint32_t face) {
    const auto faces = CollectionFaces(file);
    if (!faces) return face == 0 ? AtOffset(file, 0) : std::nullopt;
    if (face >= *faces) return std::nullopt;
    const auto offset = TByteReader(file).U32At(12 + uint64_t{4} * face);
    return offset ? AtOffset(file, *offset) : std::nullopt;
}

std::optional<TSfntView::TTable> TSfntView::Find(std::string_view tag) const {
    if (tag.size() != 4) return std::nullopt;
    for (auto it = tables_.rbegin(); it != tables_.rend(); ++it)
        if (std::memcmp(it->Tag.data(), tag.data(), 4) == 0) return *it;
    return std::nullopt;
}

std::span<const uint8_t> TSfntView::Bytes(std::string_view tag) const {
    const auto t = Find(tag);
    if (!t || t->Offset > file_.size()) return {};
    return file_.subspan(t->Offset, std::min<std::size_t>(t->Length, file_.size() - t->Offset));
}

} // namespace pagelith
