#include <gtest/gtest.h>

#include <regex>

#include "base/pdf_error.h"
#include "document/pagelith.h"
#include "drawing/graphic_res.h"
#include "images/image_res.h"
#include "pdf/pdf_writer.h"
#include "support/pdf_check.h"

namespace pagelith {
namespace {

using testing::kFixedTime;
using testing::ReadersAccept;
using testing::SavePdf;

TPagelith& Fixed(TPagelith& doc) {
    doc.Clock = [] { return kFixedTime; };
    return doc;
}

TEST(PdfWriter, WorkedExampleIsExact) {
    TPagelith doc;
    Fixed(doc);
    doc.DefaultPageSize = 3;
    doc.AddPage(0);
    const std::string pdf = SavePdf(doc);
    const std::string expected =
        "%PDF-1.2\r"
        "1 0 obj\r<<\r/Type /Catalog\r/Pages 2 0 R >>\rendobj\r"
        "2 0 obj\r<<\r/Type /Pages\r/Kids [3 0 R ]\r/Count 1\r>>\rendobj\r"
        "3 0 obj\r<<\r/Type /Page\r/Parent 2 0 R \r/MediaBox [ 0 0 612 792]\r>>\rendobj\r"
        "4 0 obj\r<< \r/Producer (Tessarine PagelithASP 2.3)\r/CreationDate (D:20070305140309Z)\r>> "
        "\rendobj\r"
        "xref\r0 5\r0000000000 65535 f \r0000000009 00000 n \r0000000058 00000 n \r"
        "0000000116 00000 n \r0000000189 00000 n \r"
        "trailer\r<< \r/Size 5\r/Info 4 0 R\r/Root 1 0 R\r>> \rstartxref\r284\r%%EOF\r";
    EXPECT_EQ(pdf, expected);
    EXPECT_EQ(pdf.size(), 461u);
    EXPECT_EQ(pdf.find('\n'), std::string::npos);
    EXPECT_TRUE(ReadersAccept("worked-example.pdf", pdf));
}

TEST(PdfWriter, NoPagesStillMakesAValidFile) {
    TPagelith doc;
    const std::string pdf = SavePdf(Fixed(doc));
    EXPECT_NE(pdf.find("/Kids []\r/Count 0"), std::string::npos);
    EXPECT_NE(pdf.find("/Size 4\r/Info 3 0 R"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("no-pages.pdf", pdf));
}

TEST(PdfWriter, InformationStringsAreEscaped) {
    TPagelith doc;
    Fixed(doc).AddPage(0);
    doc.Title = u"Report (draft";
    doc.Author = u"A\\B) /Evil true";
    doc.Keywords = u"caf\u00e9 \u20ac \u4e2d";
    const std::string pdf = SavePdf(doc);
    EXPECT_NE(pdf.find("/Title (Report \\(draft)\r"), std::string::npos);
    EXPECT_NE(pdf.find("/Author (A\\\\B\\) /Evil true)\r"), std::string::npos);
    // Not every character has a PDFDocEncoding code: UTF-16BE with the byte order mark.
    EXPECT_NE(pdf.find(std::string("/Keywords (\xfe\xff\x00"
                                   "c\x00"
                                   "a\x00"
                                   "f\x00\xe9\x00 \x20\xac\x00 \x4e\x2d)\r",
                                   31)),
              std::string::npos);
    EXPECT_EQ(pdf.find("/Subject"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("info-escaped.pdf", pdf));
    std::string out;
    testing::Run("pdfinfo '" + testing::OutputPath("info-escaped.pdf").string() + "'", &out);
    EXPECT_NE(out.find("Report (draft"), std::string::npos) << out;
    EXPECT_NE(out.find("A\\B) /Evil true"), std::string::npos) << out;
    EXPECT_NE(out.find("caf\xc3\xa9 \xe2\x82\xac \xe4\xb8\xad"), std::string::npos) << out;
}

// Characters beyond Windows-1252 reach the reader too, and typographic ones keep their meaning.
TEST(PdfWriter, InformationStringsAreTextStrings) {
    TPagelith doc;
    Fixed(doc).AddPage(0);
    doc.Title = u"Total 100 \u20ac \u2013 \u201cfinal\u201d";
    doc.Subject = u"\u0391\u03b8\u03ae\u03bd\u03b1";
    const std::string pdf = SavePdf(doc);
    EXPECT_NE(pdf.find("/Title (Total 100 \xa0 \x85 \x8d"
                       "final\x8e)\r"),
              std::string::npos);
    EXPECT_TRUE(ReadersAccept("info-text.pdf", pdf));
    std::string out;
    testing::Run("pdfinfo '" + testing::OutputPath("info-text.pdf").string() + "'", &out);
    EXPECT_NE(out.find("Total 100 \xe2\x82\xac \xe2\x80\x93 \xe2\x80\x9c"
                       "final\xe2\x80\x9d"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1"), std::string::npos) << out;
}

// A bare CR in a literal string reads back as LF; escaped it stays a CR.
TEST(PdfWriter, CarriageReturnsInStringsAreEscaped) {
    TPagelith doc;
    Fixed(doc).AddPage(0);
    doc.Title = u"one\rtwo\r\n";
    doc.Author = u"\r";
    const std::string pdf = SavePdf(doc);
    EXPECT_NE(pdf.find("/Title (one\\rtwo\\r\\n)\r"), std::string::npos);
    EXPECT_NE(pdf.find("/Author (\\r)\r"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("info-cr.pdf", pdf));
}

TEST(PdfWriter, CreationDateIsUtc) {
    EXPECT_EQ(PdfDate(kFixedTime), "D:20070305140309Z");
    EXPECT_EQ(PdfDate(0), "D:19700101000000Z");
    EXPECT_EQ(PdfDate(951782400), "D:20000229000000Z");
}

TEST(PdfWriter, CrossReferenceMatchesObjectOffsets) {
    TPagelith doc;
    Fixed(doc);
    for (int i = 0; i < 5; ++i) doc.AddPage(0);
    const int g = doc.CreateGraphic();
    doc.DrawLine(0, 0, 100, 100);
    doc.ApplyResource(2, g);
    doc.ApplyResource(4, g);
    const std::string pdf = SavePdf(doc);
    const auto xref = pdf.find("\rxref\r") + 1;
    const auto startxref = pdf.find("startxref\r");
    EXPECT_EQ(std::stoll(pdf.substr(startxref + 10)), static_cast<long long>(xref));
    // Entries are 20 bytes each and point at "n 0 obj".
    std::size_t entry = pdf.find("65535 f \r", xref) + 9;
    for (int n = 1; pdf.compare(entry, 7, "trailer") != 0; ++n, entry += 20) {
        const long long offset = std::stoll(pdf.substr(entry, 10));
        EXPECT_EQ(pdf.substr(entry + 10, 10), " 00000 n \r");
        EXPECT_EQ(pdf.compare(offset, std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0) << n;
    }
    EXPECT_TRUE(ReadersAccept("xref.pdf", pdf));
}

TEST(PdfWriter, PagesWithoutAndWithPlacements) {
    TPagelith doc;
    Fixed(doc).AddPage(0);
    doc.AddPage(0);
    doc.ApplyResource(2, doc.CreateGraphic());
    const std::string pdf = SavePdf(doc);
    // Page 1: one object, no resources; page 2: dictionary, stream, length.
    EXPECT_NE(pdf.find("3 0 obj\r<<\r/Type /Page\r/Parent 2 0 R \r/MediaBox [ 0 0 595 842]\r>>\rendobj"),
              std::string::npos);
    EXPECT_NE(pdf.find("4 0 obj\r<<\r/Type /Page\r/Parent 2 0 R \r/MediaBox [ 0 0 595 842]\r/Resources \r<<\r"
                       "/ProcSet [ /PDF /ImageC ]\r>>\r/Contents 5 0 R\r>>\rendobj"),
              std::string::npos);
    EXPECT_NE(pdf.find("5 0 obj\r<< /Length 6 0 R /Filter /FlateDecode >>\rstream\r\n"), std::string::npos);
    EXPECT_NE(pdf.find("/Size 8\r/Info 7 0 R"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("pages.pdf", pdf));
}

TEST(PdfWriter, ImageIsWrittenOnceAfterItsFirstPage) {
    TPagelith doc;
    Fixed(doc);
    for (int i = 0; i < 3; ++i) doc.AddPage(0);
    auto image = std::make_unique<TPDFImageRes>();
    image->Width = 2;
    image->Height = 2;
    image->XResolution = image->YResolution = 72;
    image->BitsPerComponent = 8;
    image->Data = std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff", 12);
    doc.Resources.Append(std::move(image));
    doc.ApplyResource(1, 1);
    doc.ApplyResource(3, 1);
    doc.ApplyResource(3, 1);
    const std::string pdf = SavePdf(doc);
    EXPECT_EQ(pdf.substr(0, 9), "%PDF-1.2\r");
    // Page 1 = 3, its content 4 and 5, the image 6; page 2 = 7; page 3 = 8 to 10.
    EXPECT_NE(pdf.find("6 0 obj\r<<\r/Type /XObject\r/Subtype /Image\r/Width 2\r/Height 2\r"
                       "/BitsPerComponent 8\r/ColorSpace /DeviceRGB\r/Length 12 >>\rstream\r\n"),
              std::string::npos);
    // Placed twice on page 3, named once there: a dictionary key may occur once only.
    EXPECT_NE(pdf.find("/XObject <<\r/Im1 6 0 R \r>>"), std::string::npos);
    EXPECT_EQ(pdf.find("/Im1 6 0 R \r/Im1"), std::string::npos);
    EXPECT_NE(pdf.find("11 0 obj\r<< \r/Producer"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("image-once.pdf", pdf));
}

TEST(PdfWriter, IndexedImageHasColourSpaceAndPalette) {
    TPagelith doc;
    Fixed(doc).AddPage(0);
    auto image = std::make_unique<TPDFImageRes>();
    image->Width = image->Height = 1;
    image->XResolution = image->YResolution = 72;
    image->BitsPerComponent = 8;
    image->Indexed = true;
    image->PaletteSize = 2;
    image->Data = std::string(1, '\1');
    image->Palette = std::string("\0\0\0\xff\x80\x00", 6);
    doc.Resources.Append(std::move(image));
    doc.ApplyResource(1, 1);
    const std::string pdf = SavePdf(doc);
    EXPECT_NE(pdf.find("/ColorSpace 7 0 R \r/Length 1 >>"), std::string::npos);
    EXPECT_NE(pdf.find("7 0 obj\r[/Indexed /DeviceRGB 1\r8 0 R ]\rendobj"), std::string::npos);
    EXPECT_NE(pdf.find("8 0 obj\r<<\r/Length 6 >>\rstream\r\n"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("indexed-image.pdf", pdf));
}

TEST(PdfWriter, LinkedImageGetsAnAnnotation) {
    TPagelith doc;
    Fixed(doc).AddPage(0);
    auto image = std::make_unique<TPDFImageRes>();
    image->Width = 200;
    image->Height = 100;
    image->XResolution = image->YResolution = 72;
    image->BitsPerComponent = 8;
    image->Data = std::string(200 * 100 * 3, '\x7f');
    doc.Resources.Append(std::move(image));
    doc.ApplyResource(1, 1);
    doc.ApplyResource(1, 1);
    doc.Locate(1, 1, 50, 700);
    TPDFObj* linked = doc.Placement(1, 1);
    linked->Link = "http://example.com/a(b)";
    linked->LinkBorder = true;
    TPDFObj* rotated = doc.Placement(1, 2);
    rotated->Link = "http://example.com/rotated";
    rotated->Angle = 1;
    const std::string pdf = SavePdf(doc);
    EXPECT_NE(pdf.find("/Annots [ 7 0 R ]"), std::string::npos);
    // The annotation refers to its page's one action for that target, numbered right after it.
    EXPECT_NE(pdf.find("7 0 obj\r<< \r/A 8 0 R \r/Type /Annot \r"
                       "/Subtype /Link \r/Rect [ 50 600 250 700 ] \r/C [ 0 0 0 ] \r/Border [ 0 0 1 ] \r"
                       "/H /I \r>> \rendobj"),
              std::string::npos);
    EXPECT_NE(pdf.find("8 0 obj\r<< /URI (http://example.com/a\\(b\\))/S /URI >> \rendobj"),
              std::string::npos);
    EXPECT_EQ(pdf.find("rotated"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("image-link.pdf", pdf));
}

// A document with text, links and a picture but none of the navigation members writes the bytes
// it wrote before they existed (their size and FNV-1a hash, taken then).
TEST(PdfWriter, DocumentWithoutNavigationKeepsItsBytes) {
    TPagelith doc;
    Fixed(doc).AddPage(0);
    doc.AddPage(0);
    doc.Title = u"Same bytes";
    doc.StandardFontMetrics = true; // measured text carries links
    doc.CreateText();
    doc.WriteText("Contents\n");
    doc.WriteLink("Example", "http://example.com/");
    doc.ApplyResource(2, 1);
    auto image = std::make_unique<TPDFImageRes>();
    image->Width = image->Height = 4;
    image->XResolution = image->YResolution = 72;
    image->BitsPerComponent = 8;
    image->Data = std::string(4 * 4 * 3, '\x40');
    doc.Resources.Append(std::move(image));
    doc.ApplyResource(1, 2);
    doc.Placement(1, 1)->Link = "http://example.com/picture";
    const std::string pdf = SavePdf(doc);
    uint64_t hash = 14695981039346656037ull;
    for (const char c : pdf) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    EXPECT_EQ(pdf.size(), 2016u);
    EXPECT_EQ(hash, 16315348413491064883ull); // content compressed at level 1; decoded, as before
}

} // namespace
} // namespace pagelith
