#include <gtest/gtest.h>

#include "document/pagelith.h"
#include "drawing/graphic_res.h"
#include "pdf/number_format.h"

namespace pagelith {
namespace {

constexpr const char* kStart = "1 1 1 rg\r0 0 0 RG\r";

std::string Drawn(const TPDFGraphicRes& g) {
    return g.Content().substr(18);
}

TEST(NumberFormat, GeneralFifteenDigits) {
    EXPECT_EQ(NumberText(10), "10");
    EXPECT_EQ(NumberText(100.5), "100.5");
    EXPECT_EQ(NumberText(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(NumberText(-2.25), "-2.25");
    EXPECT_EQ(NumberText(0.00005), "0");
    EXPECT_EQ(NumberText(-0.00005), "0");
    EXPECT_EQ(NumberText(-0.0002), "-0.0002");
    EXPECT_EQ(NumberText(0.0001), "0.0001");
    EXPECT_EQ(NumberText(123456789012345.0), "123456789012345");
    EXPECT_EQ(NumberText(1234567.891), "1234567.891");
    EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(NumberText(1e15), "1000000000000000");
    EXPECT_EQ(NumberText(-2.5e16), "-25000000000000000");
    EXPECT_EQ(NumberText(1e300).find('e'), std::string::npos);
    EXPECT_EQ(NumberText(std::numeric_limits<double>::quiet_NaN()), "0");
    EXPECT_EQ(NumberText(-std::numeric_limits<double>::infinity()), "0");
}

TEST(NumberFormat, ColourLines) {
    std::string s;
    AppendColor(s, 0x0080FF, true);
    EXPECT_EQ(s, "1 0.501960784313725 0 rg");
    s.clear();
    AppendColor(s, 0xFF000000u | 0x00FF00, false); // high byte is ignored
    EXPECT_EQ(s, "0 1 0 RG");
}

TEST(GraphicRes, OperatorText) {
    TPDFGraphicRes g;
    EXPECT_EQ(g.Content(), kStart);
    g.AddLine(10, 20, 100.5, 20);
    EXPECT_EQ(Drawn(g), "10 20 m\r100.5 20 l\rS\r");

    TPDFGraphicRes r;
    r.AddRectangle(100, 200, 50, 20);
    EXPECT_EQ(Drawn(r), "50 20 50 180 re\rB\r");

    TPDFGraphicRes c;
    c.AddEllipse(0, 0, 10, 10, 0);
    EXPECT_EQ(Drawn(c), "10 0 m\r"
                        "10 5.5516572 5.5516572 10 0 10 c\r"
                        "-5.5516572 10 -10 5.5516572 -10 0 c\r"
                        "-10 -5.5516572 -5.5516572 -10 0 -10 c\r"
                        "5.5516572 -10 10 -5.5516572 10 0 c\r"
                        "B\r");

    TPDFGraphicRes e;
    e.AddEllipse(100, 100, 20, 10, 90);
    EXPECT_EQ(e.Content().substr(18, 10), "100 120 m\r");

    TPDFGraphicRes t;
    t.AddLine(0.00001, -0.0002, 0, 0);
    EXPECT_EQ(Drawn(t), "0 -0.0002 m\r0 0 l\rS\r");
}

TEST(GraphicRes, WidthAndColourRules) {
    TPDFGraphicRes g;
    g.SetLineWidth(1);
    g.SetLineWidth(2);
    g.SetLineWidth(2);
    g.SetLineWidth(-4);
    g.SetLineWidth(1);
    g.SetLineColor(0xFF);
    g.SetLineColor(0xFF);
    g.SetFillColor(0x1FFFFFF);
    EXPECT_EQ(Drawn(g), "2 w\r1 w\r1 0 0 RG\r1 0 0 RG\r1 1 1 rg\r");
    EXPECT_EQ(g.FillColor(), 0x1FFFFFFu); // the stored value is kept as given
}

TEST(GraphicRes, MembersConvertUnitsButNotWidths) {
    TPagelith doc;
    doc.DrawLine(1, 1, 2, 2); // no current graphic: ignored
    doc.CreateGraphic();
    doc.Units = 1;
    doc.DrawLine(1, 1, 2, 2);
    doc.SetLineWidth(2);
    doc.Circle(1, 1, 1);
    const std::string& content = doc.CurrentGraphicRes()->Content();
    EXPECT_EQ(content.substr(18, 27), "72 72 m\r144 144 l\rS\r2 w\r144");
    EXPECT_EQ(doc.GetLineWidth(), 2);
    doc.SetLineColor(0x00FF00);
    EXPECT_EQ(doc.GetLineColor(), 0x00FF00u);
}

} // namespace
} // namespace pagelith
