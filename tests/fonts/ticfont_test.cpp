#include "fonts/ticfont.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fonts/expected_metrics.h"
#include "fonts/synthetic_font.h"
#include "text/char_widths.h"

namespace pagelith {
namespace {

using test::TSyntheticFont;

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RealFontTest : public ::testing::TestWithParam<const test::TExpectedMetrics*> {};

TEST_P(RealFontTest, MetricsAndWidthsMatchReference) {
    const test::TExpectedMetrics& e = *GetParam();
    TicFont font;
    ASSERT_TRUE(font.LoadFromFile(e.Path));
    EXPECT_EQ(font.Name(), e.Name);
    EXPECT_EQ(font.UnitsPerEm(), e.UnitsPerEm);
    EXPECT_EQ(font.Ascent(), e.Ascent);
    EXPECT_EQ(font.Descent(), e.Descent);
    EXPECT_EQ(font.XMin(), e.XMin);
    EXPECT_EQ(font.YMin(), e.YMin);
    EXPECT_EQ(font.XMax(), e.XMax);
    EXPECT_EQ(font.YMax(), e.YMax);
    EXPECT_DOUBLE_EQ(font.ItalicAngle(), e.ItalicAngle);
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(font.CharWidth(static_cast<uint8_t>(c)), e.Widths[c]) << "code " << c;
    EXPECT_EQ(font.FileSize(), ReadFile(e.Path).size());
}

INSTANTIATE_TEST_SUITE_P(DebianFonts, RealFontTest,
                         ::testing::Values(&test::kDejaVuSans, &test::kLiberationSerif,
                                           &test::kLiberationMono));

TEST(TicFont, DejaVuSansKnownValues) {
    // unitsPerEm 2048: the 500 is added before dividing.
    TicFont font;
    ASSERT_TRUE(font.LoadFromFile(test::kDejaVuSans.Path));
    EXPECT_EQ(font.Thousandths(1139), 556);
    EXPECT_EQ(font.Thousandths(1854), 905);
    EXPECT_EQ(font.Thousandths(-434), -212);
    EXPECT_EQ(font.Thousandths(0), 0);
    ASSERT_TRUE(font.FindTable("cmap"));
    EXPECT_FALSE(font.FindTable("CMAP"));
    EXPECT_FALSE(font.FindTable("cma"));
}

TEST(TicFont, MonospacedFontWithOneMetricGivesEveryGlyphTheSameWidth) {
    TSyntheticFont f;
    f.Advances = {600};
    f.Segments = {{0x20, 0x7E, static_cast<uint16_t>(3 - 0x20), {}}}; // glyphs beyond the metrics
    TicFont font;
    ASSERT_TRUE(font.LoadFromBytes(f.Build()));
    EXPECT_EQ(font.MetricsCount(), 1);
    for (int c = 0; c < 256; ++c) EXPECT_EQ(font.CharWidth(static_cast<uint8_t>(c)), 600);
}

TEST(TicFont, SyntheticMetricsAndAbcWidths) {
    TSyntheticFont f;
    f.ItalicAngle = 0xFFF38000; // -12.5
    TicFont font;
    ASSERT_TRUE(font.LoadFromBytes(f.Build()));
    EXPECT_EQ(font.Name(), "Synthetic-Regular");
    EXPECT_EQ(TCharWidths(font.Widths()).Width("abc"), 500u + 556u + 500u);
    EXPECT_EQ(font.CharWidth('z'), 600); // unmapped: glyph 0
    EXPECT_EQ(font.GlyphOf('z'), 0);
    EXPECT_EQ(font.GlyphOf('b'), 2);
    EXPECT_DOUBLE_EQ(font.ItalicAngle(), -12.5);
    EXPECT_EQ(font.Ascent(), 750);
    EXPECT_EQ(font.Descent(), -250);
    EXPECT_EQ(font.XMin(), -50);
    EXPECT_EQ(font.YMax(), 800);
}

TEST(TicFont, GlyphArraySegmentsAndZeroEntries) {
    TSyntheticFont f;
    f.Advances = {100, 200, 300, 400};
    f.Segments = {{0x41, 0x43, 0, {3, 0, 1}}, {0x61, 0x61, 1, {2}}};
    TicFont font;
    ASSERT_TRUE(font.LoadFromBytes(f.Build()));
    EXPECT_EQ(font.GlyphOf('A'), 3);
    EXPECT_EQ(font.GlyphOf('B'), 0); // a zero entry stays glyph 0, delta or not
    EXPECT_EQ(font.GlyphOf('C'), 1);
    EXPECT_EQ(font.GlyphOf('a'), 3); // entry 2 plus delta 1
    EXPECT_EQ(font.CharWidth('A'), 400);
    EXPECT_EQ(font.CharWidth('B'), 100);
}

TEST(TicFont, SymbolFontIsReachedWithOrWithoutTheCharacterOffset) {
    TSyntheticFont f;
    f.CmapEncoding = 0;
    f.Advances = {250, 700};
    f.Segments = {{0xF020, 0xF0FF, static_cast<uint16_t>(1 - 0xF020), {}}};
    TicFont font;
    ASSERT_TRUE(font.LoadFromBytes(f.Build()));
    // Codes up to 0xFF reach U+F000-U+F0FF by themselves, as Windows maps symbol fonts.
    EXPECT_EQ(font.CharWidth('A'), 700);
    EXPECT_EQ(font.GlyphOfUnicode('A'), 1 + 0x41 - 0x20);
    EXPECT_EQ(font.CharWidth(0x1F), 250);
    font.SetCharOffset(static_cast<int16_t>(0xF000));
    EXPECT_EQ(font.GlyphOf(0x20), 1);
    EXPECT_EQ(font.CharWidth('A'), 700);
    EXPECT_EQ(font.CharWidth(0xFF), 700);
    EXPECT_EQ(font.CharWidth(0x1F), 250);
    TicFont copy = font; // the offset travels with the copy
    EXPECT_EQ(copy.CharOffset(), static_cast<int16_t>(0xF000));
    EXPECT_EQ(copy.CharWidth('A'), 700);
}

TEST(TicFont, RefusedFonts) {
    TicFont font;
    EXPECT_FALSE(font.LoadFromFile("/nonexistent/font.ttf"));

    TSyntheticFont windowsNames;
    windowsNames.Names = {{3, 1, 0x409, 6, "W"}, {1, 0, 0, 4, "full name, not PostScript"}};
    EXPECT_FALSE(font.LoadFromBytes(windowsNames.Build()));
    EXPECT_EQ(font.CharWidth('a'), 0);
    EXPECT_EQ(font.Ascent(), 0);

    TSyntheticFont head53;
    head53.HeadLength = 53;
    EXPECT_FALSE(font.LoadFromBytes(head53.Build()));
    TSyntheticFont head56;
    head56.HeadLength = 56;
    EXPECT_FALSE(font.LoadFromBytes(head56.Build()));
    TSyntheticFont hhea;
    hhea.HheaLength = 38;
    EXPECT_FALSE(font.LoadFromBytes(hhea.Build()));
    TSyntheticFont format6;
    format6.CmapFormat = 6;
    EXPECT_FALSE(font.LoadFromBytes(format6.Build()));
    TSyntheticFont macCmap;
    macCmap.CmapPlatform = 1;
    macCmap.CmapEncoding = 0;
    EXPECT_FALSE(font.LoadFromBytes(macCmap.Build()));
    TSyntheticFont zeroEm;
    zeroEm.UnitsPerEm = 0;
    EXPECT_FALSE(font.LoadFromBytes(zeroEm.Build()));
    EXPECT_FALSE(font.LoadFromBytes({}));
}

TEST(TicFont, NameOfTheFirstMacintoshPostScriptRecord) {
    TSyntheticFont f;
    f.Names = {{3, 1, 0x409, 6, "Windows"}, {1, 0, 0, 6, "First"}, {1, 0, 0, 6, "Second"}};
    TicFont font;
    ASSERT_TRUE(font.LoadFromBytes(f.Build()));
    EXPECT_EQ(font.Name(), "First");
}

// Every prefix of a real font: no crash, no read outside the bytes (ASan).
TEST(TicFont, TruncatedFontsFailSafely) {
    const auto bytes = ReadFile(test::kLiberationMono.Path);
    ASSERT_FALSE(bytes.empty());
    TicFont whole;
    ASSERT_TRUE(whole.LoadFromBytes(bytes));
    std::vector<std::size_t> cuts = {0, 1, 4, 11, 12, 13, 27, 28};
    // Each table's start and end, and one byte either side.
    for (const char* tag : {"name", "head", "hhea", "hmtx", "cmap", "post"}) {
        const auto t = whole.FindTable(tag);
        ASSERT_TRUE(t);
        for (std::size_t at : {std::size_t{t->Offset}, std::size_t{t->Offset} + t->Length})
            for (std::size_t d : {std::size_t{0}, std::size_t{1}, std::size_t{2}}) {
                cuts.push_back(at + d);
                if (at >= d) cuts.push_back(at - d);
            }
    }
    for (std::size_t cut : cuts) {
        if (cut >= bytes.size()) continue;
        TicFont font;
        const std::span<const uint8_t> prefix(bytes.data(), cut);
        if (!font.LoadFromBytes(prefix)) {
            EXPECT_EQ(font.CharWidth('a'), 0) << cut;
            continue;
        }
        for (int c = 0; c < 256; ++c) font.GlyphOf(static_cast<uint32_t>(c));
    }
    // Synthetic fonts cut at every byte.
    const auto small = TSyntheticFont{}.Build();
    for (std::size_t cut = 0; cut < small.size(); ++cut) {
        TicFont font;
        font.LoadFromBytes(std::span<const uint8_t>(small.data(), cut));
    }
}

TEST(TicFont, CorruptedHeaderFieldsFailSafely) {
    const auto good = TSyntheticFont{}.Build();
    // Overwrite each 16-bit and 32-bit field with extreme values.
    for (std::size_t pos = 0; pos + 1 < good.size(); ++pos) {
        for (uint8_t v : {uint8_t{0xFF}, uint8_t{0x7F}, uint8_t{0x00}, uint8_t{0x80}}) {
            auto bytes = good;
            bytes[pos] = v;
            bytes[pos + 1] = v;
            TicFont font;
            if (font.LoadFromBytes(bytes)) {
                for (int c = 0; c < 256; ++c) font.CharWidth(static_cast<uint8_t>(c));
                font.Ascent();
            }
        }
    }
    // A directory that claims 65535 tables in a tiny file.
    auto huge = good;
    huge[4] = huge[5] = 0xFF;
    TicFont font;
    EXPECT_FALSE(font.LoadFromBytes(huge));
}

TEST(TicFont, GarbageOffsetsInTheGlyphArray) {
    TSyntheticFont f;
    f.Segments = {{0x41, 0x5A, 0, {1}}}; // 26 codes, one glyph array entry
    TicFont font;
    ASSERT_TRUE(font.LoadFromBytes(f.Build()));
    // Codes past the array read the bytes that follow, or nothing past the end.
    for (int c = 0x41; c <= 0x5A; ++c) font.GlyphOf(static_cast<uint32_t>(c));
    auto bytes = f.Build();
    TicFont patched;
    ASSERT_TRUE(patched.LoadFromBytes(bytes));
    // An id range offset of 0xFFFE points far past the end of the file.
    const auto cmap = patched.FindTable("cmap");
    ASSERT_TRUE(cmap);
    const std::size_t rangeOffsets = cmap->Offset + 12 + 14 + 3 * 2 * 2 + 2;
    bytes[rangeOffsets] = 0xFF;
    bytes[rangeOffsets + 1] = 0xFE;
    ASSERT_TRUE(patched.LoadFromBytes(bytes));
    EXPECT_EQ(patched.GlyphOf('Z'), 0);
    EXPECT_EQ(patched.CharWidth('Z'), 600);
}

} // namespace
} // namespace pagelith
