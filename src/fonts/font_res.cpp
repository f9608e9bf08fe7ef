#include "fonts/font_res.h"

#include "fonts/standard_fonts.h"

namespace pagelith {

TPDFFontRes::TPDFFontRes(const TPDFFontRes& other) : TPDFResource() {
    Assign(other);
}

TPDFFontRes& TPDFFontRes::operator=(const TPDFFontRes& other) {
    if (this != &other) Assign(other);
    return *this;
}

void TPDFFontRes::Assign(const TPDFFontRes& other) {
    Number = other.Number;
    Embed = other.Embed;
    Font = other.Font;
}

void TPDFFontRes::SetEmbed(bool embed) {
    if (!IsStandardFont(Number)) Embed = embed;
}

std::string TPDFFontRes::BaseFontName() const {
    if (IsStandardFont(Number)) return std::string(StandardFontName(Number));
    return Font.Name();
}

} // namespace pagelith
