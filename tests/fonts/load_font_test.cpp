// Faces as LoadFont opens them: which files it takes, why it refuses the others, and what a CFF
// program's charset says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/pdf_error.h"
#include "fonts/cff_charset.h"
#include "fonts/sfnt_view.h"
#include "fonts/synthetic_font.h"
#include "fonts/ticfont.h"

namespace pagelith {
namespace {

using test::TSyntheticFont;

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// UTF-16BE, as Windows name records hold text.
std::string Utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii) out += {'\0', c};
    return out;
}

TSyntheticFont Named(const std::string& name) {
    TSyntheticFont f;
    f.Names = {{3, 1, 0x409, 6, Utf16(name)}};
    return f;
}

std::vector<uint8_t> Built(void (*change)(TSyntheticFont&)) {
    TSyntheticFont f;
    change(f);
    return f.Build();
}

struct TOpenCase {
    const char* Name;
    std::vector<uint8_t> File;
    uint32_t Face;
    std::string Error; // empty: the face loads, and this is its name
    std::string LoadedName;
};

std::vector<TOpenCase> OpenCases() {
    const auto collection = test::Collection({Named("First-Face").Build(), Named("Second-Face").Build()});
    const auto whole = TSyntheticFont{}.Build();
    return {
        {"NotAFont", Bytes("Hello, world: no font here"), 0, "not a TrueType or OpenType font", ""},
        {"Empty", {}, 0, "not a TrueType or OpenType font", ""},
        {"Pfa", Bytes("%!PS-AdobeFont-1.0: Foo 001.000"), 0, "Type 1 font", ""},
        {"Pfb", {0x80, 0x01, 0x10, 0, 0, 0, '%', '!'}, 0, "Type 1 font", ""},
        {"Woff", Bytes("wOFF\0\1\0\0 and the rest"), 0, "WOFF", ""},
        {"WindowsNamesOnly", Named("Win-Regular").Build(), 0, "", "Win-Regular"},
        {"MacintoshNames", TSyntheticFont{}.Build(), 0, "", "Synthetic-Regular"},
        {"SecondFace", collection, 1, "", "Second-Face"},
        {"FaceOfOneFont", TSyntheticFont{}.Build(), 1, "Face index 1 is out of range: the file holds 1 face",
         ""},
        {"FaceOfCollection", collection, 2, "Face index 2 is out of range: the file holds 2 faces", ""},
        {"DirectoryCut", std::vector<uint8_t>(whole.begin(), whole.begin() + 40), 0,
         "table directory is damaged", ""},
        {"BitmapsOnly", Built([](TSyntheticFont& f) {
             f.Outlines = false;
             f.Extra = {{"EBDT", {0, 2, 0, 0}}, {"EBLC", {0, 2, 0, 0}}};
         }),
         0, "bitmap glyphs only", ""},
        {"NoOutlines", Built([](TSyntheticFont& f) { f.Outlines = false; }), 0, "no glyph outlines", ""},
        {"Cff2", Built([](TSyntheticFont& f) {
             f.Outlines = false;
             f.Extra = {{"CFF2", {2, 0, 5, 0, 0}}};
         }),
         0, "CFF2", ""},
        {"MacintoshCmapOnly", Built([](TSyntheticFont& f) { f.CmapPlatform = 1, f.CmapEncoding = 0; }), 0,
         "no usable character map", ""},
    };
}

void PrintTo(const TOpenCase& c, std::ostream* os) {
    *os << c.Name;
}

class OpenFace : public ::testing::TestWithParam<TOpenCase> {};

TEST_P(OpenFace, LoadsOrSaysWhy) {
    const TOpenCase& c = GetParam();
    try {
        const TicFont font = TicFont::Open(c.File, c.Face);
        EXPECT_TRUE(c.Error.empty()) << "loaded, expected: " << c.Error;
        EXPECT_EQ(font.Name(), c.LoadedName);
        EXPECT_EQ(font.CharWidth('b'), 556); // the synthetic fonts' widths
    } catch (const EPDFError& e) {
        EXPECT_FALSE(c.Error.empty()) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.Error), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, OpenFace, ::testing::ValuesIn(OpenCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

// A symbol font's codes up to 0xFF reach U+F0xx the same way through HarfBuzz as through AddFont's reader.
TEST(OpenFace, SymbolFontsMapAlikeInBothReaders) {
    TSyntheticFont f;
    f.CmapEncoding = 0;
    f.Advances = {250, 700, 300};
    f.Segments = {{0xF041, 0xF042, static_cast<uint16_t>(1 - 0xF041), {}}};
    const auto bytes = f.Build();
    const TicFont opened = TicFont::Open(bytes, 0);
    TicFont added;
    ASSERT_TRUE(added.LoadFromBytes(bytes));
    EXPECT_TRUE(opened.SymbolCmap());
    for (const TicFont* font : {&opened, static_cast<const TicFont*>(&added)}) {
        EXPECT_EQ(font->GlyphOf('A'), 1);
        EXPECT_EQ(font->GlyphOfUnicode('B'), 2);
        EXPECT_EQ(font->CharWidth('B'), 300);
        EXPECT_EQ(font->GlyphOf('C'), 0);
    }
}

TEST(SfntView, RepeatedTagsCountByTheirLastEntry) {
    auto bytes = TSyntheticFont{}.Build();
    const auto first = TSfntView::Face(bytes, 0);
    ASSERT_TRUE(first && first->Tables().size() > 2);
    // The first entry takes the tag of the second.
    std::copy(first->Tables()[1].Tag.begin(), first->Tables()[1].Tag.end(), bytes.begin() + 12);
    const auto view = TSfntView::Face(bytes, 0);
    const std::string tag(view->Tables()[1].Tag.data(), 4);
    EXPECT_EQ(view->Find(tag)->Offset, view->Tables()[1].Offset);
    EXPECT_FALSE(view->Has("zzzz"));
}

// A CFF program of four glyphs with a charset, written by hand: header, Name INDEX, Top DICT INDEX,
// CharStrings INDEX at 48, the charset at 60.
std::vector<uint8_t> Cff(bool cidKeyed, std::vector<uint8_t> charset) {
    std::vector<uint8_t> dict;
    if (cidKeyed) dict = {0x8B, 0x8B, 0x8B, 0x0C, 0x1E}; // ROS 0 0 0
    for (auto [value, op] : {std::pair<uint8_t, uint8_t>{60, 15}, {48, 17}})
        dict.insert(dict.end(), {0x1D, 0, 0, 0, value, op});
    std::vector<uint8_t> cff = {
        1, 0, 4, 1, 0, 1, 1, 1, 2, 'A', 0, 1, 1, 1, static_cast<uint8_t>(1 + dict.size())};
    cff.insert(cff.end(), dict.begin(), dict.end());
    cff.resize(48, 0);
    cff.insert(cff.end(), {0, 4, 1, 1, 2, 3, 4, 5, 14, 14, 14, 14});
    cff.insert(cff.end(), charset.begin(), charset.end());
    return cff;
}

TEST(CffCharset, CidsOfEachFormat) {
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Program;
        bool CidKeyed;
        std::vector<uint16_t> Cids;
    } cases[] = {
        {"Format0", Cff(true, {0, 0, 10, 0, 11, 0, 12}), true, {0, 10, 11, 12}},
        {"Format1", Cff(true, {1, 0, 20, 2}), true, {0, 20, 21, 22}},
        {"Format2", Cff(true, {2, 0, 5, 0, 2}), true, {0, 5, 6, 7}},
        {"Identity", Cff(true, {2, 0, 1, 0, 2}), true, {}},
        {"RangePastTheGlyphs", Cff(true, {1, 0, 30, 200}), true, {0, 30, 31, 32}},
        {"CharsetCut", Cff(true, {0, 0, 10}), true, {}},
        {"UnknownFormat", Cff(true, {7, 0, 10}), true, {}},
        {"NameKeyed", Cff(false, {0, 0, 10, 0, 11, 0, 12}), false, {}},
        {"NotCff", Bytes("not a CFF program at all"), false, {}},
    };
    for (const TCase& c : cases) {
        const TCffCharset charset = ReadCffCharset(c.Program);
        EXPECT_EQ(charset.CidKeyed, c.CidKeyed) << c.Name;
        EXPECT_EQ(charset.Cids, c.Cids) << c.Name;
    }
}

} // namespace
} // namespace pagelith
