#include "pdf/font_objects.h"

#include <cmath>

#include "document/pagelith.h"
#include "fonts/standard_fonts.h"
#include "pdf/pdf_file.h"
#include "pdf/stream_object.h"
#include "text/text_res.h"

namespace pagelith {

TPDFFontRes* TDocumentFonts::Find(int32_t number) const {
    auto it = byNumber_.find(number);
    return it == byNumber_.end() ? nullptr : it->second;
}

TPDFFontRes& TDocumentFonts::Add(int32_t number) {
    auto entry = std::make_unique<TPDFFontRes>();
    if (!IsStandardFont(number)) {
        if (const TPDFFontRes* loaded = doc_.Fonts.Item(static_cast<uint32_t>(number - kStandardFontCount)))
            entry->Assign(*loaded);
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
    }
    entry->Number = number;
    TPDFFontRes& ref = *entry;
    entries_.push_back(std::move(entry));
    byNumber_.emplace(number, &ref);
    return ref;
}

const std::array<bool, 256>& TDocumentFonts::UsedChars() {
    if (usedChars_) return *usedChars_;
    std::array<bool, 256>& used = usedChars_.emplace();
    used.fill(false);
    // A text placed many times is scanned once.
    std::vector<bool> scanned(std::size_t{doc_.Resources.Count()} + 1, false);
    for (const auto& page : doc_.Pages)
        for (const auto& obj : page->Placements) {
            if (obj->Kind != kTextPlacement || obj->ResourceIndex >= scanned.size() ||
                scanned[obj->ResourceIndex])
                continue;
            scanned[obj->ResourceIndex] = true;
            const auto* text = dynamic_cast<const TPDFTextRes*>(doc_.Resources.Item(obj->ResourceIndex));
            if (!text) continue;
            for (char c : text->Lines.Chars()) used[static_cast<uint8_t>(c)] = true;
        }
    return used;
}

int32_t FontObjectCount(const TPDFFontRes& font) {
    if (IsStandardFont(font.Number)) return 1;
    return font.Embed ? 3 : 2;
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

void WriteTrueTypeFont(TPdfFile& file, const TPDFFontRes& font) {
    const TicFont& tt = font.Font;
    const int32_t n = file.BeginObject();
    auto out = file.Out();
    out.Line("<< /Type /Font").Line("/Subtype /TrueType");
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
    AppendPdfName(file.Buffer, tt.Name());
    out.EndLine().Text("/FontDescriptor ").Integer(int64_t{n} + 1).Line(" 0 R").Line(">>");
    file.EndObject();

    file.BeginObject();
    out.Line("<< /Type /FontDescriptor");
    out.Text("/Ascent ").Integer(tt.Ascent()).EndLine().Line("/CapHeight 0");
    out.Text("/Descent ").Integer(tt.Descent()).EndLine().Line("/Flags 32");
    out.Text("/FontBBox [ ").Integer(tt.XMin()).Text(" ").Integer(tt.YMin()).Text(" ");
    out.Integer(tt.XMax()).Text(" ").Integer(tt.YMax()).Line(" ]");
    out.Text("/FontName /");
    AppendPdfName(file.Buffer, tt.Name());
    out.EndLine().Text("/ItalicAngle ").Integer(WholeDegrees(tt.ItalicAngle())).EndLine().Line("/StemV 0");
    if (font.Embed) out.Text("/FontFile2 ").Integer(int64_t{n} + 2).Line(" 0 R");
    out.Line(">>");
    file.EndObject();

    if (!font.Embed) return;
    TStreamObject stream(file, TStreamLength::Direct);
    stream.Dictionary().Line("<< /Filter /FlateDecode");
    const std::string tail = " /Length1 " + std::to_string(tt.FileSize()) + " >>";
    const auto bytes = tt.FileData();
    stream.Deflate(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), tail);
}

} // namespace

void WriteFontObjects(TPdfFile& file, const TPDFFontRes& font) {
    if (IsStandardFont(font.Number))
        WriteStandardFont(file, font);
    else
        WriteTrueTypeFont(file, font);
}

} // namespace pagelith
