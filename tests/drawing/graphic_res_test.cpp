#include <gtest/gtest.h>

#include "document/pagelith.h"
#include "drawing/graphic_res.h"

namespace pagelith {
namespace {

constexpr const char* kStart = "1 1 1 rg\r0 0 0 RG\r";

std::string Drawn(const TPDFGraphicRes& g) {
    return g.Content().substr(18);
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
