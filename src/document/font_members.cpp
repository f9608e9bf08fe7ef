// TPagelith members that load fonts and measure text.
#include <charconv>
#include <memory>
#include <optional>

#include "base/ansi_text.h"
#include "base/pdf_error.h"
#include "base/utf8_text.h"
#include "base/win_ansi_encoding.h"
#include "document/pagelith.h"
#include "fonts/font_cache.h"
#include "fonts/font_res.h"
#include "fonts/shaping.h"
#include "fonts/standard_fonts.h"
#include "fonts/standard_widths.h"
#include "text/char_widths.h"
#include "text/shaped_layout.h"
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
    font->Font = ReadFontFile(ProcessFontCache(), fileName);
    if (!font->Font.Valid()) return 0;
    font->Number = kStandardFontCount + 1 + static_cast<int32_t>(Fonts.Count());
    return Fonts.Append(std::move(font)).Number;
}

int32_t TPagelith::LoadFont(const std::string& fileName, int32_t face) {
    auto font = std::make_unique<TPDFFontRes>();
    font->Font = OpenFontFile(ProcessFontCache(), fileName, face);
    font->Number = kStandardFontCount + 1 + static_cast<int32_t>(Fonts.Count());
    return Fonts.Append(std::move(font)).Number;
}

std::string TPagelith::GetFallbackFonts() const {
    std::string text;
    if (!fallbackFonts_) return text;
    for (int32_t n : *fallbackFonts_) text += (text.empty() ? "" : " ") + std::to_string(n);
    return text;
}

void TPagelith::SetFallbackFonts(std::string_view numbers) {
    std::vector<int32_t> fonts;
    constexpr std::string_view kSeparators = " ,;\t";
    for (std::size_t p = numbers.find_first_not_of(kSeparators); p != std::string_view::npos;
         p = numbers.find_first_not_of(kSeparators, p)) {
        const std::string_view token = numbers.substr(p, numbers.find_first_of(kSeparators, p) - p);
        p += token.size();
        int32_t n = 0;
        const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), n);
        if (error != std::errc() || end != token.data() + token.size())
            throw EPDFError("\"" + std::string(token) + "\" is not a font number");
        if (!LoadedFont(Fonts, n))
            throw EPDFError("Font " + std::string(token) + " is not a loaded TrueType font");
        fonts.push_back(n);
    }
    fallbackFonts_ = fonts.empty() ? nullptr : std::make_shared<const std::vector<int32_t>>(std::move(fonts));
}

void TPagelith::SetTextFeatures(std::string_view features) {
    const std::string bad = BadFeature(features);
    if (!bad.empty())
        throw EPDFError("\"" + bad + "\" is not an OpenType feature setting, such as -kern or +smcp");
    textFeatures_ = features.empty() ? nullptr : std::make_shared<const std::string>(features);
}

TTextMode TPagelith::TextMode(int32_t font, bool unicode) const {
    TTextMode mode;
    const TPDFFontRes* loaded = LoadedFont(Fonts, font);
    // A CID-keyed program has no glyph names for a code page to reach, so its text is kept as Unicode.
    mode.Unicode = loaded && (unicode || loaded->Font.CidKeyed());
    mode.StandardMetrics = StandardFontMetrics;
    if (mode.Unicode) {
        mode.Fallbacks = fallbackFonts_;
        mode.Features = textFeatures_;
    }
    return mode;
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
// Unicode text is UTF-8, other text is in the code page.
std::optional<double> PointWidth(const TObjList<TPDFFontRes>& fonts, const TPDFTextRes* res,
                                 std::string_view text, const TTextMode& mode) {
    if (!res || text.empty()) return std::nullopt;
    const auto points = [&](const TCharWidths& widths) {
        return static_cast<double>(widths.Width(text)) * res->Size / 1000.0;
    };
    if (IsStandardFont(res->Font)) {
        const auto* widths = mode.StandardMetrics ? StandardFontWidths(res->Font) : nullptr;
        if (!widths) return std::nullopt;
        return points(TCharWidths(*widths));
    }
    const TPDFFontRes* font = LoadedFont(fonts, res->Font);
    if (!font) return std::nullopt;
    if (mode.Unicode) {
        TLineStyle style;
        style.Font = res->Font;
        style.Size = res->Size;
        style.Unicode = true;
        style.Fallbacks = mode.Fallbacks;
        style.Features = mode.Features;
        style.Direction = res->Direction;
        return ShapedWidth(fonts, style, text);
    }
    return points(TCharWidths(font->Font));
}
} // namespace

double TPagelith::TextLineWidth(std::string_view text) const {
    const TPDFTextRes* res = CurrentTextRes();
    const TTextMode mode = res ? TextMode(res->Font, false) : TTextMode{};
    if (mode.Unicode) return TextLineWidth(std::u16string_view(WinAnsiToWide(text)));
    const auto points = PointWidth(Fonts, res, text, mode);
    return points ? static_cast<double>(FromPoints(*points)) : 0;
}

double TPagelith::TextLineWidth(std::u16string_view text) const {
    const TPDFTextRes* res = CurrentTextRes();
    if (!res) return 0;
    const TTextMode mode = TextMode(res->Font, UnicodeText);
    const auto points = PointWidth(Fonts, res, mode.Unicode ? WideToUtf8(text) : WideToAnsi(text), mode);
    return points ? static_cast<double>(FromPoints(*points)) : 0;
}

} // namespace pagelith
