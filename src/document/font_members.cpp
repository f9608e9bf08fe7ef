// TPagelith members that load fonts and measure text.
#include <memory>
#include <optional>

#include "base/ansi_text.h"
#include "base/utf8_text.h"
#include "document/pagelith.h"
#include "fonts/font_res.h"
#include "fonts/standard_fonts.h"
#include "text/char_widths.h"
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

namespace {
// Width of text in the current text's font and size, in points; nothing when it cannot be measured.
std::optional<double> PointWidth(const TObjList<TPDFFontRes>& fonts, const TPDFTextRes* res,
                                 std::string_view text, bool unicode) {
    if (!res || text.empty()) return std::nullopt;
    const TPDFFontRes* font = LoadedFont(fonts, res->Font);
    if (!font) return std::nullopt;
    return static_cast<double>(TCharWidths(font->Font, unicode).Width(text)) * res->Size / 1000.0;
}
} // namespace

double TPagelith::TextLineWidth(std::string_view text) const {
    const auto points = PointWidth(Fonts, CurrentTextRes(), text, false);
    return points ? static_cast<double>(FromPoints(*points)) : 0;
}

double TPagelith::TextLineWidth(std::u16string_view text) const {
    const auto points = UnicodeText ? PointWidth(Fonts, CurrentTextRes(), WideToUtf8(text), true)
                                    : PointWidth(Fonts, CurrentTextRes(), WideToAnsi(text), false);
    return points ? static_cast<double>(FromPoints(*points)) : 0;
}

} // namespace pagelith
