// Long link targets on many laid-out pieces: the output grows with text plus target, not with their
// product, and every piece keeps a working link.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>

#include "document/pagelith.h"
#include "support/pdf_check.h"
#include "text/text_test_fonts.h"

namespace pagelith {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// One WriteLink of many words that wrap one per piece, or of many lines; the target is one MiB.
TEST(LinkSize, OneTargetPerPageHoweverManyPieces) {
    const std::string uri = "http://example.com/" + std::string((1 << 20) - 19, 'q');
    const struct {
        const char* Name;
        std::string Text;
        std::size_t Pieces;
    } cases[] = {
        {"2000 wrapped words",
         [] {
             std::string t;
             for (int i = 0; i < 2000; ++i) t += "word ";
             return t;
         }(),
         2000},
        {"500 lines",
         [] {
             std::string t;
             for (int i = 0; i < 500; ++i) t += i ? "\nline" : "line";
             return t;
         }(),
         500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPagelith doc;
        doc.Clock = [] { return pagelith::testing::kFixedTime; };
        doc.AddPage(0);
        doc.AddPage(0);
        test::SetUpMonoText(doc);
        doc.SetTextMaxWidth(25); // one word per piece
        doc.WriteLink(c.Text, uri);
        doc.ApplyResource(1, 1);
        doc.ApplyResource(1, 1); // the same block twice on one page
        doc.ApplyResource(2, 1);
        const std::string pdf = pagelith::testing::SavePdf(doc);
        // Three placements of every piece, and one copy of the target per page.
        EXPECT_EQ(Occurrences(pdf, "/Subtype /Link"), 3 * c.Pieces);
        EXPECT_EQ(Occurrences(pdf, "/S /URI"), 2u);
        EXPECT_LT(pdf.size(), 2 * uri.size() + 3 * c.Pieces * 200 + 64 * 1024);
        // qpdf only: a renderer takes minutes over thousands of annotations, which is not what is tested.
        const auto path = pagelith::testing::WriteFile("link-size.pdf", pdf);
        EXPECT_TRUE(pagelith::testing::QpdfClean(path));
    }
}

// Distinct targets each get their action, shared by their pieces and by the image that names one.
TEST(LinkSize, DistinctTargetsOnAPage) {
    TPagelith doc;
    doc.Clock = [] { return pagelith::testing::kFixedTime; };
    doc.AddPage(0);
    test::SetUpMonoText(doc);
    doc.SetTextMaxWidth(25);
    doc.WriteLink("aaaa bbbb", "http://one/"); // two pieces
    doc.WriteText("plain");
    doc.WriteLink("cc", "http://two/");
    doc.WriteLink("dd", "http://one/"); // same target, another call: still one action
    doc.ApplyResource(1, 1);
    const std::string pdf = pagelith::testing::SavePdf(doc);
    EXPECT_EQ(Occurrences(pdf, "/Subtype /Link"), 4u);
    EXPECT_EQ(Occurrences(pdf, "<< /URI (http://one/)/S /URI >>"), 1u);
    EXPECT_EQ(Occurrences(pdf, "<< /URI (http://two/)/S /URI >>"), 1u);
    EXPECT_TRUE(pagelith::testing::ReadersAccept("link-targets.pdf", pdf));
}

} // namespace
} // namespace pagelith
