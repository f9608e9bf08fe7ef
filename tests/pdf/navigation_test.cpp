#include <gtest/gtest.h>

#include <string>

#include "document/pagelith.h"
#include "support/pdf_check.h"

namespace pagelith {
namespace {

using testing::ReadersAccept;
using testing::SavePdf;

// The outline, links and opening of a saved document as pikepdf reads them.
std::string Navigation(const std::string& name, TPagelith& doc) {
    doc.Clock = [] { return testing::kFixedTime; };
    const std::string pdf = SavePdf(doc);
    EXPECT_TRUE(ReadersAccept(name, pdf));
    std::string out;
    EXPECT_EQ(testing::Run("/usr/bin/python3 '" PAGELITH_SOURCE_DIR "/tests/pdf/navigation.py' '" +
                               testing::OutputPath(name).string() + "'",
                           &out),
              0)
        << out;
    return out;
}

// A table of contents on page 1 and a three-level outline in several scripts.
TEST(Navigation, OutlineLinksAndOpeningReadBack) {
    TPagelith doc;
    for (int i = 0; i < 5; ++i) doc.AddPage(0);
    doc.Units = 1; // inches: heights are given in the current units
    EXPECT_EQ(doc.AddBookmark(u"Introduction", 2, 10, 0), 1);
    doc.AddBookmark(u"Caf\u00e9 (d\u00e9but)", 2, 5, 1);
    doc.AddBookmark(u"\u4e2d\u6587 \u0627\u0644\u0639\u0631\u0628\u064a\u0629", 3, 1, 2);
    doc.AddBookmark(u"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac", 4, 2, 1);
    doc.AddBookmark(u"Appendix", 5, 11, 0);
    EXPECT_EQ(doc.AddBookmark(u"Missing page", 9, 1, 7), 6); // deeper than any parent: level 1
    doc.SetBookmarkOpen(1, true);
    doc.AddDestination("intro", 2, 10);
    doc.AddDestination("a b#(c)", 4, 2);
    doc.AddDestination("gone", 12, 1);
    doc.SetPageMode(1);
    doc.SetOpenPage(3);
    doc.StandardFontMetrics = true; // measured text carries links
    doc.CreateText();
    doc.WriteLink("Pages", "#page=3&y=4.5");
    doc.WriteLink("Top", "#page=5");
    doc.WriteLink("Named", "#intro");
    doc.WriteLink("Odd name", "#a b#(c)");
    doc.WriteLink("Web", "http://example.com/#page=2");
    doc.WriteLink("Nowhere", "#missing");
    doc.WriteLink("No page", "#page=6&y=1");
    doc.WriteLink("Gone", "#gone");
    doc.ApplyResource(1, 1);
    doc.Locate(1, 1, 1, 10);
    doc.Units = 0; // heights were taken in the units current at each call
    EXPECT_EQ(Navigation("navigation.pdf", doc),
              "outline|0|Introduction|2|720|2\n"
              "outline|1|Caf\u00e9 (d\u00e9but)|2|360|-1\n"
              "outline|2|\u4e2d\u6587 \u0627\u0644\u0639\u0631\u0628\u064a\u0629|3|72|0\n"
              "outline|1|\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac|4|144|0\n"
              "outline|0|Appendix|5|792|-1\n"
              "outline|1|Missing page|-|-|0\n"
              "link|1|3|324\n"
              "link|1|5|842\n"
              "link|1|2|720\n"
              "link|1|4|144\n"
              "link|1|http://example.com/#page=2\n"
              "mode|/UseOutlines|3|842\n");
}

TEST(Navigation, CatalogEntriesOnlyWhenAsked) {
    const struct {
        int32_t Mode, Open;
        const char* Entries;
    } cases[] = {
        {0, 0, "/Type /Catalog\r/Pages"},
        {2, 0, "/Type /Catalog\r/PageMode /FullScreen\r/Pages"},
        {0, 2, "/Type /Catalog\r/OpenAction [4 0 R /XYZ null 842 null]\r/Pages"},
        {0, 3, "/Type /Catalog\r/Pages"},  // no such page
        {5, -1, "/Type /Catalog\r/Pages"}, // refused values
    };
    for (const auto& c : cases) {
        TPagelith doc;
        doc.AddPage(0);
        doc.AddPage(0);
        doc.SetPageMode(c.Mode);
        doc.SetOpenPage(c.Open);
        doc.Clock = [] { return testing::kFixedTime; };
        EXPECT_NE(SavePdf(doc).find(c.Entries), std::string::npos) << c.Mode << " " << c.Open;
    }
}

} // namespace
} // namespace pagelith
