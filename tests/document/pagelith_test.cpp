#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "document/pagelith.h"
#include "drawing/graphic_res.h"
#include "support/pdf_check.h"
#include "text/text_res.h"

namespace pagelith {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(Pagelith, Defaults) {
    TPagelith doc;
    EXPECT_EQ(doc.Units, 0);
    EXPECT_EQ(doc.DefaultPageSize, 1);
    EXPECT_EQ(doc.CompressionBW, 1);
    EXPECT_EQ(doc.CompressionIndexed, 2);
    EXPECT_TRUE(doc.UseSourceCompression);
    EXPECT_EQ(doc.ImageReadNumber, 1);
    EXPECT_TRUE(doc.LinkStandardFormat);
    EXPECT_EQ(doc.LinkFont, 15);
    EXPECT_EQ(doc.LinkColor, 0xFF0000u);
    EXPECT_EQ(doc.MergeAlphaColor, 0xFFFFFFu);
    EXPECT_EQ(doc.GetPageSize(1), 0);
    EXPECT_EQ(doc.GetLineWidth(), 0);
    EXPECT_EQ(doc.GetFillColor(), 0xFFFFFFu);
}

// Each class keeps the codes it can use; the low byte is judged, and codes above 3 name no
// compression at all, so they are ignored like the refused ones.
TEST(Pagelith, CompressionSetters) {
    using TSetter = void (TPagelith::*)(int32_t);
    const struct {
        const char* name;
        TSetter set;
        uint8_t TPagelith::*field;
        uint8_t initial;
        std::vector<int32_t> accepted, refused;
    } cases[] = {
        {"BW",
         &TPagelith::SetCompressionBW,
         &TPagelith::CompressionBW,
         1,
         {0, 1, 2, 0x102},
         {3, 259, 4, 255, -1, 7}},
        {"Indexed",
         &TPagelith::SetCompressionIndexed,
         &TPagelith::CompressionIndexed,
         2,
         {0, 2},
         {1, 3, 4, 256 + 1, -2}},
        {"RGB",
         &TPagelith::SetCompressionRGB,
         &TPagelith::CompressionRGB,
         2,
         {0, 2, 3, 0x103},
         {1, 4, 99, -1}},
        {"Gray",
         &TPagelith::SetCompressionGray,
         &TPagelith::CompressionGray,
         2,
         {0, 2, 3},
         {1, 4, 0x1FF, -1}},
    };
    for (const auto& c : cases) {
        TPagelith doc;
        EXPECT_EQ(doc.*c.field, c.initial) << c.name;
        for (int32_t code : c.accepted) {
            (doc.*c.set)(code);
            EXPECT_EQ(doc.*c.field, code & 0xFF) << c.name << " " << code;
        }
        for (int32_t code : c.refused) {
            const uint8_t before = doc.*c.field;
            (doc.*c.set)(code);
            EXPECT_EQ(doc.*c.field, before) << c.name << " " << code;
        }
    }
}

// Pages are told apart by their width.
std::vector<uint32_t> Widths(const TPagelith& doc) {
    std::vector<uint32_t> w;
    for (uint32_t i = 1; i <= doc.Pages.Count(); ++i) w.push_back(doc.Page(static_cast<int32_t>(i))->Width);
    return w;
}

TEST(Pagelith, AddPageInsertionPositions) {
    TPagelith doc;
    doc.AddPage(-5);
    doc.SetPageWidth(1, 100);
    doc.AddPage(0);
    doc.SetPageWidth(2, 200);
    EXPECT_EQ(doc.GetPageWidth(1), 100); // remembered position on page 1
    doc.AddPage(1);
    doc.SetPageWidth(1, 300);
    EXPECT_EQ(Widths(doc), (std::vector<uint32_t>{300, 100, 200}));
    doc.AddPage(10);
    doc.SetPageWidth(4, 400);
    doc.AddPage(3);
    doc.SetPageWidth(3, 500);
    EXPECT_EQ(Widths(doc), (std::vector<uint32_t>{300, 100, 500, 200, 400}));
    // Lookups after inserts see the new order in the written file too.
    const std::string pdf = testing::SavePdf(doc);
    EXPECT_LT(pdf.find("0 0 300 842"), pdf.find("0 0 100 842"));
    EXPECT_LT(pdf.find("0 0 500 842"), pdf.find("0 0 200 842"));
}

TEST(Pagelith, PlacementsAndTheirEdits) {
    TPagelith doc;
    EXPECT_EQ(doc.ApplyResource(1, 1), 0);
    doc.AddPage(0);
    EXPECT_EQ(doc.ApplyResource(1, 1), 0);
    const int g = doc.CreateGraphic();
    EXPECT_EQ(doc.ApplyResource(0, g), 0);
    EXPECT_EQ(doc.ApplyResource(2, g), 0);
    EXPECT_EQ(doc.ApplyResource(1, -1), 0);
    EXPECT_EQ(doc.ApplyResource(1, g), 1);
    EXPECT_EQ(doc.ApplyResource(1, g), 2);
    TPDFObj* obj = doc.Placement(1, 2);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->X, 0);
    EXPECT_EQ(obj->Y, 842);
    EXPECT_EQ(obj->Kind, kGraphicPlacement);
    EXPECT_EQ(doc.Page(1)->Placements.GraphicPlacements, 2u);

    doc.Units = 1;
    doc.Locate(1, 1, 1, 1);
    doc.Units = 0;
    EXPECT_EQ(doc.Placement(1, 1)->X, 72);
    EXPECT_EQ(doc.Placement(1, 1)->Y, 72);
    doc.Locate(1, 3, 5, 5);
    doc.Locate(0, 1, 5, 5);
    doc.Locate(2, 1, 5, 5);
    EXPECT_EQ(doc.Placement(1, 1)->X, 72);

    doc.ScaleObject(1, 1, 50);
    doc.ScaleObject(1, 1, 0);
    doc.ScaleObject(1, 1, -3);
    EXPECT_EQ(doc.Placement(1, 1)->Scale, 50);
    doc.Rotate(1, 1, 90);
    EXPECT_DOUBLE_EQ(doc.Placement(1, 1)->Angle, kPi / 2);
    doc.Rotate(1, 2, 450);
    EXPECT_DOUBLE_EQ(doc.Placement(1, 2)->Angle, 5 * kPi / 2);
    doc.Rotate(1, 0, 10);
}

TEST(Pagelith, ClearKeepsSettingsAndDeleteAllPagesKeepsResources) {
    TPagelith doc;
    doc.Units = 2;
    doc.DefaultPageSize = 3;
    doc.LinkColor = 0x123456;
    doc.Title = u"t";
    doc.AddPage(0);
    doc.CreateGraphic();
    doc.CurrentText = 4;
    doc.DeleteAllPages();
    EXPECT_EQ(doc.Pages.Count(), 0u);
    doc.AddPage(0);
    EXPECT_EQ(doc.ApplyResource(1, 1), 1);
    doc.Clear();
    EXPECT_EQ(doc.CurrentGraphic, 0);
    EXPECT_EQ(doc.CurrentText, 0);
    EXPECT_TRUE(doc.Title.empty());
    EXPECT_EQ(doc.Units, 2);
    EXPECT_EQ(doc.DefaultPageSize, 3);
    EXPECT_EQ(doc.LinkColor, 0x123456u);
    EXPECT_EQ(doc.CreateGraphic(), 1);
}

TEST(Pagelith, CurrentResourceResolvedAtUse) {
    TPagelith doc;
    doc.CurrentGraphic = 2;
    doc.SetLineWidth(4);
    EXPECT_EQ(doc.GetLineWidth(), 0);
    doc.Resources.Append(std::make_unique<TPDFTextRes>());
    doc.Resources.Append(std::make_unique<TPDFGraphicRes>());
    EXPECT_NE(doc.CurrentGraphicRes(), nullptr);
    doc.CurrentGraphic = 1; // a text resource is not a graphic
    EXPECT_EQ(doc.CurrentGraphicRes(), nullptr);
    doc.CurrentText = 1;
    EXPECT_NE(doc.CurrentTextRes(), nullptr);
}

// A stream that already holds bytes keeps them: the saved file is appended, not swapped in.
TEST(Pagelith, SaveAppendsToAStreamWithContent) {
    TPagelith doc;
    doc.Clock = [] { return testing::kFixedTime; };
    doc.AddPage(0);
    const std::string pdf = testing::SavePdf(doc);
    TMemoryStream stream;
    stream.Write("head");
    doc.SaveToStream(stream);
    EXPECT_EQ(stream.Data, "head" + pdf);
    doc.SaveToStream(stream);
    EXPECT_EQ(stream.Data, "head" + pdf + pdf);
}

} // namespace
} // namespace pagelith
