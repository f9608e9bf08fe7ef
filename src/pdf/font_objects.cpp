#include "pdf/font_objects.h"

#include "document/pagelith.h"
#include "pdf/pdf_file.h"

namespace pagelith {

namespace {
constexpr const char* kStandardFontNames[14] = {
    "Courier",     "Courier-Bold",   "Courier-BoldOblique",   "Courier-Oblique",
    "Helvetica",   "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Oblique",
    "Times-Roman", "Times-Bold",     "Times-Italic",          "Times-BoldItalic",
    "Symbol",      "ZapfDingbats"};

bool IsStandard(int32_t number) {
    return number <= 14;
}
} // namespace

TPDFFontRes* TDocumentFonts::Find(int32_t number) const {
    auto it = byNumber_.find(number);
    return it == byNumber_.end() ? nullptr : it->second;
}

TPDFFontRes& TDocumentFonts::Add(int32_t number) {
    // FONT-OBJECTS: TrueType entries become working copies of the document's
    // font record with the character range of all placed text.
    auto entry = std::make_unique<TPDFFontRes>();
    entry->Number = number;
    if (!IsStandard(number))
        if (const TPDFFontRes* loaded = doc_.Fonts.Item(static_cast<uint32_t>(number - 14)))
            entry->Embed = loaded->Embed;
    TPDFFontRes& ref = *entry;
    entries_.push_back(std::move(entry));
    byNumber_.emplace(number, &ref);
    return ref;
}

int32_t FontObjectCount(const TPDFFontRes& font) {
    if (IsStandard(font.Number)) return 1;
    return font.Embed ? 3 : 2;
}

void WriteFontObjects(TPdfFile& file, const TPDFFontRes& font) {
    if (IsStandard(font.Number)) {
        const int32_t index = font.Number >= 1 ? font.Number : 5;
        file.BeginObject();
        file.Out().Line("<< /Type /Font").Line("/Subtype /Type1");
        file.Out().Text("/Name /SF").Integer(font.Number).EndLine();
        file.Out().Text("/BaseFont /").Line(kStandardFontNames[index - 1]);
        file.Out().Line("/Encoding /WinAnsiEncoding").Line(">>");
        file.EndObject();
        return;
    }
    // FONT-OBJECTS: TrueType dictionary, descriptor and font file.
    for (int32_t i = 0; i < FontObjectCount(font); ++i) {
        file.BeginObject();
        file.Out().Line("null");
        file.EndObject();
    }
}

} // namespace pagelith
