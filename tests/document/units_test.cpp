#include <gtest/gtest.h>

#include "document/pagelith.h"
#include "document/units.h"

namespace pagelith {
namespace {

TEST(Units, Conversions) {
    EXPECT_EQ(ToPoints(kPoint, 12.5), 12.5L);
    EXPECT_EQ(ToPoints(kInch, 8.5), 612.0L);
    EXPECT_EQ(ToPoints(kCentimetre, 2.54), (static_cast<long double>(2.54) * 72.0L) / 2.54L);
    EXPECT_NEAR(static_cast<double>(ToPoints(kMillimetre, 210)), 595.2755905511811, 1e-12);
    EXPECT_NEAR(static_cast<double>(FromPoints(kInch, 595)), 8.26388888888889, 1e-13);
    EXPECT_NEAR(static_cast<double>(FromPoints(kMillimetre, 595)), 209.90277777777777, 1e-12);
    for (uint8_t unknown : {4, 7, 255}) {
        EXPECT_EQ(ToPoints(unknown, 10), 0.0L);
        EXPECT_EQ(FromPoints(unknown, 10), 0.0L);
    }
}

TEST(Units, PageSizeTableUsesLowSevenBits) {
    EXPECT_EQ(PageSizeOf(1)->Width, 595u);
    EXPECT_EQ(PageSizeOf(16)->Height, 522u);
    EXPECT_EQ(PageSizeOf(129)->Height, 842u);
    EXPECT_EQ(PageSizeOf(144)->Width, 756u);
    EXPECT_FALSE(PageSizeOf(0));
    EXPECT_FALSE(PageSizeOf(17));
    EXPECT_FALSE(PageSizeOf(128));
}

TEST(Units, PageSizeMembers) {
    TPagelith doc;
    doc.AddPage(0);
    doc.SetPageSize(1, 2);
    EXPECT_EQ(doc.Page(1)->Width, 842u);
    EXPECT_EQ(doc.Page(1)->Height, 595u);
    doc.SetPageSize(1, 1);
    doc.SetPageSize(1, 129);
    EXPECT_EQ(doc.Page(1)->SizeCode, 129);
    EXPECT_EQ(doc.GetPageSize(1), 1);
    EXPECT_EQ(doc.Page(1)->Width, 595u);
    doc.SetPageSize(1, 257); // only the low 8 bits count
    EXPECT_EQ(doc.Page(1)->SizeCode, 1);
    doc.SetPageSize(1, 40);
    EXPECT_EQ(doc.GetPageSize(1), 40);
    EXPECT_EQ(doc.Page(1)->Width, 595u);

    doc.SetPageSize(1, 1);
    doc.SetPageWidth(1, 600);
    EXPECT_EQ(doc.GetPageSize(1), 0);
    doc.SetPageSize(1, 1); // re-applies the size, the width change cleared the code
    EXPECT_EQ(doc.Page(1)->Width, 595u);
    doc.SetPageWidth(1, 595); // same width keeps the code
    EXPECT_EQ(doc.GetPageSize(1), 1);

    doc.Units = kInch;
    EXPECT_NEAR(doc.GetPageWidth(1), 8.263888888888889, 1e-12);
    doc.SetPageWidth(1, 8.5);
    EXPECT_EQ(doc.Page(1)->Width, 612u);
    doc.Units = kMillimetre;
    doc.SetPageWidth(1, 210);
    EXPECT_EQ(doc.Page(1)->Width, 595u);
    doc.Units = kPoint;
    doc.SetPageWidth(1, 0.001);
    EXPECT_EQ(doc.Page(1)->Width, 1u);
    doc.SetPageWidth(1, 0);
    doc.SetPageWidth(1, -5);
    doc.SetPageHeight(1, 1e300);
    EXPECT_EQ(doc.Page(1)->Width, 1u);
    EXPECT_EQ(doc.Page(1)->Height, 4294967295u);
    doc.Units = 7;
    EXPECT_EQ(doc.GetPageWidth(1), 0);
    doc.SetPageHeight(1, 50);
    EXPECT_EQ(doc.Page(1)->Height, 1u);
    EXPECT_EQ(doc.GetPageWidth(2), 0);
}

TEST(Units, DefaultPageSizeOfNewPages) {
    TPagelith doc;
    doc.DefaultPageSize = 0;
    doc.AddPage(0);
    doc.DefaultPageSize = 40;
    doc.AddPage(0);
    doc.DefaultPageSize = 132;
    doc.AddPage(0);
    EXPECT_EQ(doc.Page(1)->Width, 0u);
    EXPECT_EQ(doc.GetPageSize(2), 40);
    EXPECT_EQ(doc.Page(2)->Height, 0u);
    EXPECT_EQ(doc.GetPageSize(3), 4);
    EXPECT_EQ(doc.Page(3)->Width, 792u);
}

} // namespace
} // namespace pagelith
