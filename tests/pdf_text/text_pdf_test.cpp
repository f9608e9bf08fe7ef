// Whole documents with text, fonts and links, checked with real PDF readers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "document/pagelith.h"
#include "fonts/expected_metrics.h"
#include "fonts/synthetic_font.h"
#include "support/pdf_check.h"
#include "text/text_res.h"
#include "text/text_test_fonts.h"

namespace pagelith {
namespace {

using pagelith::testing::ReadersAccept;
using pagelith::testing::SavePdf;
using pagelith::testing::TestName;
using pagelith::testing::WriteFile;

int Shell(const std::string& command, std::string* output) {
    return pagelith::testing::Run(command, output);
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Saves the document, checks it with qpdf and pdftoppm, and returns its path.
std::string SaveChecked(TPagelith& doc, std::string* bytes = nullptr) {
    doc.Clock = [] { return pagelith::testing::kFixedTime; };
    const std::string pdf = SavePdf(doc);
    EXPECT_TRUE(ReadersAccept(TestName() + ".pdf", pdf));
    if (bytes) *bytes = pdf;
    return WriteFile(TestName() + ".pdf", pdf).string();
}

std::string Annotations(const std::string& path) {
    std::string out;
    EXPECT_EQ(Shell(std::string("/usr/bin/python3 '") + PAGELITH_SOURCE_DIR +
                        "/tests/pdf_text/annotations.py' '" + path + "'",
                    &out),
              0)
        << out;
    return out;
}

std::string Words(const std::string& text) {
    std::istringstream in(text);
    std::string word, out;
    while (in >> word) out += (out.empty() ? "" : " ") + word;
    return out;
}

std::string FontPath(const std::string& name, const test::TSyntheticFont& font) {
    const std::string path = pagelith::testing::OutputPath(TestName() + "-" + name + ".ttf").string();
    font.WriteTo(path);
    return path;
}

TEST(TextPdf, StandardAndTrueTypeTextWrappedAlignedUnderlinedAndLinked) {
    TPagelith doc;
    doc.AddPage(0);
    ASSERT_EQ(doc.AddFont(test::kDejaVuSans.Path), 15);
    ASSERT_EQ(doc.AddFont(test::kLiberationSerif.Path), 16);
    doc.SetEmbedFont(15, true);

    doc.CreateText(); // 1: Helvetica
    doc.SetTextSize(14);
    doc.WriteText("Quarterly report (draft)\r\nBackslash \\ kept");
    doc.ApplyResource(1, 1);
    doc.Locate(1, 1, 72, 800);

    doc.CreateText(); // 2: embedded TrueType, wrapped, centred, underlined, with a link
    doc.SetTextFont(15);
    doc.SetTextSize(11);
    doc.SetTextMaxWidth(200);
    doc.SetTextUnderline(true);
    doc.WriteText("Centred paragraph that is long enough to wrap over several lines of text.");
    doc.SetTextUnderline(false);
    doc.SetTextAlign(1);
    doc.WriteLink("Visit the example site for more details on everything in this report",
                  "http://example.com/a(b)");
    doc.ApplyResource(1, 2);
    doc.Locate(1, 2, 300, 700);

    doc.CreateText(); // 3: TrueType not embedded, right-aligned
    doc.SetTextFont(16);
    doc.SetTextAlign(2);
    doc.SetTextColor(0x0000FF);
    doc.WriteText("Right aligned serif");
    doc.ApplyResource(1, 3);
    doc.Locate(1, 3, 520, 500);

    std::string bytes;
    const std::string path = SaveChecked(doc, &bytes);

    std::string text;
    ASSERT_EQ(Shell("pdftotext '" + path + "' -", &text), 0);
    const std::string words = Words(text);
    for (const char* expected : {"Quarterly report (draft)", "Backslash \\ kept", "Centred paragraph",
                                 "several lines", "Visit the", "details", "Right aligned serif"})
        EXPECT_NE(words.find(expected), std::string::npos) << expected << " in\n" << words;

    std::string fonts;
    ASSERT_EQ(Shell("pdffonts '" + path + "'", &fonts), 0);
    EXPECT_TRUE(std::regex_search(fonts, std::regex(R"(Helvetica\s+Type 1\s+WinAnsi\s+no)"))) << fonts;
    EXPECT_TRUE(std::regex_search(fonts, std::regex(R"(DejaVuSans\s+TrueType\s+WinAnsi\s+yes)"))) << fonts;
    EXPECT_TRUE(std::regex_search(fonts, std::regex(R"(LiberationSerif\s+TrueType\s+WinAnsi\s+no)")))
        << fonts;

    // The link wraps: one clickable area per laid-out piece, all with the URI.
    auto& linked = *dynamic_cast<TPDFTextRes*>(doc.Resource(2));
    linked.Layout(doc.Fonts, 100);
    int pieces = 0;
    for (const auto& s : linked.Segments) pieces += s.Link.empty() ? 0 : 1;
    EXPECT_GE(pieces, 2);
    const std::string annots = Annotations(path);
    EXPECT_EQ(std::count(annots.begin(), annots.end(), '\n'), pieces) << annots;
    std::istringstream lines(annots);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.substr(0, line.find('|', 2)), "1|http://example.com/a(b)");
}

TEST(TextPdf, WrappedLinkAreasFollowThePieces) {
    TPagelith doc;
    doc.AddPage(0);
    test::SetUpMonoText(doc);
    doc.SetTextMaxWidth(25); // five characters of five points
    doc.LinkBorder = true;
    doc.WriteLink("aaaa bbbb cccc", "http://x/");
    doc.LinkBorder = false;
    doc.WriteLink("dd\r\nee", "http://y/");
    doc.ApplyResource(1, 1);
    doc.Locate(1, 1, 72, 700);
    doc.ApplyResource(1, 1);
    doc.Locate(1, 2, 300, 700);
    doc.ScaleObject(1, 2, 50);
    const std::string annots = Annotations(SaveChecked(doc));
    // Baselines 690, 678.5, 667, ...; areas from a quarter size below to one size above.
    const std::string first = "1|http://x/|72 688 92 700|1\n"
                              "1|http://x/|72 676 92 689|1\n"
                              "1|http://x/|72 665 92 677|1\n"
                              "1|http://y/|72 653 82 666|0\n"
                              "1|http://y/|72 642 82 654|0\n";
    ASSERT_EQ(annots.substr(0, first.size()), first);
    // At half size the same pieces, half as wide and half as tall.
    EXPECT_EQ(std::count(annots.begin(), annots.end(), '\n'), 10) << annots;
    EXPECT_NE(annots.find("1|http://x/|300 689 310 695|1\n"), std::string::npos) << annots;
}

TEST(TextPdf, LinkAreasLeftOfAndBelowTheOriginAreSigned) {
    TPagelith doc;
    doc.AddPage(0);
    test::SetUpMonoText(doc);
    doc.WriteLink("abcd", "http://neg/");
    doc.ApplyResource(1, 1);
    doc.Locate(1, 1, -40, 5);
    EXPECT_EQ(Annotations(SaveChecked(doc)), "1|http://neg/|-39 -7 -19 5|0\n");
}

TEST(TextPdf, UrisWithDelimitersAreEscaped) {
    TPagelith doc;
    doc.AddPage(0);
    test::SetUpMonoText(doc);
    const std::string uri = "http://x/a)(b\\c)/S /JavaScript";
    doc.WriteLink("go", uri);
    doc.ApplyResource(1, 1);
    const std::string annots = Annotations(SaveChecked(doc));
    EXPECT_EQ(annots.substr(0, annots.find('|', 2)), "1|" + uri);
}

TEST(TextPdf, TrueTypeFontObjects) {
    TPagelith doc;
    doc.AddPage(0);
    test::TSyntheticFont italic;
    italic.Names = {{1, 0, 0, 6, "Slanted"}};
    italic.ItalicAngle = 0xFFF38000; // -12.5
    italic.Advances = {100, 200, 300};
    italic.Segments = {{0x41, 0x5A, static_cast<uint16_t>(1 - 0x41), {}}};
    test::TSyntheticFont upright = italic;
    upright.Names = {{1, 0, 0, 6, "Upright"}};
    upright.ItalicAngle = 0x000B8000; // 11.5
    ASSERT_EQ(doc.AddFont(FontPath("slanted", italic)), 15);
    ASSERT_EQ(doc.AddFont(test::kLiberationMono.Path), 16);
    ASSERT_EQ(doc.AddFont(FontPath("upright", upright)), 17);
    doc.SetEmbedFont(16, true);
    doc.CreateText();
    doc.SetTextFont(15);
    doc.WriteText("AZ");
    doc.SetTextFont(16);
    doc.WriteText("B");
    doc.SetTextFont(17);
    doc.WriteText("A");
    doc.SetTextFont(5);
    doc.WriteText("C");
    doc.ApplyResource(1, 1);

    std::string bytes;
    const std::string path = SaveChecked(doc, &bytes);
    // Every TrueType font gets the range of all placed text, "A" to "Z",
    // with real widths for the codes used anywhere.
    std::string zeros;
    for (int i = 0; i < 22; ++i) zeros += "0 ";
    const std::string synthetic = "/FirstChar 65\r/LastChar 90\r/Widths [ 200 300 300 " + zeros + "300 ]\r";
    EXPECT_NE(bytes.find("<< /Type /Font\r/Subtype /TrueType\r" + synthetic +
                         "/Encoding /WinAnsiEncoding\r/BaseFont /Slanted\r/FontDescriptor "),
              std::string::npos);
    EXPECT_EQ(Occurrences(bytes, synthetic), 2u);
    EXPECT_NE(bytes.find("/FirstChar 65\r/LastChar 90\r/Widths [ 600 600 600 " + zeros + "600 ]\r"),
              std::string::npos);
    EXPECT_NE(
        bytes.find("<< /Type /FontDescriptor\r/Ascent 750\r/CapHeight 0\r/Descent -250\r/Flags 32\r"
                   "/FontBBox [ -50 -200 900 800 ]\r/FontName /Slanted\r/ItalicAngle -13\r/StemV 0\r>>\r"),
        std::string::npos);
    EXPECT_NE(bytes.find("/FontName /Upright\r/ItalicAngle 12\r/StemV 0\r>>\r"), std::string::npos);
    EXPECT_NE(bytes.find("/FontName /LiberationMono\r/ItalicAngle 0\r/StemV 0\r/FontFile2 "),
              std::string::npos);
    EXPECT_EQ(Occurrences(bytes, "/FontFile2 "), 1u);
    EXPECT_NE(bytes.find("<< /Type /Font\r/Subtype /Type1\r/Name /SF5\r/BaseFont /Helvetica\r"
                         "/Encoding /WinAnsiEncoding\r>>\r"),
              std::string::npos);
    EXPECT_EQ(bytes.find("/Name /TT"), std::string::npos);

    // The embedded file is the whole font, byte for byte.
    const std::regex fileObject(
        R"((\d+) 0 obj\r<< /Filter /FlateDecode\r/Length (\d+) /Length1 (\d+) >>\rstream\r\n)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(bytes, m, fileObject));
    std::ifstream in(test::kLiberationMono.Path, std::ios::binary);
    const std::string original{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(std::stoul(m[3]), original.size());
    const std::size_t dataStart = static_cast<std::size_t>(m.position(0) + m.length(0));
    EXPECT_EQ(bytes.compare(dataStart + std::stoul(m[2]), 10, "endstream\r"), 0);
    const std::string dump = path + ".font";
    Shell("(qpdf --show-object=" + std::string(m[1]) + " --filtered-stream-data '" + path + "' > '" + dump +
              "')",
          nullptr);
    std::ifstream back(dump, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(back), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(data == original) << data.size() << " bytes back for " << original.size();
}

TEST(TextPdf, SymbolFontWidthsFollowTheOffset) {
    TPagelith doc;
    doc.AddPage(0);
    test::TSyntheticFont symbol;
    symbol.CmapEncoding = 0;
    symbol.Advances = {250, 700};
    symbol.Segments = {{0xF020, 0xF0FF, static_cast<uint16_t>(1 - 0xF020), {}}};
    ASSERT_EQ(doc.AddFont(FontPath("symbol", symbol)), 15);
    doc.SetFontOffset(15, static_cast<int16_t>(0xF000));
    doc.CreateText();
    doc.SetTextFont(15);
    doc.WriteText("ab");
    doc.ApplyResource(1, 1);
    std::string bytes;
    SaveChecked(doc, &bytes);
    EXPECT_NE(bytes.find("/FirstChar 97\r/LastChar 98\r/Widths [ 700 700 ]\r"), std::string::npos);
}

TEST(TextPdf, FontNamesCannotBreakOutOfTheNameToken) {
    TPagelith doc;
    doc.AddPage(0);
    test::TSyntheticFont odd;
    odd.Names = {{1, 0, 0, 6, "Odd Name/(x)#>>"}};
    ASSERT_EQ(doc.AddFont(FontPath("odd", odd)), 15);
    doc.CreateText();
    doc.SetTextFont(15);
    doc.WriteText("abc");
    doc.ApplyResource(1, 1);
    std::string bytes;
    const std::string path = SaveChecked(doc, &bytes);
    EXPECT_NE(bytes.find("/BaseFont /Odd#20Name#2F#28x#29#23#3E#3E\r"), std::string::npos);
    std::string fonts;
    ASSERT_EQ(Shell("pdffonts '" + path + "'", &fonts), 0);
    EXPECT_NE(fonts.find("Odd Name/(x)#>>"), std::string::npos) << fonts;
}

TEST(TextPdf, NoPlacedTextGivesAnEmptyRange) {
    TPagelith doc;
    doc.AddPage(0);
    test::SetUpMonoText(doc);
    doc.WriteText(""); // the only line is empty
    doc.ApplyResource(1, 1);
    std::string bytes;
    SaveChecked(doc, &bytes);
    EXPECT_NE(bytes.find("/FirstChar 255\r/LastChar 255\r/Widths [ 0 ]\r"), std::string::npos);
}

} // namespace
} // namespace pagelith
