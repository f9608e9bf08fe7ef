// TPagelith members that load fonts and measure text.
#include <memory>

#include "document/pagelith.h"
#include "fonts/font_res.h"
#include "fonts/standard_fonts.h"
#include "text/text_res.h"

namespace pagelith {

namespace {
TPDFFontRes* LoadedFont(const TObjList<TPDFFontRes>& fonts, int32_t fontNum) {
    if (IsStandardFont(fontNum)) return nullptr;
    return fonts.Item(static_cast<uint32_t>(fontNum - kStandardFontCount));
}
} // namespace

int32_t TPagelith::AddFont(const std::string& fileName) {
    auto font = std::make_unique<TPDFFontRes>();
    if (!font->LoadFromFile(fileName)) return 0;
    font->Number = kStandardFontCount + 1 + static_cast<int32_t>(Fonts.Count());
    return Fonts.Append(std::move(font)).Number;
}

bool TPagelith::GetEmbedFont(int32_t fontNum) const {
    const TPDFFontRes* font = LoadedFont(Fonts, fontNum);
    return font && font->Embed;
}

void TPagelith::SetEmbedFont(int32_t fontNum, bool embed) {
    if (TPDFFontRes* font = LoadedFont(Fonts, fontNum)) font->SetEmbed(embed);
}

void TPagelith::SetFontOffset(int32_t fontNum, int16_t offset) {
    if (TPDFFontRes* font = LoadedFont(Fonts, fontNum)) font->Font.SetCharOffset(offset);
}

double TPagelith::TextLineWidth(std::string_view text) const {
    const TPDFTextRes* res = CurrentTextRes();
    if (!res || text.empty()) return 0;
    const TPDFFontRes* font = LoadedFont(Fonts, res->Font);
    if (!font) return 0;
    const double points = static_cast<double>(font->Font.StringWidth(text)) * res->Size / 1000.0;
    return static_cast<double>(FromPoints(points));
}

} // namespace pagelith
