// Text that keeps every character: composite fonts read back by real PDF readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/ansi_text.h"
#include "base/utf8_text.h"
#include "document/pagelith.h"
#include "support/pdf_check.h"
#include "text/text_res.h"

namespace pagelith {
namespace {

using pagelith::testing::ReadersAccept;
using pagelith::testing::SavePdf;
using pagelith::testing::TestName;
using pagelith::testing::WriteFile;

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const std::string kCjk = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

int Shell(const std::string& command, std::string* output) {
    return pagelith::testing::Run(command, output);
}

std::string SaveChecked(TPagelith& doc, const std::string& suffix = "") {
    doc.Clock = [] { return pagelith::testing::kFixedTime; };
    const std::string pdf = SavePdf(doc);
    EXPECT_TRUE(ReadersAccept(TestName() + suffix + ".pdf", pdf));
    return WriteFile(TestName() + suffix + ".pdf", pdf).string();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\f')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

struct TSample {
    const char* Language;
    std::u16string Text;
    bool Cjk;
};

const std::vector<TSample>& Samples() {
    static const std::vector<TSample> samples = {
        {"Polish", u"Zażółć gęślą jaźń, Zoë Łukasz", false},
        {"Czech", u"Příliš žluťoučký kůň úpěl ďábelské ódy", false},
        {"German", u"Größe, Straße, Äpfel und Übermut", false},
        {"Greek", u"Καλημέρα κόσμε, ξεσκεπάζω την ψυχοφθόρα βδελυγμία", false},
        {"Cyrillic", u"Съешь же ещё этих мягких французских булок", false},
        {"Hebrew", u"שלום עולם", false},
        {"Symbols", u"→ ✓ € ≤ ∞ ©", false},
        {"CJK", u"漢字かな交じり文、日本語の文章です。", true},
        {"Beyond the BMP", u"𐌀𐌁𐌂 and 𝔸", false},
    };
    return samples;
}

class UnicodeTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& f : {kDejaVu, kDejaVuBold, kCjk})
            ASSERT_TRUE(std::filesystem::exists(f)) << f << " is missing: run make deps";
    }
};

TEST_F(UnicodeTextTest, EveryCharacterComesBackFromTheReaders) {
    TPagelith doc;
    doc.UnicodeText = true;
    ASSERT_EQ(doc.AddFont(kDejaVu), 15);
    ASSERT_EQ(doc.AddFont(kCjk), 16);
    doc.AddPage(1);
    const int32_t text = doc.CreateText();
    doc.SetTextSize(14);
    for (const TSample& s : Samples()) {
        doc.SetTextFont(s.Cjk ? 16 : 15);
        doc.WriteText(s.Text);
    }
    doc.ApplyResource(1, text);
    doc.Locate(1, 1, 40, 800);
    const std::string path = SaveChecked(doc);

    std::string text_out;
    ASSERT_EQ(Shell("pdftotext -raw -enc UTF-8 '" + path + "' -", &text_out), 0) << text_out;
    const std::vector<std::string> lines = Lines(text_out);
    ASSERT_EQ(lines.size(), Samples().size()) << text_out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TSample& s = Samples()[i];
        if (std::string(s.Language) == "Hebrew") continue; // readers reorder right-to-left text
        EXPECT_EQ(lines[i], WideToUtf8(s.Text)) << s.Language;
    }

    std::string fonts;
    ASSERT_EQ(Shell("pdffonts '" + path + "'", &fonts), 0) << fonts;
    std::size_t composite = 0;
    for (const std::string& line : Lines(fonts)) {
        if (line.find("CID TrueType") == std::string::npos) continue;
        ++composite;
        EXPECT_NE(line.find("Identity-H"), std::string::npos) << line;
        EXPECT_NE(line.find("yes no  yes"), std::string::npos) << line; // embedded, not subset, ToUnicode
    }
    EXPECT_EQ(composite, 2u) << fonts;
}

TEST_F(UnicodeTextTest, HebrewComesBackInReadingOrderOfItsCharacters) {
    TPagelith doc;
    doc.UnicodeText = true;
    doc.AddFont(kDejaVu);
    doc.AddPage(1);
    doc.ApplyResource(1, doc.CreateText());
    doc.SetTextFont(15);
    doc.WriteText(std::u16string(u"שלום"));
    std::string out;
    ASSERT_EQ(Shell("pdftotext -enc UTF-8 '" + SaveChecked(doc) + "' -", &out), 0);
    const std::string expected = WideToUtf8(u"שלום");
    std::string reversed;
    for (std::size_t i = 0; i < 4; ++i) reversed += expected.substr(expected.size() - 2 * (i + 1), 2);
    // The reader may reverse the word and wrap it in direction marks.
    for (const std::u16string mark : {u"\u202A", u"\u202B", u"\u202C", u"\u202D", u"\u202E"})
        for (auto at = out.find(WideToUtf8(mark)); at != std::string::npos; at = out.find(WideToUtf8(mark)))
            out.erase(at, 3);
    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 1u) << out;
    EXPECT_TRUE(lines[0] == expected || lines[0] == reversed) << lines[0];
}

TEST_F(UnicodeTextTest, WithoutUnicodeTextTheBytesAreTheCodePageOnes) {
    const std::u16string text = u"Zoë Łukasz → 5 €";
    const auto build = [&](bool wide) {
        TPagelith doc;
        doc.Clock = [] { return pagelith::testing::kFixedTime; };
        doc.AddFont(kDejaVu);
        doc.SetEmbedFont(15, true);
        doc.AddPage(1);
        doc.ApplyResource(1, doc.CreateText());
        doc.Locate(1, 1, 300, 700);
        doc.SetTextFont(15);
        doc.SetTextMaxWidth(120);
        doc.SetTextAlign(2);
        if (wide) {
            doc.WriteText(text);
            doc.WriteLink(text, "http://example.com/");
        } else {
            doc.WriteText(WideToAnsi(text));
            doc.WriteLink(WideToAnsi(text), "http://example.com/");
        }
        EXPECT_EQ(doc.TextLineWidth(text), doc.TextLineWidth(WideToAnsi(text)));
        return SavePdf(doc);
    };
    const std::string wide = build(true);
    EXPECT_EQ(wide, build(false));
    EXPECT_EQ(wide.find("/Type0"), std::string::npos);
    std::string out;
    const auto path = WriteFile(TestName() + ".pdf", wide);
    ASSERT_EQ(Shell("pdftotext -raw -enc UTF-8 '" + path.string() + "' -", &out), 0);
    EXPECT_NE(out.find(WideToUtf8(u"Zoë ?ukasz ? 5 €")), std::string::npos) << out;
}

// Layout measures Unicode lines with their shaped widths: every wrapped line fits, and right
// alignment ends each line on the same edge.
TEST_F(UnicodeTextTest, WrapsAndAlignsWithGlyphWidths) {
    TPagelith doc;
    doc.UnicodeText = true;
    doc.AddFont(kDejaVu);
    doc.AddPage(1);
    const int32_t id = doc.CreateText();
    doc.SetTextFont(15);
    doc.SetTextSize(12);
    doc.SetTextMaxWidth(150);
    doc.SetTextAlign(2);
    const std::u16string paragraph = u"Příliš žluťoučký kůň úpěl ďábelské ódy; Съешь же ещё этих мягких "
                                     u"французских булок → ✓ Καλημέρα κόσμε ŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁŁ";
    doc.WriteText(paragraph);
    auto* text = dynamic_cast<TPDFTextRes*>(doc.Resource(id));
    ASSERT_NE(text, nullptr);
    text->Layout(doc.Fonts, 100);
    ASSERT_GT(text->Segments.size(), 4u);
    std::string joined;
    for (std::size_t i = 0; i < text->Segments.size(); ++i) {
        const std::string_view piece = text->Segments.Text(i);
        EXPECT_LE(text->Segments.At(i).Width, 150.0 + 1e-9) << piece;
        // Every piece is whole characters.
        for (std::size_t k = 0; k < piece.size();) EXPECT_NE(NextCodePoint(piece, k), kReplacementCharacter);
        joined += std::string(piece) + " ";
    }
    text->ReleaseSegments();
    EXPECT_NE(joined.find(WideToUtf8(u"Съешь")), std::string::npos);
    EXPECT_GT(doc.TextLineWidth(std::u16string(u"ŁŁ")), doc.TextLineWidth(std::u16string(u"??")) * 0.9);
    EXPECT_GT(doc.TextBlockWidth(), 100.0);

    doc.ApplyResource(1, id);
    doc.Locate(1, 1, 300, 700);
    std::string bbox;
    ASSERT_EQ(Shell("pdftotext -bbox '" + SaveChecked(doc) + "' -", &bbox), 0);
    // Right-aligned: the last word of every line ends at x = 300.
    std::istringstream in(bbox);
    std::vector<double> lineEnds;
    double lastY = -1, lastEnd = 0;
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("<word xMin=");
        if (at == std::string::npos) continue;
        double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
        std::sscanf(line.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &xMin,
                    &yMin, &xMax, &yMax);
        if (lastY >= 0 && yMin != lastY) lineEnds.push_back(lastEnd);
        lastY = yMin;
        lastEnd = xMax;
    }
    lineEnds.push_back(lastEnd);
    ASSERT_GT(lineEnds.size(), 4u) << bbox;
    for (double end : lineEnds) EXPECT_NEAR(end, 300.0, 0.6) << bbox;
}

// A character the font lacks is drawn with glyph 0 and measured with its width.
TEST_F(UnicodeTextTest, MissingCharactersTakeGlyphZero) {
    TPagelith doc;
    doc.UnicodeText = true;
    doc.AddFont(kDejaVu);
    doc.CreateText();
    doc.SetTextFont(15);
    doc.SetTextSize(10);
    const TicFont& font = doc.Fonts.Item(1)->Font;
    ASSERT_EQ(font.GlyphOfUnicode(U'漢'), 0);
    EXPECT_NEAR(doc.TextLineWidth(std::u16string(u"漢")), font.GlyphWidth(0) * 10 / 1000.0, 0.005);
    doc.AddPage(1);
    doc.WriteText(std::u16string(u"a漢b"));
    doc.ApplyResource(1, 1);
    const std::string pdf = SavePdf(doc);
    EXPECT_TRUE(ReadersAccept(TestName() + ".pdf", pdf));
}

} // namespace
} // namespace pagelith

namespace pagelith {
namespace {

// A two-page invoice in DejaVu Sans and Sans Bold; page 2 uses characters page 1 does not.
TPagelith& BuildInvoice(TPagelith& doc, bool subset, bool unicode) {
    doc.Clock = [] { return pagelith::testing::kFixedTime; };
    doc.SubsetFonts = subset;
    doc.UnicodeText = unicode;
    doc.AddFont(kDejaVu);
    doc.AddFont(kDejaVuBold);
    doc.SetEmbedFont(15, true);
    doc.SetEmbedFont(16, true);
    for (int32_t page = 1; page <= 2; ++page) {
        doc.AddPage(page);
        const int32_t heading = doc.CreateText();
        doc.SetTextFont(16);
        doc.SetTextSize(18);
        doc.WriteText(page == 1 ? std::u16string(u"INVOICE 2026-0042") : std::u16string(u"Terms & Notes"));
        doc.ApplyResource(page, heading);
        doc.Locate(page, 1, 50, 800);
        const int32_t body = doc.CreateText();
        doc.SetTextFont(15);
        doc.SetTextSize(10);
        doc.SetTextMaxWidth(480);
        if (page == 1) {
            for (int line = 1; line <= 12; ++line)
                doc.WriteText(u"Item " + std::u16string(1, static_cast<char16_t>(u'0' + line % 10)) +
                              u": consulting hours, café Zoë — 1,250.00 EUR");
            doc.WriteText(std::u16string(u"Total: 15,000.00 EUR (Ångström, Æsir, Œuvre)"));
        } else {
            doc.WriteText(std::u16string(u"Payment within 30 days; questions? write to billing@example.com"));
            doc.WriteText(std::u16string(u"Überweisung — jq xyz QVWK {} [] <> | ~ ^"));
        }
        doc.ApplyResource(page, body);
        doc.Locate(page, 2, 50, 760);
    }
    return doc;
}

std::string Render(const std::string& path, const std::string& prefix) {
    std::string out;
    EXPECT_EQ(Shell("pdftoppm -r 150 -gray '" + path + "' '" + prefix + "'", &out), 0) << out;
    std::string pixels;
    for (const char* page : {"-1.pgm", "-2.pgm"}) {
        std::ifstream in(prefix + page, std::ios::binary);
        pixels += std::string(std::istreambuf_iterator<char>(in), {});
    }
    return pixels;
}

class SubsetFontsTest : public UnicodeTextTest, public ::testing::WithParamInterface<bool> {};

// Subsetting changes the size, not the picture: both documents render to the same pixels. é, ë and
// Ü are composite glyphs in DejaVu Sans, drawn from components no character names.
TEST_P(SubsetFontsTest, SubsetRendersLikeTheWholeFont) {
    const bool unicode = GetParam();
    TPagelith whole, subset;
    const std::string wholePath = SaveChecked(BuildInvoice(whole, false, unicode), "-whole");
    const std::string subsetPath = SaveChecked(BuildInvoice(subset, true, unicode), "-subset");
    const auto wholeSize = std::filesystem::file_size(wholePath);
    const auto subsetSize = std::filesystem::file_size(subsetPath);
    std::printf("invoice (%s): whole fonts %ju bytes, subset %ju bytes\n", unicode ? "Unicode" : "code page",
                static_cast<uintmax_t>(wholeSize), static_cast<uintmax_t>(subsetSize));
    EXPECT_GT(wholeSize, 600'000u);
    EXPECT_LT(subsetSize, 60'000u);

    const std::string wholePixels = Render(wholePath, wholePath + "-r");
    EXPECT_GT(wholePixels.size(), 1'000'000u);
    EXPECT_TRUE(wholePixels == Render(subsetPath, subsetPath + "-r"));

    // Tagged names, and the same words back.
    std::string fonts, wholeText, subsetText;
    ASSERT_EQ(Shell("pdffonts '" + subsetPath + "'", &fonts), 0);
    const std::regex tagged("[A-Z]{6}\\+DejaVuSans(-Bold)? .* yes +yes +(yes|no)");
    std::size_t tags = 0;
    for (const std::string& line : Lines(fonts)) tags += std::regex_search(line, tagged) ? 1 : 0;
    EXPECT_EQ(tags, 2u) << fonts;
    ASSERT_EQ(Shell("pdftotext -raw -enc UTF-8 '" + wholePath + "' -", &wholeText), 0);
    ASSERT_EQ(Shell("pdftotext -raw -enc UTF-8 '" + subsetPath + "' -", &subsetText), 0);
    EXPECT_EQ(wholeText, subsetText);

    // The embedded programs open in fontTools, with glyph outlines and the tables a reader needs.
    const std::string dir = subsetPath + "-fonts";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string extracted;
    ASSERT_EQ(Shell("cd '" + dir + "' && mutool extract '" + subsetPath + "'", &extracted), 0) << extracted;
    std::size_t programs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".ttf") continue;
        ++programs;
        std::string tables;
        ASSERT_EQ(Shell("/usr/bin/python3 -m fontTools.ttx -l '" + entry.path().string() + "'", &tables), 0)
            << tables;
        for (const char* table : {"glyf", "loca", "head", "hhea", "hmtx", "maxp", "cmap"})
            EXPECT_NE(tables.find(table), std::string::npos) << table << " in\n" << tables;
        EXPECT_LT(entry.file_size(), 150'000u) << entry.path();
    }
    EXPECT_EQ(programs, 2u);
}

INSTANTIATE_TEST_SUITE_P(Encodings, SubsetFontsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Unicode" : "CodePage"; });

// Subsetting is opt-in: the document's bytes without it are those of a document that never set it.
TEST_F(UnicodeTextTest, SubsetFontsOffLeavesTheBytesAlone) {
    TPagelith a, b;
    const std::string first = SavePdf(BuildInvoice(a, false, false));
    b.Clock = [] { return pagelith::testing::kFixedTime; };
    EXPECT_EQ(first, SavePdf(BuildInvoice(b, false, false)));
    EXPECT_EQ(first.find("+DejaVu"), std::string::npos);
}

} // namespace
} // namespace pagelith
