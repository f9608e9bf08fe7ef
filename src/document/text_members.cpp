// TPagelith members that create text resources, write text and links.
#include <memory>

#include "base/pdf_error.h"
#include "base/win_ansi_encoding.h"
#include "document/pagelith.h"
#include "fonts/standard_fonts.h"
#include "text/text_res.h"

namespace pagelith {

int32_t TPagelith::CreateText() {
    CurrentText = AppendResource(std::make_unique<TPDFTextRes>());
    return CurrentText;
}

namespace {
// Code-page text as it stands, or as characters where the font keeps text as Unicode (a CID-keyed one).
void AddCodePageText(TPDFTextRes& t, std::string_view text, std::string_view link, bool append, bool border,
                     const TTextMode& mode) {
    if (mode.Unicode)
        t.AddWideText(WinAnsiToWide(text), link, append, border, mode);
    else
        t.AddText(text, link, append, border, mode);
}
} // namespace

void TPagelith::WriteText(std::string_view text) {
    if (TPDFTextRes* t = CurrentTextRes())
        AddCodePageText(*t, text, {}, AppendText, false, TextMode(t->Font, false));
}

void TPagelith::WriteText(std::u16string_view text) {
    if (TPDFTextRes* t = CurrentTextRes())
        t->AddWideText(text, {}, AppendText, false, TextMode(t->Font, UnicodeText));
}

void TPagelith::WriteLink(std::string_view text, std::string_view link) {
    const std::string target = LinkTarget(link);
    AddLinkText([&](TPDFTextRes& t) {
        AddCodePageText(t, text, target, AppendText, LinkBorder, TextMode(t.Font, false));
    });
}

void TPagelith::WriteLink(std::u16string_view text, std::string_view link) {
    const std::string target = LinkTarget(link);
    AddLinkText([&](TPDFTextRes& t) {
        t.AddWideText(text, target, AppendText, LinkBorder, TextMode(t.Font, UnicodeText));
    });
}

void TPagelith::AddLinkText(const std::function<void(TPDFTextRes&)>& add) {
    TPDFTextRes* t = CurrentTextRes();
    if (!t) return;
    if (!LinkStandardFormat) {
        add(*t);
        return;
    }
    // The text's own settings come back however the call ends.
    struct TRestore {
        TPDFTextRes& Text;
        const uint32_t Color;
        const int32_t Font;
        const int32_t Size;
        const bool Underline;
        ~TRestore() {
            Text.Color = Color;
            Text.Font = Font;
            Text.Size = Size;
            Text.Underline = Underline;
        }
    } restore{*t, t->Color, t->Font, t->Size, t->Underline};
    t->Color = LinkColor;
    if (LinkFont >= 1 && LinkFont <= kStandardFontCount + static_cast<int64_t>(Fonts.Count()))
        t->Font = LinkFont;
    t->Size = LinkSize;
    t->Underline = LinkUnderline;
    add(*t);
}

void TPagelith::SetImageLink(int32_t page, int32_t index, std::string_view link) {
    TPDFObj* obj = Placement(page, index);
    if (!obj || obj->Kind != kImagePlacement) return;
    obj->Link = LinkTarget(link);
    obj->LinkBorder = LinkBorder;
}

int32_t TPagelith::GetTextFont() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->Font : 0;
}

void TPagelith::SetTextFont(int32_t font) {
    TPDFTextRes* t = CurrentTextRes();
    if (t && font >= 1 && font <= kStandardFontCount + static_cast<int64_t>(Fonts.Count())) t->Font = font;
}

int32_t TPagelith::GetTextSize() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->Size : 0;
}

void TPagelith::SetTextSize(int32_t size) {
    if (TPDFTextRes* t = CurrentTextRes()) t->Size = size;
}

uint32_t TPagelith::GetTextColor() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->Color : 0;
}

void TPagelith::SetTextColor(uint32_t color) {
    if (TPDFTextRes* t = CurrentTextRes()) t->Color = color;
}

double TPagelith::GetTextLineSpacing() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->LineSpacing : 15.0;
}

void TPagelith::SetTextLineSpacing(double spacing) {
    if (TPDFTextRes* t = CurrentTextRes()) t->LineSpacing = spacing;
}

int32_t TPagelith::GetTextAlign() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->Alignment : 0;
}

int32_t TPagelith::GetTextDirection() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->Direction : 0;
}

void TPagelith::SetTextDirection(int32_t direction) {
    if (direction < 0 || direction > 2)
        throw EPDFError("TextDirection must be 0 (from the text), 1 (left to right) or 2 (right to left)");
    if (TPDFTextRes* t = CurrentTextRes()) t->Direction = static_cast<uint8_t>(direction);
}

void TPagelith::SetTextAlign(int32_t align) {
    if (TPDFTextRes* t = CurrentTextRes()) t->SetAlignment(static_cast<uint8_t>(align & 0xFF));
}

double TPagelith::GetTextMaxWidth() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t && t->MaxWidth > 0 ? static_cast<double>(FromPoints(t->MaxWidth)) : -1.0;
}

void TPagelith::SetTextMaxWidth(double width) {
    if (TPDFTextRes* t = CurrentTextRes())
        t->MaxWidth = width > 0 ? static_cast<double>(ToPoints(width)) : -1.0;
}

double TPagelith::GetTextSkewX() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->SkewX : 0.0;
}

void TPagelith::SetTextSkewX(double skew) {
    if (TPDFTextRes* t = CurrentTextRes()) t->SkewX = skew;
}

double TPagelith::GetTextSkewY() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t ? t->SkewY : 0.0;
}

void TPagelith::SetTextSkewY(double skew) {
    if (TPDFTextRes* t = CurrentTextRes()) t->SkewY = skew;
}

bool TPagelith::GetTextUnderline() const {
    const TPDFTextRes* t = CurrentTextRes();
    return t && t->Underline;
}

void TPagelith::SetTextUnderline(bool underline) {
    if (TPDFTextRes* t = CurrentTextRes()) t->Underline = underline;
}

double TPagelith::TextBlockWidth() {
    TPDFTextRes* t = CurrentTextRes();
    if (!t) return -1;
    const double width = t->BlockWidth(Fonts);
    return width > 0 ? static_cast<double>(FromPoints(width)) : -1.0;
}

double TPagelith::TextBlockHeight() {
    TPDFTextRes* t = CurrentTextRes();
    return t ? static_cast<double>(FromPoints(t->BlockHeight(Fonts))) : 0.0;
}

} // namespace pagelith
