#include "fonts/standard_widths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace pagelith {
namespace {

// The AFM files are the oracle: the width on the first metrics line holding fragment, -1 when none.
int32_t AfmWidth(const std::string& afm, const std::string& fragment) {
    std::ifstream in("/usr/share/fonts/type1/urw-base35/" + afm + ".afm");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("C ") && line.find(fragment) != std::string::npos)
            return std::stoi(line.substr(line.find("WX ") + 3));
    return -1;
}

struct TCase {
    int32_t Font;
    uint8_t Code;
    const char* Afm;
    const char* Fragment; // "N glyph ;" for WinAnsi text, "C code ;" for the symbolic fonts
    int32_t Published;    // the widely published width, or -1
};

TEST(StandardWidths, MatchTheAfmFilesAndPublishedValues) {
    const TCase cases[] = {
        {5, 'H', "NimbusSans-Regular", "N H ;", 722},
        {5, 'e', "NimbusSans-Regular", "N e ;", 556},
        {5, 'l', "NimbusSans-Regular", "N l ;", 222},
        {5, 'o', "NimbusSans-Regular", "N o ;", 556},
        {9, 'W', "NimbusRoman-Regular", "N W ;", 944},
        {5, 0x80, "NimbusSans-Regular", "N Euro ;", -1},
        {5, '\'', "NimbusSans-Regular", "N quotesingle ;", 191},
        {12, 0xE9, "NimbusRoman-BoldItalic", "N eacute ;", 444},
        {6, 0xA0, "NimbusSans-Bold", "N space ;", 278},
        {10, 0xAD, "NimbusRoman-Bold", "N hyphen ;", 333},
        {11, 0x81, "NimbusRoman-Italic", "N bullet ;", 350},
        {13, 0x41, "StandardSymbolsPS", "C 65 ;", 722},
        {14, 0x41, "D050000L", "C 65 ;", -1},
        {5, 0x09, nullptr, nullptr, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "font " << c.Font << " code " << int{c.Code});
        const auto* widths = StandardFontWidths(c.Font);
        ASSERT_NE(widths, nullptr);
        const int32_t width = (*widths)[c.Code];
        EXPECT_EQ(width, c.Afm ? AfmWidth(c.Afm, c.Fragment) : 0);
        EXPECT_EQ(width, c.Published >= 0 ? c.Published : width);
    }
    int32_t hello = 0;
    for (char ch : std::string("Hello")) hello += (*StandardFontWidths(5))[static_cast<uint8_t>(ch)];
    EXPECT_EQ(hello, 2278); // 27.336 pt at 12 pt
    for (int32_t font = 1; font <= 4; ++font)
        for (int code = 0x20; code < 256; ++code) EXPECT_EQ((*StandardFontWidths(font))[code], 600);
    EXPECT_EQ(StandardFontWidths(0), nullptr);
    EXPECT_EQ(StandardFontWidths(15), nullptr);
}

} // namespace
} // namespace pagelith
