#include <gtest/gtest.h>

#include "document/pagelith.h"
#include "drawing/graphic_res.h"
#include "images/image_res.h"
#include "support/content.h"
#include "support/pdf_check.h"
#include "text/text_res.h"

namespace pagelith {
namespace {

using testing::ContentOf;
using testing::ReadersAccept;
using testing::SavePdf;

int AddImage(TPagelith& doc, uint32_t w, uint32_t h, uint32_t dpi = 72) {
    auto image = std::make_unique<TPDFImageRes>();
    image->Width = w;
    image->Height = h;
    image->XResolution = image->YResolution = dpi;
    image->BitsPerComponent = 8;
    image->Data = std::string(std::size_t{w} * h * 3, '\x40');
    doc.Resources.Append(std::move(image));
    return static_cast<int>(doc.Resources.Count());
}

TEST(ContentStream, ImagePlacementTransform) {
    TPagelith doc;
    doc.AddPage(0);
    const int im = AddImage(doc, 200, 100);
    doc.ApplyResource(1, im);
    doc.Locate(1, 1, 50, 700);
    const std::string pdf = SavePdf(doc);
    EXPECT_EQ(ContentOf(pdf, 4), "q\rq\r200 0 0 100 50 600 cm\r/Im1 Do\r\rQ\rQ\r");
    EXPECT_TRUE(ReadersAccept("image-placed.pdf", pdf));
}

TEST(ContentStream, RotatedAndScaledImage) {
    TPagelith doc;
    doc.AddPage(0);
    const int im = AddImage(doc, 200, 100);
    doc.ApplyResource(1, im);
    doc.Locate(1, 1, 50, 700);
    doc.Rotate(1, 1, 90);
    doc.ApplyResource(1, im);
    doc.ScaleObject(1, 2, 50);
    doc.ApplyResource(1, AddImage(doc, 300, 150, 300));
    const std::string pdf = SavePdf(doc);
    EXPECT_EQ(ContentOf(pdf, 4), "q\rq\r0 1 -1 0 0 0 cm\r200 0 0 100 700 -150 cm\r/Im1 Do\r\rQ\rQ\r"
                                 "q\rq\r100 0 0 50 0 792 cm\r/Im1 Do\r\rQ\rQ\r"
                                 "q\rq\r72 0 0 36 0 806 cm\r/Im2 Do\r\rQ\rQ\r");
    EXPECT_TRUE(ReadersAccept("image-rotated.pdf", pdf));
}

// A picture turned by its Orientation 6 is placed as an upright one of its shown size: 200 x 100
// pixels show 100 wide and 200 high below (50, 700), and so does its link.
TEST(ContentStream, OrientedImageIsPlacedAtItsShownSize) {
    TPagelith doc;
    doc.AddPage(0);
    const int im = AddImage(doc, 200, 100);
    dynamic_cast<TPDFImageRes&>(*doc.Resource(im)).Orientation = 6;
    doc.ApplyResource(1, im);
    doc.Locate(1, 1, 50, 700);
    doc.SetImageLink(1, 1, "https://example.com/");
    const std::string pdf = SavePdf(doc);
    EXPECT_EQ(ContentOf(pdf, 4), "q\rq\r0 -200 100 0 50 700 cm\r/Im1 Do\r\rQ\rQ\r");
    EXPECT_NE(pdf.find("/Rect [ 50 500 150 700 ]"), std::string::npos);
}

TEST(ContentStream, GraphicsAreCopiedWhollyInPlacementOrder) {
    TPagelith doc;
    doc.AddPage(0);
    const int a = doc.CreateGraphic();
    doc.SetLineWidth(3);
    doc.DrawLine(10, 20, 100.5, 20);
    const int b = doc.CreateGraphic();
    doc.SetFillColor(0x0000FF);
    doc.Rectangle(100, 200, 50, 20);
    doc.ApplyResource(1, b);
    doc.ApplyResource(1, a);
    doc.Locate(1, 2, 300, 300);
    doc.ScaleObject(1, 2, 200);
    doc.Rotate(1, 2, 30);
    const std::string pdf = SavePdf(doc);
    const std::string ga = "1 1 1 rg\r0 0 0 RG\r3 w\r10 20 m\r100.5 20 l\rS\r";
    const std::string gb = "1 1 1 rg\r0 0 0 RG\r1 0 0 rg\r50 20 50 180 re\rB\r";
    // Each copy in a graphics state of its own: the 3 w of one ends with it.
    EXPECT_EQ(ContentOf(pdf, 4), "q\r" + gb + "Q\rq\r" + ga + "Q\r");
    EXPECT_TRUE(ReadersAccept("graphics-mixed.pdf", pdf));
}

TEST(ContentStream, TextPlacementFrameWithoutSegments) {
    TPagelith doc;
    doc.AddPage(0);
    auto text = std::make_unique<TPDFTextRes>();
    doc.Resources.Append(std::move(text));
    doc.ApplyResource(1, 1);
    doc.ApplyResource(1, 1);
    doc.Rotate(1, 2, 90);
    const std::string pdf = SavePdf(doc);
    EXPECT_EQ(ContentOf(pdf, 4), "q\rq\rBT\rET\rQ\rQ\rq\rq\rBT\r0 1 -1 0 0 0 cm\rET\rQ\rQ\r");
    EXPECT_NE(pdf.find("/Font <<\r>>"), std::string::npos);
    EXPECT_TRUE(ReadersAccept("text-frame.pdf", pdf));
}

// A size of 0 or less is written as the signed value the layout used, never as its unsigned wrap.
TEST(ContentStream, TextSizesOfZeroOrLessAreWrittenSigned) {
    const struct {
        int32_t Size;
        const char* Matrix;
    } cases[] = {
        {-1, "-1 0 0 -1 0 843"}, {0, "0 0 0 0 0 842"}, {-10, "-10 0 0 -10 0 852"}, {12, "12 0 0 12 0 830"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        TPagelith doc;
        doc.AddPage(0);
        doc.CreateText();
        doc.SetTextSize(c.Size);
        doc.WriteText("sized");
        doc.ApplyResource(1, 1);
        const std::string pdf = SavePdf(doc);
        const std::string content = ContentOf(pdf, 4);
        EXPECT_NE(content.find(std::string(c.Matrix) + " Tm\r(sized)Tj"), std::string::npos) << content;
        EXPECT_EQ(content.find("4294967"), std::string::npos);
        EXPECT_TRUE(ReadersAccept("text-size.pdf", pdf));
    }
}

TEST(ContentStream, LargeGraphicStreamsThroughDeflate) {
    TPagelith doc;
    doc.AddPage(0);
    doc.ApplyResource(1, doc.CreateGraphic());
    for (int i = 0; i < 20000; ++i) doc.DrawLine(i % 595, i % 842, (i * 7) % 595, (i * 3) % 842);
    const std::string pdf = SavePdf(doc);
    const std::string content = ContentOf(pdf, 4);
    EXPECT_EQ(content, "q\r" + dynamic_cast<TPDFGraphicRes*>(doc.Resource(1))->Content() + "Q\r");
    EXPECT_TRUE(ReadersAccept("large-graphic.pdf", pdf));
}

// A page whose content outgrows a piece is compressed as it is written, into one stream.
TEST(ContentStream, LongTextPageStreamsThroughDeflate) {
    TPagelith doc;
    doc.AddPage(0);
    const int text = doc.CreateText();
    std::string lines;
    for (int i = 0; i < 40000; ++i) lines += "line " + std::to_string(i) + "\n";
    doc.WriteText(lines + "last");
    doc.ApplyResource(1, text);
    const std::string pdf = SavePdf(doc);
    const std::string content = ContentOf(pdf, 4);
    EXPECT_GT(content.size(), 1u << 20);
    EXPECT_EQ(content.substr(0, 7), "q\rq\rBT\r");
    EXPECT_TRUE(content.ends_with("(last)Tj\rET\rQ\rQ\r"));
    EXPECT_TRUE(ReadersAccept("long-text.pdf", pdf));
}

// Nothing a graphic sets reaches what is drawn after it: later graphics, text, underline bars.
TEST(ContentStream, GraphicStateEndsWithTheGraphic) {
    TPagelith doc;
    doc.AddPage(0);
    doc.ApplyResource(1, doc.CreateGraphic());
    doc.SetLineWidth(8);
    doc.SetLineColor(0x00FF00);
    doc.DrawLine(10, 10, 100, 10);
    doc.ApplyResource(1, doc.CreateGraphic());
    doc.DrawLine(10, 50, 100, 50);
    const std::string content = ContentOf(SavePdf(doc), 4);
    const auto first = content.find("8 w\r");
    ASSERT_NE(first, std::string::npos);
    const auto restore = content.find("Q\r", first);
    ASSERT_NE(restore, std::string::npos);
    EXPECT_LT(restore, content.find("10 50 m"));
    EXPECT_EQ(content.substr(content.size() - 2), "Q\r");
}

} // namespace
} // namespace pagelith
