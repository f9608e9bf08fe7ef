#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "base/file_bytes.h"
#include "base/pdf_error.h"
#include "document/pagelith.h"
#include "fonts/expected_metrics.h"
#include "fonts/font_cache.h"
#include "fonts/standard_fonts.h"
#include "fonts/synthetic_font.h"
#include "support/pdf_check.h"

namespace pagelith {
namespace {

std::string OutputPath(const std::string& name) {
    std::filesystem::create_directories(PAGELITH_TEST_OUTPUT_DIR);
    return std::string(PAGELITH_TEST_OUTPUT_DIR) + "/" + name;
}

TEST(FontMembers, NumbersFollowTheLoadOrderAndFailuresUseNone) {
    TPagelith doc;
    EXPECT_EQ(doc.AddFont(test::kDejaVuSans.Path), 15);
    EXPECT_EQ(doc.AddFont("/nonexistent.ttf"), 0);
    EXPECT_EQ(doc.AddFont(test::kDejaVuSans.Path), 16); // the same file again is another font
    EXPECT_EQ(doc.Fonts.Count(), 2u);
    EXPECT_EQ(doc.Fonts.Item(2)->Number, 16);
    EXPECT_EQ(doc.Fonts.Item(1)->BaseFontName(), "DejaVuSans");
}

// Fonts come from the process's cache once read: the document is the same either way.
TEST(FontMembers, ADocumentIsTheSameWithTheFontCacheColdOrWarm) {
    const auto save = [] {
        TPagelith doc;
        doc.Clock = [] { return testing::kFixedTime; };
        doc.UnicodeText = doc.SubsetFonts = true;
        const int32_t fonts[] = {doc.AddFont(test::kDejaVuSans.Path),
                                 doc.LoadFont(test::kDejaVuSans.Path, 0)};
        doc.AddPage(0);
        doc.ApplyResource(1, doc.CreateText());
        for (const int32_t font : fonts) {
            doc.SetTextFont(font);
            doc.WriteText(u"Größe → Ω 1.5 €");
        }
        return testing::SavePdf(doc);
    };
    ProcessFontCache().Clear();
    const std::string cold = save();
    EXPECT_EQ(ProcessFontCache().Count(), 2u);
    EXPECT_EQ(save(), cold);
}

// Names that are not regular files are refused at once, never waited on or read.
TEST(FontMembers, OnlyRegularFilesOfABoundedSizeAreFonts) {
    const std::string fifo = OutputPath("font.fifo");
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string sparse = OutputPath("huge.ttf");
    std::filesystem::remove(sparse);
    std::filesystem::copy_file(test::kDejaVuSans.Path, sparse);
    std::filesystem::resize_file(sparse, kMaxFontFileBytes + 1); // a real font, then far too long
    TPagelith doc;
    for (const std::string& name :
         {fifo, std::string("/dev/zero"), std::string(PAGELITH_TEST_OUTPUT_DIR), sparse})
        EXPECT_EQ(doc.AddFont(name), 0) << name;
    EXPECT_EQ(doc.Fonts.Count(), 0u);
    std::filesystem::resize_file(sparse, std::filesystem::file_size(test::kDejaVuSans.Path));
    EXPECT_EQ(doc.AddFont(sparse), 15);
}

TEST(FontMembers, EmbedFlagOnlyForLoadedTrueTypeFonts) {
    TPagelith doc;
    doc.SetEmbedFont(5, true);
    EXPECT_FALSE(doc.GetEmbedFont(5));
    ASSERT_EQ(doc.AddFont(test::kLiberationSerif.Path), 15);
    EXPECT_FALSE(doc.GetEmbedFont(15));
    doc.SetEmbedFont(15, true);
    EXPECT_TRUE(doc.GetEmbedFont(15));
    doc.SetEmbedFont(16, true);
    EXPECT_FALSE(doc.GetEmbedFont(16));
    EXPECT_FALSE(doc.GetEmbedFont(-1));
    EXPECT_FALSE(doc.GetEmbedFont(0));
}

TEST(FontMembers, TextLineWidth) {
    TPagelith doc;
    EXPECT_EQ(doc.TextLineWidth("abc"), 0); // no current text
    doc.CreateText();
    EXPECT_EQ(doc.TextLineWidth("abc"), 0); // Helvetica has no widths
    const std::string path = OutputPath("abc_font.ttf");
    test::TSyntheticFont{}.WriteTo(path);
    ASSERT_EQ(doc.AddFont(path), 15);
    doc.SetTextFont(15);
    doc.SetTextSize(12);
    EXPECT_DOUBLE_EQ(doc.TextLineWidth("abc"), 18.672);
    EXPECT_EQ(doc.TextLineWidth(""), 0);
    doc.Units = 1; // inches
    EXPECT_NEAR(doc.TextLineWidth("abc"), 18.672 / 72, 1e-12);
}

TEST(FontMembers, SymbolFontThroughSetFontOffset) {
    test::TSyntheticFont f;
    f.CmapEncoding = 0;
    f.Advances = {250, 700};
    f.Segments = {{0xF020, 0xF0FF, static_cast<uint16_t>(1 - 0xF020), {}}};
    const std::string path = OutputPath("symbol_font.ttf");
    f.WriteTo(path);
    TPagelith doc;
    ASSERT_EQ(doc.AddFont(path), 15);
    doc.CreateText();
    doc.SetTextFont(15);
    doc.SetTextSize(10);
    EXPECT_DOUBLE_EQ(doc.TextLineWidth("AB"), 14); // the codes reach U+F041 and U+F042 by themselves
    doc.SetFontOffset(15, static_cast<int16_t>(0xF000));
    EXPECT_DOUBLE_EQ(doc.TextLineWidth("AB"), 14);
    doc.SetFontOffset(5, 1);  // standard fonts have no offset: nothing happens
    doc.SetFontOffset(16, 1); // no such font
    EXPECT_DOUBLE_EQ(doc.TextLineWidth("AB"), 14);
}

TEST(FontMembers, StandardFontNames) {
    EXPECT_EQ(StandardFontName(1), "Courier");
    EXPECT_EQ(StandardFontName(5), "Helvetica");
    EXPECT_EQ(StandardFontName(9), "Times-Roman");
    EXPECT_EQ(StandardFontName(14), "ZapfDingbats");
    EXPECT_EQ(StandardFontName(0), "");
    EXPECT_EQ(StandardFontName(15), "");
    TPDFFontRes f;
    f.Number = 13;
    EXPECT_EQ(f.BaseFontName(), "Symbol");
    f.SetEmbed(true);
    EXPECT_FALSE(f.Embed);
}

TEST(FontMembers, WorkingCopiesCarryTheWholeFont) {
    TPagelith doc;
    ASSERT_EQ(doc.AddFont(test::kLiberationMono.Path), 15);
    doc.SetEmbedFont(15, true);
    doc.SetFontOffset(15, 3);
    TPDFFontRes copy(*doc.Fonts.Item(1));
    EXPECT_EQ(copy.Number, 15);
    EXPECT_TRUE(copy.Embed);
    EXPECT_EQ(copy.Font.CharOffset(), 3);
    EXPECT_EQ(copy.Font.FileSize(), doc.Fonts.Item(1)->Font.FileSize());
    EXPECT_EQ(copy.BaseFontName(), test::kLiberationMono.Name);
}

// Published Core 14 widths, in points at the text size: widths only, no kerning pairs.
TEST(FontMembers, StandardFontMetricsMeasureTheStandardFonts) {
    struct TCase {
        int32_t Font, Size;
        std::u16string Text;
        bool Metrics;
        double Points;
    } cases[] = {
        {5, 12, u"Hello", true, 27.336}, // H e l l o: 722 + 556 + 222 + 222 + 556; the pair "e l" is not
                                         // applied
        {5, 12, u"Hello", false, 0},
        {1, 10, u"any text", true, 48},   // 8 × 600
        {9, 10, u"W\u20ac", true, 14.44}, // 944 + Euro 500
        {10, 20, u"", true, 0},
        {13, 10, u"a", true, 6.31}, // Symbol: alpha, by the font's own encoding
    };
    for (const TCase& c : cases) {
        TPagelith doc;
        doc.StandardFontMetrics = c.Metrics;
        doc.CreateText();
        doc.SetTextFont(c.Font);
        doc.SetTextSize(c.Size);
        EXPECT_NEAR(doc.TextLineWidth(std::u16string_view(c.Text)), c.Points, 1e-9) << c.Font;
    }
}

TEST(FontMembers, FallbackFontsNameLoadedFonts) {
    TPagelith doc;
    ASSERT_EQ(doc.AddFont(test::kDejaVuSans.Path), 15);
    ASSERT_EQ(doc.AddFont(test::kLiberationSerif.Path), 16);
    struct TCase {
        const char* Put;
        const char* Get; // nullptr: the put fails and the value stays
    } cases[] = {
        {"16", "16"},   {" 16, 15;16 ", "16 15 16"},
        {"", ""},       {"16 x", nullptr},
        {"5", nullptr}, {"17", nullptr},
        {"0", nullptr}, {"99999999999", nullptr},
    };
    for (const TCase& c : cases) {
        doc.SetFallbackFonts("15");
        if (c.Get) {
            doc.SetFallbackFonts(c.Put);
            EXPECT_EQ(doc.GetFallbackFonts(), c.Get) << c.Put;
        } else {
            EXPECT_THROW(doc.SetFallbackFonts(c.Put), EPDFError) << c.Put;
            EXPECT_EQ(doc.GetFallbackFonts(), "15") << c.Put;
        }
    }
    doc.Clear();
    EXPECT_EQ(doc.GetFallbackFonts(), "");
}

// A character the text's font lacks is measured in the first fallback that has it.
TEST(FontMembers, FallbackCharactersAreMeasuredInTheirFont) {
    test::TSyntheticFont latin, extra;
    extra.Advances = {900, 250};
    extra.Segments = {{0x3042, 0x3042, static_cast<uint16_t>(1 - 0x3042), {}}}; // あ
    latin.WriteTo(OutputPath("fallback_latin.ttf"));
    extra.WriteTo(OutputPath("fallback_extra.ttf"));
    TPagelith doc;
    ASSERT_EQ(doc.AddFont(OutputPath("fallback_latin.ttf")), 15);
    ASSERT_EQ(doc.AddFont(OutputPath("fallback_extra.ttf")), 16);
    doc.UnicodeText = true;
    doc.CreateText();
    doc.SetTextFont(15);
    doc.SetTextSize(10);
    EXPECT_DOUBLE_EQ(doc.TextLineWidth(u"a\u3042"), 5 + 6); // glyph 0 of the text's font: 600
    doc.SetFallbackFonts("16");
    EXPECT_DOUBLE_EQ(doc.TextLineWidth(u"a\u3042"), 5 + 2.5);
}

} // namespace
} // namespace pagelith
