#include "pdf/font_objects.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/utf8_text.h"
#include "base/win_ansi_encoding.h"
#include "document/pagelith.h"
#include "fonts/font_program.h"
#include "fonts/shaping.h"
#include "fonts/standard_fonts.h"
#include "pdf/pdf_file.h"
#include "pdf/stream_object.h"
#include "pdf/to_unicode_cmap.h"
#include "text/char_widths.h"
#include "text/text_res.h"

namespace pagelith {

namespace {
int64_t FontKey(int32_t number, bool unicode) {
    return int64_t{number} * 2 + (unicode ? 1 : 0);
}

// Every text placed somewhere, once, however often it is placed.
template <class TVisit> void ForEachPlacedText(const TPagelith& doc, TVisit visit) {
    std::vector<bool> scanned(std::size_t{doc.Resources.Count()} + 1, false);
    for (const auto& page : doc.Pages)
        for (const auto& obj : page->Placements) {
            if (obj->Kind != kTextPlacement || obj->ResourceIndex >= scanned.size() ||
                scanned[obj->ResourceIndex])
                continue;
            scanned[obj->ResourceIndex] = true;
            if (const auto* text = dynamic_cast<const TPDFTextRes*>(doc.Resources.Item(obj->ResourceIndex)))
                visit(*text);
        }
}

bool HasUnicodeLines(const TPDFTextRes& text) {
    const auto& styles = text.Lines.Styles();
    return std::any_of(styles.begin(), styles.end(), [](const TLineStyle& s) { return s.Unicode; });
}
} // namespace

TPDFFontRes* TDocumentFonts::Find(int32_t number, bool unicode) const {
    auto it = byKey_.find(FontKey(number, unicode));
    return it == byKey_.end() ? nullptr : it->second;
}

TPDFFontRes& TDocumentFonts::Add(int32_t number, bool unicode) {
    auto entry = std::make_unique<TPDFFontRes>();
    if (!IsStandardFont(number)) {
        if (const TPDFFontRes* loaded = doc_.Fonts.Item(static_cast<uint32_t>(number - kStandardFontCount)))
            entry->Assign(*loaded);
        const TicFont& font = entry->Font;
        const bool subset = doc_.SubsetFonts;
        // A symbol font's characters up to 0xFF sit at U+F0xx in its map, where viewers look for them.
        const auto mapped = [&](char32_t c) -> char32_t {
            return font.SymbolCmap() && c <= 0xFF ? 0xF000 + c : c;
        };
        if (unicode) {
            entry->Unicode = true;
            // Glyph IDs mean nothing in any other font, so the program always goes with them.
            entry->Embed = true;
            entry->GlyphChars = UnicodeGlyphs(number);
            if (subset)
                for (const auto& [glyph, chars] : entry->GlyphChars) {
                    entry->SubsetGlyphs.push_back(glyph);
                    // The subset's own map reaches the glyphs that stand for one character of their own.
                    if (chars.size() == 1 && font.GlyphOfUnicode(chars[0]) == glyph)
                        entry->SubsetCmap.push_back({mapped(chars[0]), glyph});
                }
        } else {
            entry->UsedChars = UsedChars();
            uint16_t first = 255, last = 0;
            for (uint16_t c = 0; c <= 254; ++c)
                if (entry->UsedChars[c]) {
                    first = c;
                    break;
                }
            for (uint16_t c = 255; c >= 1; --c)
                if (entry->UsedChars[c]) {
                    last = c;
                    break;
                }
            entry->FirstChar = first;
            entry->LastChar = last < first ? first : last;
            if (subset && entry->Embed)
                for (uint16_t c = 0; c < 256; ++c) {
                    if (!entry->UsedChars[c]) continue;
                    // Both the glyph the widths measured and the one a viewer finds for the encoding's
                    // character, which the subset's map keeps.
                    const char32_t u = font.SymbolCmap() ? c : WinAnsiToUnicode(static_cast<uint8_t>(c));
                    const uint16_t drawn = font.SymbolCmap() ? font.GlyphOf(c) : font.GlyphOfUnicode(u);
                    entry->SubsetGlyphs.push_back(font.GlyphOf(c));
                    entry->SubsetGlyphs.push_back(drawn);
                    entry->SubsetCmap.push_back({mapped(u), drawn});
                }
        }
        if (!entry->SubsetGlyphs.empty()) {
            std::sort(entry->SubsetGlyphs.begin(), entry->SubsetGlyphs.end());
            entry->SubsetGlyphs.erase(std::unique(entry->SubsetGlyphs.begin(), entry->SubsetGlyphs.end()),
                                      entry->SubsetGlyphs.end());
        }
    }
    entry->Number = number;
    TPDFFontRes& ref = *entry;
    entries_.push_back(std::move(entry));
    byKey_.emplace(FontKey(number, ref.Unicode), &ref);
    return ref;
}

const std::array<bool, 256>& TDocumentFonts::UsedChars() {
    if (usedChars_) return *usedChars_;
    std::array<bool, 256>& used = usedChars_.emplace();
    used.fill(false);
    ForEachPlacedText(doc_, [&](const TPDFTextRes& text) {
        if (!HasUnicodeLines(text)) {
            for (char c : text.Lines.Chars()) used[static_cast<uint8_t>(c)] = true;
            return;
        }
        for (std::size_t k = 0; k < text.Lines.size(); ++k)
            if (!text.Lines.Style(k).Unicode)
                for (char c : text.Lines.Text(k)) used[static_cast<uint8_t>(c)] = true;
    });
    return used;
}

const std::vector<std::pair<uint16_t, std::u32string>>& TDocumentFonts::UnicodeGlyphs(int32_t number) {
    if (!unicodeGlyphs_) GatherShapedText();
    static const std::vector<std::pair<uint16_t, std::u32string>> kNone;
    const auto it = unicodeGlyphs_->find(number);
    return it == unicodeGlyphs_->end() ? kNone : it->second;
}

const std::vector<TDocumentFonts::TUse>& TDocumentFonts::TextFonts(const TPDFTextRes& text) {
    if (HasUnicodeLines(text)) {
        if (!unicodeGlyphs_) GatherShapedText();
        return textFonts_[&text];
    }
    const auto [it, added] = textFonts_.try_emplace(&text);
    std::vector<TUse>& uses = it->second;
    if (!added) return uses;
    // Lines name their styles in the order the styles were made.
    const TLineStyle* last = nullptr;
    for (std::size_t k = 0; k < text.Lines.size(); ++k) {
        const TLineStyle& style = text.Lines.Style(k);
        if (&style == last) continue;
        last = &style;
        const TUse use{style.Font, false};
        if (std::find(uses.begin(), uses.end(), use) == uses.end()) uses.push_back(use);
    }
    return uses;
}

namespace {

// What the glyphs of a shaped segment stand for. A glyph alone in its cluster stands for all of the
// cluster's characters (a ligature for its letters); of several glyphs in one cluster, each that is a
// character's own glyph stands for that character, and the first of the others for the rest. Each
// glyph keeps the first characters it is seen with.
void RecordClusters(const TicFont& font, std::string_view text, std::span<const TShapedGlyph> glyphs,
                    std::unordered_map<uint16_t, std::u32string>& chars) {
    const auto record = [&](uint16_t glyph, std::u32string s) {
        auto [it, added] = chars.try_emplace(glyph, std::move(s));
        if (!added && it->second.empty()) it->second = std::move(s);
    };
    for (std::size_t i = 0; i < glyphs.size();) {
        const uint32_t cluster = glyphs[i].Cluster;
        std::size_t end = i + 1;
        while (end < glyphs.size() && glyphs[end].Cluster == cluster) ++end;
        if (end - i == 1) {
            const auto known = chars.find(glyphs[i].Glyph);
            if (known != chars.end() && !known->second.empty()) { // most glyphs recur
                i = end;
                continue;
            }
        }
        // Clusters run one way through a run, so the next one up is a neighbour.
        std::size_t stop = text.size();
        if (end < glyphs.size() && glyphs[end].Cluster > cluster) stop = glyphs[end].Cluster;
        if (i > 0 && glyphs[i - 1].Cluster > cluster)
            stop = std::min<std::size_t>(stop, glyphs[i - 1].Cluster);
        std::u32string letters;
        for (std::size_t k = std::min<std::size_t>(cluster, text.size()); k < stop;)
            letters.push_back(NextCodePoint(text, k));
        if (end - i == 1) {
            record(glyphs[i].Glyph, std::move(letters));
        } else {
            // A glyph a character has as its own, or that stands for characters of the cluster already,
            // keeps them; the others share the rest, one each when they come out even.
            std::vector<uint16_t> others;
            for (std::size_t g = i; g < end; ++g) {
                const uint16_t glyph = glyphs[g].Glyph;
                const auto own = std::find_if(letters.begin(), letters.end(),
                                              [&](char32_t c) { return font.GlyphOfUnicode(c) == glyph; });
                if (own != letters.end()) {
                    record(glyph, std::u32string(1, *own));
                    letters.erase(own);
                    continue;
                }
                const auto known = chars.find(glyph);
                if (known != chars.end() && !known->second.empty() &&
                    known->second.size() <= letters.size()) {
                    const auto at = std::search(letters.begin(), letters.end(), known->second.begin(),
                                                known->second.end());
                    if (at != letters.end()) {
                        letters.erase(at, at + static_cast<std::ptrdiff_t>(known->second.size()));
                        continue;
                    }
                }
                others.push_back(glyph);
            }
            const bool even = others.size() == letters.size();
            for (std::size_t k = 0; k < others.size(); ++k)
                record(others[k], even ? letters.substr(k, 1) : k == 0 ? letters : std::u32string());
        }
        i = end;
    }
}

} // namespace

void TDocumentFonts::GatherShapedText() {
    std::map<int32_t, std::unordered_map<uint16_t, std::u32string>> seen;
    ForEachPlacedText(doc_, [&](const TPDFTextRes& text) {
        if (!HasUnicodeLines(text)) return;
        std::vector<TUse>& uses = textFonts_[&text];
        const auto use = [&](TUse u) {
            if (std::find(uses.begin(), uses.end(), u) == uses.end()) uses.push_back(u);
        };
        blocks_.ForEachVisualLine(
            text, doc_.Fonts, 100, [&](const TSegmentList& segments, std::size_t first, std::size_t end) {
                for (std::size_t i = first; i < end; ++i) {
                    const TSegment& seg = segments.At(i);
                    if (!seg.Shaped) {
                        use({segments.Style(i).Font, false});
                        continue;
                    }
                    use({seg.Font, true});
                    const TPDFFontRes* font =
                        doc_.Fonts.Item(static_cast<uint32_t>(seg.Font - kStandardFontCount));
                    if (font)
                        RecordClusters(font->Font, segments.Text(i), segments.Glyphs(i), seen[seg.Font]);
                }
            });
    });
    auto& glyphs = unicodeGlyphs_.emplace();
    for (auto& [font, chars] : seen) {
        auto& list = glyphs[font];
        list.reserve(chars.size());
        for (auto& [glyph, s] : chars) list.emplace_back(glyph, std::move(s));
        std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    }
}

namespace {
constexpr TFontObject kStandardObjects[] = {TFontObject::Font};
constexpr TFontObject kSimpleObjects[] = {TFontObject::Font, TFontObject::Descriptor};
constexpr TFontObject kEmbeddedObjects[] = {TFontObject::Font, TFontObject::Descriptor, TFontObject::Program};
constexpr TFontObject kCompositeObjects[] = {TFontObject::Font, TFontObject::Descendant,
                                             TFontObject::ToUnicode, TFontObject::Descriptor,
                                             TFontObject::Program};
} // namespace

std::span<const TFontObject> FontObjects(const TPDFFontRes& font) {
    if (IsStandardFont(font.Number)) return kStandardObjects;
    if (font.Unicode) return kCompositeObjects;
    if (font.Embed) return kEmbeddedObjects;
    return kSimpleObjects;
}

int32_t FontMinorVersion(const TPDFFontRes& font) {
    return font.Unicode && font.Font.Outlines() == TOutlines::Cff ? 3 : 2;
}

void AppendFontResourceName(std::string& out, int32_t number, bool unicode) {
    if (IsStandardFont(number)) {
        out += "/SF";
        out += std::to_string(number);
        return;
    }
    out += unicode ? "/TU" : "/TT";
    out += std::to_string(int64_t{number} - kStandardFontCount);
}

void AppendPdfName(std::string& out, std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr std::string_view kDelimiters = "()<>[]{}/%#";
    for (char ch : name) {
        const auto c = static_cast<uint8_t>(ch);
        if (c < 0x21 || c > 0x7E || kDelimiters.find(ch) != std::string_view::npos) {
            out.push_back('#');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        } else {
            out.push_back(ch);
        }
    }
}

namespace {

void WriteStandardFont(TPdfFile& file, const TPDFFontRes& font) {
    file.BeginObject();
    auto out = file.Out();
    out.Line("<< /Type /Font").Line("/Subtype /Type1");
    out.Text("/Name /SF").Integer(font.Number).EndLine();
    out.Text("/BaseFont /").Line(StandardFontName(font.Number)).Line("/Encoding /WinAnsiEncoding").Line(">>");
    file.EndObject();
}

// Halves away from zero.
int64_t WholeDegrees(double v) {
    const double t = v >= 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5);
    return std::isfinite(t) ? static_cast<int64_t>(t) : 0; // from a 16.16 value: always finite
}

// The program the font embeds (none when it is not embedded), and the name the font objects give
// it: a subset's name takes a six-letter tag.
struct TEmbedded {
    std::shared_ptr<const TPackedProgram> Program;
    std::string Name;
    bool Cff = false;
};

TEmbedded Embedded(const TPDFFontRes& font) {
    TEmbedded embedded;
    embedded.Name = font.Font.Name();
    embedded.Cff = font.Font.Outlines() == TOutlines::Cff;
    if (!font.Embed) return embedded;
    // No glyphs: the whole face.
    embedded.Program = PackedProgram(font.Font, font.SubsetGlyphs, font.SubsetCmap, font.Font.SymbolCmap(),
                                     font.Unicode && !font.Font.CidKeyed());
    if (!embedded.Program->Subset) return embedded; // a font that cannot be subset goes in whole
    // The same glyphs of the same font give the same tag, on every platform.
    uint32_t hash = 2166136261u;
    const auto mix = [&](uint8_t b) { hash = (hash ^ b) * 16777619u; };
    for (char c : embedded.Name) mix(static_cast<uint8_t>(c));
    for (uint16_t g : font.SubsetGlyphs) {
        mix(static_cast<uint8_t>(g >> 8));
        mix(static_cast<uint8_t>(g));
    }
    std::string tag(7, '+');
    for (std::size_t i = 0; i < 6; ++i) {
        tag[i] = static_cast<char>('A' + hash % 26);
        hash /= 26;
    }
    embedded.Name = tag + embedded.Name;
    return embedded;
}

// A composite font's glyphs by the codes its content writes: glyph IDs, or a CID-keyed font's CIDs.
struct TCodedGlyph {
    uint16_t Code;
    uint16_t Glyph;
    std::u32string_view Chars;
};

std::vector<TCodedGlyph> CodedGlyphs(const TPDFFontRes& font) {
    std::vector<TCodedGlyph> coded;
    coded.reserve(font.GlyphChars.size());
    for (const auto& [glyph, chars] : font.GlyphChars)
        coded.push_back({font.Font.CodeOfGlyph(glyph), glyph, chars});
    std::stable_sort(coded.begin(), coded.end(),
                     [](const auto& a, const auto& b) { return a.Code < b.Code; });
    return coded;
}

using TFontNumbers = TObjectNumbers<TFontObject>;

void WriteDescriptor(TPdfFile& file, const TPDFFontRes& font, const TFontNumbers& numbers,
                     const TEmbedded& embedded, int flags) {
    const TicFont& tt = font.Font;
    file.BeginObject();
    auto out = file.Out();
    out.Line("<< /Type /FontDescriptor");
    out.Text("/Ascent ").Integer(tt.Ascent()).EndLine().Line("/CapHeight 0");
    out.Text("/Descent ").Integer(tt.Descent()).EndLine().Text("/Flags ").Integer(flags).EndLine();
    out.Text("/FontBBox [ ").Integer(tt.XMin()).Text(" ").Integer(tt.YMin()).Text(" ");
    out.Integer(tt.XMax()).Text(" ").Integer(tt.YMax()).Line(" ]");
    out.Text("/FontName /");
    AppendPdfName(file.Buffer, embedded.Name);
    out.EndLine().Text("/ItalicAngle ").Integer(WholeDegrees(tt.ItalicAngle())).EndLine().Line("/StemV 0");
    if (numbers.Has(TFontObject::Program))
        out.Text(embedded.Cff ? "/FontFile3 " : "/FontFile2 ")
            .Integer(numbers.Of(TFontObject::Program))
            .Line(" 0 R");
    out.Line(">>");
    file.EndObject();
}

// A TrueType file (FontFile2), or a bare CFF program (FontFile3) of the kind its font dictionary names.
void WriteFontFile(TPdfFile& file, const TPDFFontRes& font, const TEmbedded& embedded) {
    TStreamObject stream(file, TStreamLength::Direct);
    stream.Dictionary().Line("<< /Filter /FlateDecode");
    std::string tail = " /Length1 " + std::to_string(embedded.Program->Length) + " >>";
    if (embedded.Cff) tail = font.Unicode ? " /Subtype /CIDFontType0C >>" : " /Subtype /Type1C >>";
    stream.Copy(embedded.Program->Deflated, tail);
}

// A simple font: TrueType, or Type1 over a CFF program.
void WriteSimpleFont(TPdfFile& file, const TPDFFontRes& font, const TFontNumbers& numbers,
                     const TEmbedded& embedded) {
    const TicFont& tt = font.Font;
    file.BeginObject();
    auto out = file.Out();
    out.Line("<< /Type /Font").Line(embedded.Cff ? "/Subtype /Type1" : "/Subtype /TrueType");
    out.Text("/FirstChar ").Integer(font.FirstChar).EndLine();
    out.Text("/LastChar ").Integer(font.LastChar).EndLine();
    out.Text("/Widths [ ");
    for (uint32_t c = font.FirstChar; c <= font.LastChar && c < 256; ++c) {
        if (font.UsedChars[c])
            out.Integer(tt.CharWidth(static_cast<uint8_t>(c))).Text(" ");
        else
            out.Text("0 ");
    }
    out.Line("]").Line("/Encoding /WinAnsiEncoding").Text("/BaseFont /");
    AppendPdfName(file.Buffer, embedded.Name);
    out.EndLine()
        .Text("/FontDescriptor ")
        .Integer(numbers.Of(TFontObject::Descriptor))
        .Line(" 0 R")
        .Line(">>");
    file.EndObject();
}

// Type0 over a CIDFont (Identity-H): CIDFontType2 whose CIDs are the glyph IDs, or CIDFontType0 over a
// CFF program whose CIDs are its own (a name-keyed program's are its glyph IDs). The ToUnicode map
// gives the characters back.
void WriteType0Font(TPdfFile& file, const TFontNumbers& numbers, const TEmbedded& embedded) {
    file.BeginObject();
    auto out = file.Out();
    out.Line("<< /Type /Font").Line("/Subtype /Type0").Text("/BaseFont /");
    AppendPdfName(file.Buffer, embedded.Name);
    out.EndLine().Line("/Encoding /Identity-H");
    out.Text("/DescendantFonts [ ").Integer(numbers.Of(TFontObject::Descendant)).Line(" 0 R ]");
    out.Text("/ToUnicode ").Integer(numbers.Of(TFontObject::ToUnicode)).Line(" 0 R").Line(">>");
    file.EndObject();
}

void WriteCIDFont(TPdfFile& file, const TPDFFontRes& font, const TFontNumbers& numbers,
                  const TEmbedded& embedded, std::span<const TCodedGlyph> glyphs) {
    const TicFont& tt = font.Font;
    file.BeginObject();
    auto out = file.Out();
    out.Line("<< /Type /Font").Line(embedded.Cff ? "/Subtype /CIDFontType0" : "/Subtype /CIDFontType2");
    out.Text("/BaseFont /");
    AppendPdfName(file.Buffer, embedded.Name);
    out.EndLine().Line("/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>");
    out.Text("/FontDescriptor ").Integer(numbers.Of(TFontObject::Descriptor)).Line(" 0 R");
    out.Text("/DW ").Integer(tt.GlyphWidth(0)).EndLine();
    // Runs of consecutive glyphs share one array.
    out.Text("/W [");
    for (std::size_t i = 0; i < glyphs.size();) {
        std::size_t end = i + 1;
        while (end < glyphs.size() && glyphs[end].Code == glyphs[end - 1].Code + 1) ++end;
        out.Text(" ").Integer(glyphs[i].Code).Text(" [");
        for (std::size_t k = i; k < end; ++k) out.Text(" ").Number(NominalAdvance(tt, glyphs[k].Glyph));
        out.Text(" ]");
        i = end;
    }
    out.Line(" ]");
    if (!embedded.Cff) out.Line("/CIDToGIDMap /Identity");
    out.Line(">>");
    file.EndObject();
}

void WriteToUnicode(TPdfFile& file, std::span<const TCodedGlyph> glyphs) {
    std::vector<std::pair<uint16_t, std::u32string_view>> codeChars;
    codeChars.reserve(glyphs.size());
    for (const TCodedGlyph& g : glyphs) codeChars.emplace_back(g.Code, g.Chars);
    TStreamObject cmap(file, TStreamLength::Direct);
    cmap.Dictionary().Line("<< /Filter /FlateDecode");
    cmap.Deflate(ToUnicodeCMap(codeChars), " >>");
}

} // namespace

void WriteFontObjects(TPdfFile& file, const TPDFFontRes& font) {
    if (IsStandardFont(font.Number)) {
        WriteStandardFont(file, font);
        return;
    }
    const TFontNumbers numbers(file.Next, FontObjects(font));
    const TEmbedded embedded = Embedded(font);
    const std::vector<TCodedGlyph> glyphs = font.Unicode ? CodedGlyphs(font) : std::vector<TCodedGlyph>{};
    for (const TFontObject object : FontObjects(font)) {
        switch (object) {
        case TFontObject::Font:
            if (font.Unicode)
                WriteType0Font(file, numbers, embedded);
            else
                WriteSimpleFont(file, font, numbers, embedded);
            break;
        case TFontObject::Descendant:
            WriteCIDFont(file, font, numbers, embedded, glyphs);
            break;
        case TFontObject::ToUnicode:
            WriteToUnicode(file, glyphs);
            break;
        case TFontObject::Descriptor:
            // Composite fonts are symbolic: their glyphs are reached through codes, not an encoding.
            WriteDescriptor(file, font, numbers, embedded, font.Unicode ? 4 : 32);
            break;
        case TFontObject::Program:
            WriteFontFile(file, font, embedded);
            break;
        }
    }
}

} // namespace pagelith
