#include <gtest/gtest.h>

#include <memory>

#include "document/pagelith.h"
#include "images/image_res.h"
#include "text/text_res.h"
#include "text/text_test_fonts.h"

namespace pagelith {
namespace {

TEST(TextMembers, DefaultsWithoutACurrentText) {
    TPagelith doc;
    doc.CurrentText = 2;
    EXPECT_EQ(doc.GetTextFont(), 0);
    EXPECT_EQ(doc.GetTextSize(), 0);
    EXPECT_EQ(doc.GetTextColor(), 0u);
    EXPECT_EQ(doc.GetTextLineSpacing(), 15);
    EXPECT_EQ(doc.GetTextAlign(), 0);
    EXPECT_EQ(doc.GetTextMaxWidth(), -1);
    EXPECT_EQ(doc.GetTextSkewX(), 0);
    EXPECT_EQ(doc.GetTextSkewY(), 0);
    EXPECT_FALSE(doc.GetTextUnderline());
    EXPECT_EQ(doc.TextBlockHeight(), 0);
    EXPECT_EQ(doc.TextBlockWidth(), -1);
    doc.SetTextSize(20);
    doc.WriteText("lost");
    doc.WriteLink("lost", "http://x");
    EXPECT_EQ(doc.CreateGraphic(), 1);
    EXPECT_EQ(doc.GetTextFont(), 0); // resource 1 is not a text
    EXPECT_EQ(doc.CreateText(), 2);
    EXPECT_EQ(doc.CurrentText, 2);
    EXPECT_EQ(doc.GetTextFont(), 5);
    EXPECT_EQ(doc.GetTextSize(), 10);
    EXPECT_EQ(doc.GetTextLineSpacing(), 15);
}

TEST(TextMembers, PutsAndRejectedValues) {
    TPagelith doc;
    doc.CreateText();
    doc.SetTextFont(15);
    EXPECT_EQ(doc.GetTextFont(), 5);
    doc.SetTextFont(0);
    doc.SetTextFont(-3);
    EXPECT_EQ(doc.GetTextFont(), 5);
    doc.SetTextFont(14);
    EXPECT_EQ(doc.GetTextFont(), 14);
    doc.SetTextMaxWidth(0);
    EXPECT_EQ(doc.GetTextMaxWidth(), -1);
    doc.SetTextMaxWidth(-7);
    EXPECT_EQ(doc.GetTextMaxWidth(), -1);
    doc.Units = 3; // millimetres
    doc.SetTextMaxWidth(100);
    EXPECT_NEAR(doc.GetTextMaxWidth(), 100, 1e-9);
    EXPECT_NEAR(doc.CurrentTextRes()->MaxWidth, 100 * 72 / 25.4, 1e-9);
    doc.SetTextSkewX(12.5);
    doc.SetTextSkewY(-3);
    doc.SetTextColor(0x123456);
    doc.SetTextSize(-4);
    doc.SetTextLineSpacing(-50);
    doc.SetTextUnderline(true);
    EXPECT_EQ(doc.GetTextSkewX(), 12.5);
    EXPECT_EQ(doc.GetTextSkewY(), -3);
    EXPECT_EQ(doc.GetTextColor(), 0x123456u);
    EXPECT_EQ(doc.GetTextSize(), -4);
    EXPECT_EQ(doc.GetTextLineSpacing(), -50);
    EXPECT_TRUE(doc.GetTextUnderline());
}

TEST(TextMembers, WrittenLinesSnapshotTheAttributes) {
    TPagelith doc;
    test::SetUpMonoText(doc);
    doc.SetTextUnderline(true);
    doc.SetTextSkewX(10);
    doc.WriteText("one");
    doc.SetTextSize(20);
    doc.SetTextUnderline(false);
    doc.WriteText("two");
    const auto& t = *doc.CurrentTextRes();
    EXPECT_EQ(t.Line(1).Size, 10);
    EXPECT_TRUE(t.Line(1).Underline);
    EXPECT_EQ(t.Line(1).SkewX, 10);
    EXPECT_EQ(t.Line(2).Size, 20);
    EXPECT_FALSE(t.Line(2).Underline);
    const TTextLine none = t.Line(3);
    EXPECT_EQ(none.Text, "");
    EXPECT_EQ(none.Size, 20);
    EXPECT_EQ(none.Font, 15);
    EXPECT_EQ(t.Line(0).SkewX, 10);
    EXPECT_EQ(t.Segment(1).Text, ""); // not laid out yet
}

TEST(TextLinks, StandardFontDropsTheLink) {
    TPagelith doc;
    doc.CreateText();
    doc.WriteLink("site", "http://example.com/");
    const auto& t = *doc.CurrentTextRes();
    ASSERT_EQ(t.Lines.size(), 1u);
    EXPECT_EQ(t.Lines[0].Link, "");
    EXPECT_EQ(t.Lines[0].Color, 0xFF0000u);
    EXPECT_EQ(t.Lines[0].Size, 10);
    EXPECT_EQ(t.Lines[0].Font, 5);
    EXPECT_FALSE(t.Lines[0].Underline);
    EXPECT_EQ(t.LinkCount, 0);
}

TEST(TextLinks, StandardFormattingUsesTheLinkSettingsAndRestoresTheText) {
    TPagelith doc;
    doc.AddFont(test::MonoFontPath());
    doc.CreateText();
    doc.SetTextSize(14);
    doc.SetTextColor(0x00FF00);
    doc.WriteLink("a\r\nb", "http://example.com/");
    const auto& t = *doc.CurrentTextRes();
    ASSERT_EQ(t.Lines.size(), 2u);
    for (const auto& l : t.Lines) {
        EXPECT_EQ(l.Link, "http://example.com/");
        EXPECT_EQ(l.Font, 15);
        EXPECT_EQ(l.Size, 10);
        EXPECT_EQ(l.Color, 0xFF0000u);
        EXPECT_TRUE(l.Underline);
        EXPECT_FALSE(l.LinkBorder);
    }
    EXPECT_EQ(t.LinkCount, 1);
    EXPECT_EQ(doc.GetTextFont(), 5);
    EXPECT_EQ(doc.GetTextSize(), 14);
    EXPECT_EQ(doc.GetTextColor(), 0x00FF00u);
    EXPECT_FALSE(doc.GetTextUnderline());

    doc.LinkBorder = true;
    doc.WriteLink("again", "http://example.com/"); // same link right after: same run
    EXPECT_EQ(t.LinkCount, 1);
    EXPECT_TRUE(t.Lines.back().LinkBorder);
    doc.WriteLink("other", "http://example.org/");
    EXPECT_EQ(t.LinkCount, 2);
    doc.WriteText("plain");
    doc.WriteLink("other", "http://example.org/");
    EXPECT_EQ(t.LinkCount, 3);
    EXPECT_FALSE(t.Lines[0].LinkBorder); // the border flag is taken when written
}

TEST(TextLinks, WithoutStandardFormattingTheTextKeepsItsAttributes) {
    TPagelith doc;
    test::SetUpMonoText(doc);
    doc.LinkStandardFormat = false;
    doc.SetTextSize(12);
    doc.WriteLink("x", "u");
    const auto& l = doc.CurrentTextRes()->Lines[0];
    EXPECT_EQ(l.Size, 12);
    EXPECT_EQ(l.Color, 0u);
    EXPECT_FALSE(l.Underline);
    EXPECT_EQ(l.Link, "u");
}

TEST(TextLinks, LinkFontBeyondTheLoadedFontsKeepsTheTextFont) {
    TPagelith doc;
    test::SetUpMonoText(doc);
    doc.LinkFont = 16;
    doc.WriteLink("x", "u");
    EXPECT_EQ(doc.CurrentTextRes()->Lines[0].Font, 15);
}

TEST(ImageLinks, OnlyImagePlacementsTakeALink) {
    TPagelith doc;
    doc.AddPage(0);
    doc.Resources.Append(std::make_unique<TPDFImageRes>());
    doc.CreateText();
    ASSERT_EQ(doc.ApplyResource(1, 1), 1);
    ASSERT_EQ(doc.ApplyResource(1, 2), 2);
    doc.LinkBorder = true;
    doc.SetImageLink(1, 1, "http://a/");
    doc.SetImageLink(1, 2, "http://b/");
    doc.SetImageLink(1, 3, "http://c/");
    doc.SetImageLink(2, 1, "http://d/");
    EXPECT_EQ(doc.Placement(1, 1)->Link, "http://a/");
    EXPECT_TRUE(doc.Placement(1, 1)->LinkBorder);
    EXPECT_EQ(doc.Placement(1, 2)->Link, "");
    doc.LinkBorder = false;
    doc.SetImageLink(1, 1, "");
    EXPECT_EQ(doc.Placement(1, 1)->Link, "");
    EXPECT_FALSE(doc.Placement(1, 1)->LinkBorder);
}

} // namespace
} // namespace pagelith
