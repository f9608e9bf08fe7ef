#include "fonts/ticfont.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/byte_reader.h"
#include "base/file_bytes.h"
#include "base/pdf_error.h"

namespace pagelith {

bool TicFont::LoadFromFile(const std::string& fileName) {
    valid_ = false;
    widths_.fill(0);
    file_.reset();
    TFileBytes file = ReadRegularFile(fileName, kMaxFontFileBytes);
    if (file.Status != TFileReadStatus::Ok) return false;
    file_ = std::make_shared<const std::vector<uint8_t>>(std::move(file.Bytes));
    return Parse();
}

bool TicFont::LoadFromBytes(std::span<const uint8_t> bytes) {
    file_ = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
    return Parse();
}

TicFont TicFont::Fresh() const {
    TicFont copy = *this; // shapes stay shared: they depend only on the face and the way it was loaded
    copy.bmpMetrics_.clear();
    return copy;
}

bool TicFont::Parse() {
    valid_ = false;
    throughFace_ = false;
    symbol_ = false;
    outlines_ = TOutlines::None;
    widths_.fill(0);
    view_ = {};
    face_.reset();
    cff_.reset();
    advanceWidths_.clear();
    leftSideBearings_.clear();
    segments_.clear();
    groups_.clear();
    bmpMetrics_.clear();
    name_.clear();
    const auto view = TSfntView::AtOffset(*file_, 0);
    if (!view) return false;
    view_ = *view;
    TByteReader r(*file_);
    // A failed reader leaves valid_ false, and every cached width 0.
    valid_ = ReadName(r) && ReadHead(r) && ReadHhea(r) && ReadHmtx(r) && ReadCmap(r) && ReadPost(r) &&
             ReadOutlines();
    if (valid_) ReadCmapGroups();
    CacheWidths();
    return valid_;
}

bool TicFont::ReadOutlines() {
    face_ = std::make_shared<const TFontFace>(file_, view_);
    outlines_ = face_->Outlines();
    if (outlines_ == TOutlines::Cff)
        cff_ = std::make_shared<const TCffCharset>(ReadCffCharset(view_.Bytes("CFF ")));
    // Text in a face without outlines would be invisible, and PDF has no place for CFF2 outlines.
    valid_ = outlines_ == TOutlines::TrueType || outlines_ == TOutlines::Cff;
    return valid_;
}

namespace {

// One encoding record of a cmap, with its subtable's format: every choice of subtable starts here.
struct TCmapRecord {
    uint16_t Platform = 0;
    uint16_t Encoding = 0;
    uint32_t Offset = 0; // of the subtable, from the table's start
    std::optional<uint16_t> Format;
};

// The records in order, as far as they can be read.
std::vector<TCmapRecord> CmapRecords(std::span<const uint8_t> cmap) {
    TByteReader r(cmap);
    r.Seek(2);
    const uint16_t count = r.U16();
    std::vector<TCmapRecord> records;
    for (uint32_t i = 0; i < count; ++i) {
        TCmapRecord record;
        record.Platform = r.U16();
        record.Encoding = r.U16();
        record.Offset = r.U32();
        if (!r.Ok()) break;
        record.Format = r.U16At(record.Offset);
        records.push_back(record);
    }
    return records;
}

bool HasBitmaps(const TSfntView& view) {
    for (std::string_view tag : {"EBDT", "CBDT", "sbix", "bdat"})
        if (view.Has(tag)) return true;
    return false;
}

constexpr uint32_t kFullNameId = 4;
constexpr uint32_t kPostScriptNameId = 6;

// A name for a face that has no PostScript name: PDF needs one, and it must have no spaces.
std::string NameWithoutSpaces(std::string name) {
    std::erase(name, ' ');
    return name.empty() ? std::string("Unnamed") : name;
}

} // namespace

TicFont TicFont::Open(std::vector<uint8_t> file, uint32_t faceIndex) {
    TicFont font;
    font.file_ = std::make_shared<const std::vector<uint8_t>>(std::move(file));
    const std::span<const uint8_t> bytes = *font.file_;
    const TFontFileKind kind = FontFileKind(bytes);
    if (kind == TFontFileKind::Type1)
        throw EPDFError(
            "The file is a Type 1 font, which cannot be loaded: load an OpenType or TrueType font");
    if (kind == TFontFileKind::Woff)
        throw EPDFError(
            "The file is a WOFF web font, which cannot be loaded: load the font it was made from");
    if (kind == TFontFileKind::Unknown) throw EPDFError("The file is not a TrueType or OpenType font");
    const uint32_t faces = TSfntView::CollectionFaces(bytes).value_or(1);
    if (faceIndex >= faces)
        throw EPDFError("Face index " + std::to_string(faceIndex) + " is out of range: the file holds " +
                        std::to_string(faces) + (faces == 1 ? " face" : " faces"));
    const auto view = TSfntView::Face(bytes, faceIndex);
    if (!view) throw EPDFError("The font's table directory is damaged");
    font.view_ = *view;
    font.inCollection_ = kind == TFontFileKind::Collection;
    for (std::string_view tag : {"head", "hhea", "hmtx", "maxp"})
        if (font.view_.Bytes(tag).empty())
            throw EPDFError("The font is damaged: it has no " + std::string(tag) + " table");

    font.face_ = std::make_shared<const TFontFace>(font.file_, font.view_);
    const TFontFace& face = *font.face_;
    font.outlines_ = face.Outlines();
    if (font.outlines_ == TOutlines::None)
        throw EPDFError(HasBitmaps(font.view_) ? "The font has bitmap glyphs only, no outlines"
                                               : "The font has no glyph outlines");
    if (font.outlines_ == TOutlines::Cff2)
        throw EPDFError("The font has CFF2 outlines, which a PDF cannot embed");
    if (!face.MapsCharacters()) throw EPDFError("The font has no usable character map");
    if (font.outlines_ == TOutlines::Cff)
        font.cff_ = std::make_shared<const TCffCharset>(ReadCffCharset(font.view_.Bytes("CFF ")));

    font.name_ = face.Name(kPostScriptNameId);
    if (font.name_.empty()) font.name_ = NameWithoutSpaces(face.Name(kFullNameId));
    font.unitsPerEm_ = face.UnitsPerEm();
    TByteReader head(font.view_.Bytes("head"));
    head.Seek(36);
    font.xMin_ = head.S16();
    font.yMin_ = head.S16();
    font.xMax_ = head.S16();
    font.yMax_ = head.S16();
    font.metricsCount_ = TByteReader(font.view_.Bytes("hhea")).U16At(34).value_or(0);
    font.ascender_ = static_cast<int16_t>(face.Ascender());
    font.descender_ = static_cast<int16_t>(face.Descender());
    font.italicAngle_ = face.ItalicAngle();
    // HarfBuzz reads a (3,0) table whenever the font has one.
    const auto records = CmapRecords(font.view_.Bytes("cmap"));
    font.symbol_ = std::any_of(records.begin(), records.end(),
                               [](const TCmapRecord& r) { return r.Platform == 3 && r.Encoding == 0; });
    font.throughFace_ = true;
    font.valid_ = true;
    font.CacheWidths();
    return font;
}

bool TicFont::ReadName(TByteReader& r) {
    valid_ = false;
    const auto t = FindTable("name");
    if (!t) return false;
    r.Seek(uint64_t{t->Offset} + 2);
    const uint16_t count = r.U16();
    const uint16_t storage = r.U16();
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        const uint16_t platform = r.U16();
        const uint16_t encoding = r.U16();
        const uint16_t language = r.U16();
        const uint16_t nameId = r.U16();
        const uint16_t length = r.U16();
        const uint16_t offset = r.U16();
        if (!r.Ok()) return false;
        if (platform == 1 && encoding == 0 && language == 0 && nameId == 6) {
            const uint64_t pos = uint64_t{t->Offset} + storage + offset;
            if (!r.Has(pos, length)) return false;
            const auto bytes = r.Bytes(pos, length);
            name_.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            valid_ = true;
            return true;
        }
    }
    return false;
}

bool TicFont::ReadHead(TByteReader& r) {
    valid_ = false;
    const auto t = FindTable("head");
    if (!t || t->Length != 54) return false;
    r.Seek(uint64_t{t->Offset} + 18);
    unitsPerEm_ = r.U16();
    r.Seek(uint64_t{t->Offset} + 36);
    xMin_ = r.S16();
    yMin_ = r.S16();
    xMax_ = r.S16();
    yMax_ = r.S16();
    // Every metric is divided by unitsPerEm.
    valid_ = r.Ok() && unitsPerEm_ != 0;
    return valid_;
}

bool TicFont::ReadHhea(TByteReader& r) {
    valid_ = false;
    const auto t = FindTable("hhea");
    if (!t || t->Length != 36) return false;
    r.Seek(uint64_t{t->Offset} + 4);
    ascender_ = r.S16();
    descender_ = r.S16();
    r.Seek(uint64_t{t->Offset} + 34);
    metricsCount_ = r.U16();
    valid_ = r.Ok();
    return valid_;
}

bool TicFont::ReadHmtx(TByteReader& r) {
    valid_ = false;
    const auto t = FindTable("hmtx");
    const uint64_t need = uint64_t{4} * metricsCount_;
    if (!t || t->Length < need || !r.Has(t->Offset, need)) return false;
    r.Seek(t->Offset);
    advanceWidths_.resize(metricsCount_);
    leftSideBearings_.resize(metricsCount_);
    for (uint32_t i = 0; i < metricsCount_; ++i) {
        advanceWidths_[i] = r.U16();
        leftSideBearings_[i] = r.S16();
    }
    valid_ = r.Ok();
    return valid_;
}

std::span<const uint8_t> TicFont::FromTable(const TTableEntry& table) const {
    const std::span<const uint8_t> file = *file_;
    return table.Offset <= file.size() ? file.subspan(table.Offset) : std::span<const uint8_t>();
}

bool TicFont::ReadCmap(TByteReader& r) {
    valid_ = false;
    const auto t = FindTable("cmap");
    if (!t) return false;
    // The first Windows Unicode BMP or symbol table.
    std::optional<uint32_t> subtable;
    for (const TCmapRecord& record : CmapRecords(FromTable(*t)))
        if (record.Platform == 3 && (record.Encoding == 1 || record.Encoding == 0)) {
            subtable = record.Offset;
            symbol_ = record.Encoding == 0;
            break;
        }
    if (!subtable) return false;
    r.Seek(uint64_t{t->Offset} + *subtable);
    if (r.U16() != 4) return false;
    r.U16(); // length
    r.Skip(2);
    segCount_ = static_cast<uint16_t>(r.U16() / 2);
    r.Skip(6);
    if (!r.Ok() || !r.Has(r.Position(), uint64_t{8} * segCount_ + 2)) return false;
    segments_.resize(segCount_);
    for (TSegment& s : segments_) s.EndCode = r.U16();
    r.Skip(2);
    for (TSegment& s : segments_) s.StartCode = r.U16();
    for (TSegment& s : segments_) s.IdDelta = r.U16();
    for (TSegment& s : segments_) s.IdRangeOffset = r.U16();
    glyphArrayPos_ = static_cast<uint32_t>(r.Position());
    segmentsSorted_ =
        std::is_sorted(segments_.begin(), segments_.end(),
                       [](const TSegment& a, const TSegment& b) { return a.EndCode < b.EndCode; });
    valid_ = r.Ok();
    return valid_;
}

void TicFont::ReadCmapGroups() {
    const auto t = FindTable("cmap");
    if (!t) return;
    // A Windows full-range table, else the last Unicode full-range one.
    std::optional<uint32_t> subtable;
    for (const TCmapRecord& record : CmapRecords(FromTable(*t))) {
        if (record.Format != 12) continue;
        const bool windows = record.Platform == 3 && record.Encoding == 10;
        if (windows || (record.Platform == 0 && (record.Encoding == 4 || record.Encoding == 6))) {
            subtable = record.Offset;
            if (windows) break;
        }
    }
    if (!subtable) return;
    TByteReader g(*file_);
    g.Seek(uint64_t{t->Offset} + *subtable + 12);
    const uint32_t n = g.U32();
    // Each group takes 12 bytes of the file, so the count cannot ask for more than the file holds.
    if (!g.Ok() || !g.Has(g.Position(), uint64_t{12} * n)) return;
    std::vector<TGroup> groups(n);
    for (TGroup& group : groups) {
        group.StartCode = g.U32();
        group.EndCode = g.U32();
        group.StartGlyph = g.U32();
    }
    const bool sorted = std::is_sorted(
        groups.begin(), groups.end(), [](const TGroup& a, const TGroup& b) { return a.EndCode < b.EndCode; });
    if (g.Ok() && sorted) groups_ = std::move(groups);
}

bool TicFont::ReadPost(TByteReader& r) {
    valid_ = false;
    const auto t = FindTable("post");
    if (!t) return false;
    r.Seek(uint64_t{t->Offset} + 4);
    const int16_t whole = r.S16();
    const uint16_t fraction = r.U16();
    italicAngle_ = whole + fraction / 65536.0;
    valid_ = r.Ok();
    return valid_;
}

int32_t TicFont::Thousandths(int32_t v) const {
    if (!valid_ || unitsPerEm_ == 0) return 0;
    const double scaled = v >= 0 ? (v * 1000.0 + 500.0) / unitsPerEm_ : (v * 1000.0 - 500.0) / unitsPerEm_;
    return static_cast<int32_t>(scaled); // |v| < 2^16, so this always fits
}

uint16_t TicFont::GlyphOf(uint32_t c) const {
    if (!valid_) return 0;
    const uint32_t code = (c + static_cast<uint16_t>(charOffset_)) & 0xFFFFu;
    if (throughFace_) return face_->Glyph(code);
    return LookUpSymbol(code);
}

uint16_t TicFont::LookUpSymbol(uint32_t code) const {
    const uint16_t glyph = LookUpSegment(static_cast<uint16_t>(code));
    if (glyph != 0 || !symbol_ || code > 0xFF) return glyph;
    return LookUpSegment(static_cast<uint16_t>(0xF000 + code));
}

uint16_t TicFont::LookUpSegment(uint16_t b) const {
    if (segments_.empty()) return 0;
    // The first segment that ends at or after the code; a table out of order is searched in order.
    std::size_t j = 0;
    if (segmentsSorted_) {
        const auto it = std::lower_bound(segments_.begin(), segments_.end() - 1, b,
                                         [](const TSegment& s, uint16_t code) { return s.EndCode < code; });
        j = static_cast<std::size_t>(it - segments_.begin());
    } else {
        while (j + 1 < segments_.size() && segments_[j].EndCode < b) ++j;
    }
    const TSegment& s = segments_[j];
    if (s.EndCode < b || s.StartCode > b) return 0;
    if (s.IdRangeOffset == 0) return static_cast<uint16_t>(b + s.IdDelta);
    const uint64_t rangePos = uint64_t{glyphArrayPos_} - 2 * (uint64_t{segCount_} - j);
    const auto g = TByteReader(*file_).U16At(rangePos + s.IdRangeOffset + 2 * (uint64_t{b} - s.StartCode));
    if (!g || *g == 0) return 0;
    return static_cast<uint16_t>(*g + s.IdDelta);
}

uint16_t TicFont::GlyphOfUnicode(char32_t c) const {
    if (!valid_) return 0;
    if (throughFace_) return face_->Glyph(c);
    if (!groups_.empty()) {
        const auto it = std::lower_bound(groups_.begin(), groups_.end(), c,
                                         [](const TGroup& g, char32_t code) { return g.EndCode < code; });
        if (it == groups_.end() || it->StartCode > c) return 0;
        const uint64_t glyph = uint64_t{it->StartGlyph} + (c - it->StartCode);
        return glyph <= 0xFFFF ? static_cast<uint16_t>(glyph) : 0;
    }
    return c <= 0xFFFF ? LookUpSymbol(c) : 0;
}

uint16_t TicFont::GlyphWidth(uint16_t glyph) const {
    if (valid_ && throughFace_)
        return static_cast<uint16_t>(std::clamp(Thousandths(face_->Advance(glyph)), 0, 0xFFFF));
    if (!valid_ || advanceWidths_.empty()) return 0;
    const uint16_t advance = advanceWidths_[std::min<std::size_t>(glyph, advanceWidths_.size() - 1)];
    return static_cast<uint16_t>(std::min<int32_t>(Thousandths(advance), 0xFFFF));
}

TicFont::TGlyphMetric TicFont::LookUpMetric(char32_t c) const {
    if (c > 0xFFFF) {
        const uint16_t glyph = GlyphOfUnicode(c);
        return {glyph, GlyphWidth(glyph)};
    }
    if (bmpMetrics_.empty()) bmpMetrics_.resize(0x100);
    std::vector<uint32_t>& page = bmpMetrics_[c >> 8];
    if (page.empty()) page.assign(0x100, kUnknownMetric);
    uint32_t& known = page[c & 0xFF];
    if (known == kUnknownMetric) {
        const uint16_t glyph = GlyphOfUnicode(c);
        known = (uint32_t{glyph} << 16) | GlyphWidth(glyph);
    }
    return {static_cast<uint16_t>(known >> 16), static_cast<uint16_t>(known & 0xFFFF)};
}

void TicFont::SetCharOffset(int16_t offset) {
    charOffset_ = offset;
    CacheWidths();
}

void TicFont::CacheWidths() {
    for (uint32_t c = 0; c < widths_.size(); ++c) widths_[c] = LookUpWidth(static_cast<uint8_t>(c));
}

uint16_t TicFont::LookUpWidth(uint8_t c) const {
    return GlyphWidth(GlyphOf(c));
}

} // namespace pagelith
