// One face of a TrueType or OpenType font: the metrics, widths and glyphs that layout and the writer
// ask for. A font loaded as AddFont loads it answers from the few tables that member's rules read;
// one loaded as LoadFont loads it answers through HarfBuzz, from any sfnt face it can use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fonts/cff_charset.h"
#include "fonts/font_face.h"
#include "fonts/sfnt_view.h"

namespace pagelith {

class TByteReader;

class TicFont {
public:
    using TTableEntry = TSfntView::TTable;

    // Loads a whole file and parses it by AddFont's rules; false (and an unusable font) on any failure.
    bool LoadFromFile(const std::string& fileName);
    bool LoadFromBytes(std::span<const uint8_t> bytes);
    // Face `face` of a font file or collection, as LoadFont takes it; throws EPDFError saying why a
    // file cannot be used.
    static TicFont Open(std::vector<uint8_t> file, uint32_t face);

    bool Valid() const { return valid_; }
    const std::string& Name() const { return name_; }

    // Metrics in thousandths of an em; 0 while the font is not valid.
    int32_t Ascent() const { return Thousandths(ascender_); }
    int32_t Descent() const { return Thousandths(descender_); }
    int32_t XMin() const { return Thousandths(xMin_); }
    int32_t YMin() const { return Thousandths(yMin_); }
    int32_t XMax() const { return Thousandths(xMax_); }
    int32_t YMax() const { return Thousandths(yMax_); }
    double ItalicAngle() const { return valid_ ? italicAngle_ : 0.0; }

    // Advance width of a single-byte character, in thousandths of an em.
    uint16_t CharWidth(uint8_t c) const { return widths_[c]; }
    const std::array<uint16_t, 256>& Widths() const { return widths_; }
    // Glyph of a single-byte character: the code plus CharOffset, looked up in the character map.
    uint16_t GlyphOf(uint32_t c) const;

    // Glyph of a Unicode character (no CharOffset), 0 when the font lacks it.
    uint16_t GlyphOfUnicode(char32_t c) const;
    // Advance width of a glyph in thousandths of an em; glyphs past the metrics take the last one's.
    uint16_t GlyphWidth(uint16_t glyph) const;
    // The glyph and its width for a Unicode character; layout asks this once per character.
    struct TGlyphMetric {
        uint16_t Glyph = 0;
        uint16_t Width = 0;
    };
    TGlyphMetric UnicodeMetric(char32_t c) const {
        if (c < 0x10000 && (c >> 8) < bmpMetrics_.size()) {
            const std::vector<uint32_t>& page = bmpMetrics_[c >> 8];
            if (!page.empty() && page[c & 0xFF] != kUnknownMetric)
                return {static_cast<uint16_t>(page[c & 0xFF] >> 16),
                        static_cast<uint16_t>(page[c & 0xFF] & 0xFFFF)};
        }
        return LookUpMetric(c);
    }

    // Added to every character code before the cmap look-up.
    int16_t CharOffset() const { return charOffset_; }
    void SetCharOffset(int16_t offset);

    uint16_t UnitsPerEm() const { return unitsPerEm_; }
    uint16_t MetricsCount() const { return metricsCount_; }

    // The whole file the face was loaded from.
    std::size_t FileSize() const { return file_ ? file_->size() : 0; }
    std::span<const uint8_t> FileData() const {
        return file_ ? std::span<const uint8_t>(*file_) : std::span<const uint8_t>();
    }
    // Runs shaped in this font, shared by every copy made of it, in this document and in others.
    TShapeCache& Shapes() const { return *shapes_; }
    // Programs packed from this font, shared as the shaped runs are.
    TProgramCache& Programs() const { return *programs_; }
    // A copy for another document, with a metric memo of its own: the fonts documents share never change.
    TicFont Fresh() const;

    // The face's tables, and HarfBuzz's view of them; null until loaded.
    const TSfntView& View() const { return view_; }
    const TFontFace* Face() const { return face_.get(); }
    // Whether the face is one of a collection, so that its tables must be gathered into a file of their own.
    bool InCollection() const { return inCollection_; }
    TOutlines Outlines() const { return outlines_; }
    // Whether the character map a viewer reads is a (3,0) symbol table.
    bool SymbolCmap() const { return symbol_; }
    // A CFF font whose glyphs are reached by CID; the code a composite font writes for a glyph is its CID.
    bool CidKeyed() const { return cff_ && cff_->CidKeyed; }
    uint16_t CodeOfGlyph(uint16_t glyph) const {
        return cff_ && glyph < cff_->Cids.size() ? cff_->Cids[glyph] : glyph;
    }

    // The last directory entry with exactly this tag.
    std::optional<TTableEntry> FindTable(std::string_view tag) const { return view_.Find(tag); }

    // Font units to thousandths of an em, rounding half away from zero.
    int32_t Thousandths(int32_t v) const;

private:
    struct TGroup {
        uint32_t StartCode = 0;
        uint32_t EndCode = 0;
        uint32_t StartGlyph = 0;
    };
    struct TSegment {
        uint16_t EndCode = 0;
        uint16_t StartCode = 0;
        uint16_t IdDelta = 0;
        uint16_t IdRangeOffset = 0;
    };

    bool Parse();
    // The file from a table's start on: AddFont's readers take offsets within a table as far as the
    // file goes, whatever length the directory states.
    std::span<const uint8_t> FromTable(const TTableEntry& table) const;
    bool ReadName(TByteReader& r);
    bool ReadHead(TByteReader& r);
    bool ReadHhea(TByteReader& r);
    bool ReadHmtx(TByteReader& r);
    bool ReadCmap(TByteReader& r);
    bool ReadPost(TByteReader& r);
    // The optional full-range Unicode table; a font without a readable one keeps format 4 only.
    void ReadCmapGroups();
    // The outline kind, and HarfBuzz's face over the tables; false for a face without usable outlines.
    bool ReadOutlines();
    uint16_t LookUpSegment(uint16_t code) const;
    // A symbol font's characters U+0000-U+00FF also reach its U+F000-U+F0FF, as Windows maps them.
    uint16_t LookUpSymbol(uint32_t code) const;
    TGlyphMetric LookUpMetric(char32_t c) const;
    uint16_t LookUpWidth(uint8_t c) const;
    // Every layout measures byte by byte, so the 256 widths are kept ready.
    void CacheWidths();

    TFontBytes file_;
    TSfntView view_;
    std::shared_ptr<const TFontFace> face_;
    std::shared_ptr<const TCffCharset> cff_;
    std::shared_ptr<TShapeCache> shapes_ = std::make_shared<TShapeCache>();
    std::shared_ptr<TProgramCache> programs_ = std::make_shared<TProgramCache>();
    TOutlines outlines_ = TOutlines::None;
    bool inCollection_ = false;
    // Loaded as LoadFont loads: characters are looked up through HarfBuzz and widths come from it.
    bool throughFace_ = false;
    uint16_t metricsCount_ = 0;
    uint16_t unitsPerEm_ = 0;
    std::vector<uint16_t> advanceWidths_;
    std::vector<int16_t> leftSideBearings_;
    std::vector<TSegment> segments_;
    uint32_t glyphArrayPos_ = 0;
    uint16_t segCount_ = 0;
    bool segmentsSorted_ = true;
    bool symbol_ = false; // the character map read is a (3,0) symbol table
    std::vector<TGroup> groups_;
    // Glyph (high half) and width (low half) of each BMP character met so far, kUnknownMetric until then,
    // in pages of 256 characters made as text reaches them: every document starts with a fresh copy.
    static constexpr uint32_t kUnknownMetric = 0xFFFFFFFFu;
    mutable std::vector<std::vector<uint32_t>> bmpMetrics_;
    bool valid_ = false;
    int16_t xMin_ = 0, yMin_ = 0, xMax_ = 0, yMax_ = 0;
    int16_t ascender_ = 0, descender_ = 0;
    std::string name_;
    double italicAngle_ = 0;
    int16_t charOffset_ = 0;
    std::array<uint16_t, 256> widths_{};
};

} // namespace pagelith
