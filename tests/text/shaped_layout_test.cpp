// What layout adds for Unicode text: display order by embedding level, paragraph direction,
// breaks that end a line by themselves, and shaping features.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/pdf_error.h"
#include "base/utf8_text.h"
#include "document/pagelith.h"
#include "text/bidi.h"
#include "text/text_res.h"

namespace pagelith {
namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

TEST(VisualOrder, TurnsEachStretchFromTheHighestLevelDown) {
    const struct {
        std::vector<uint8_t> Levels;
        std::vector<std::size_t> Order;
    } cases[] = {
        {{0, 0, 0}, {0, 1, 2}},
        {{1, 1, 1}, {2, 1, 0}},
        {{0, 1, 1, 0}, {0, 2, 1, 3}},
        {{1, 2, 2, 1}, {3, 1, 2, 0}},
        {{0, 2, 2, 0}, {0, 1, 2, 3}},
        {{1, 2, 3, 1}, {3, 1, 2, 0}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::size_t> order;
        VisualOrder(c.Levels, order);
        EXPECT_EQ(order, c.Order) << ::testing::PrintToString(c.Levels);
    }
}

// The text of each laid-out segment, each visual line from the left; "|" starts a line, "+" goes on.
std::string Segments(TPagelith& doc) {
    auto* text = dynamic_cast<TPDFTextRes*>(doc.Resource(doc.CurrentText));
    text->Layout(doc.Fonts, 100);
    std::string out;
    for (std::size_t i = 0; i < text->Segments.size(); ++i)
        out += (text->Segments.At(i).Continues ? "+" : "|") + std::string(text->Segments.Text(i));
    return out;
}

void Start(TPagelith& doc) {
    doc.UnicodeText = true;
    ASSERT_EQ(doc.AddFont(kDejaVu), 15);
    doc.CreateText();
    doc.SetTextFont(15);
    doc.SetTextSize(10);
}

// Lines handed on one at a time keep their own glyphs: a later line reads what an earlier one with
// the same text read.
TEST(ShapedLayout, EachVisualLineKeepsItsGlyphs) {
    TPagelith doc;
    Start(doc);
    doc.WriteText(u"abc\nxyz\nabc");
    auto* text = dynamic_cast<TPDFTextRes*>(doc.Resource(doc.CurrentText));
    std::vector<std::vector<uint16_t>> lines;
    text->ForEachVisualLine(doc.Fonts, 100, [&](const TSegmentList& s, std::size_t first, std::size_t end) {
        ASSERT_EQ(end, first + 1);
        auto& glyphs = lines.emplace_back();
        for (const TShapedGlyph& g : s.Glyphs(first)) glyphs.push_back(g.Glyph);
        EXPECT_EQ(glyphs.size(), 3u);
    });
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], lines[0]);
    EXPECT_NE(lines[1], lines[0]);
}

// Each segment of each visual line with its place and glyphs, then the block's size.
template <typename TLayOut> std::string LaidOut(TLayOut layOut) {
    std::string out;
    const TTextBlockSize size = layOut([&](const TSegmentList& s, std::size_t first, std::size_t end) {
        for (std::size_t i = first; i < end; ++i) {
            out += "|" + std::string(s.Text(i)) + "@" + std::to_string(s.At(i).XOffset) + ":";
            for (const TShapedGlyph& g : s.Glyphs(i)) out += std::to_string(g.Glyph) + ",";
        }
    });
    return out + "#" + std::to_string(size.Height) + "x" + std::to_string(size.Width);
}

// A paragraph at its exact width is laid out as with no width at all, also when only its trailing spaces
// are past the edge.
TEST(ShapedLayout, AParagraphThatFitsIsLaidOutAsWithNoWidth) {
    for (const std::u16string text : {u"office affine words", u"שלום abc 12", u"trailing  ", u"x"}) {
        std::string laidOut[2];
        double width = 0; // none, then the natural width
        for (std::string& out : laidOut) {
            TPagelith doc;
            Start(doc);
            doc.SetTextMaxWidth(width);
            doc.WriteText(text);
            auto* block = dynamic_cast<TPDFTextRes*>(doc.Resource(doc.CurrentText));
            out = LaidOut(
                [&](const TVisualLineSink& sink) { return block->ForEachVisualLine(doc.Fonts, 100, sink); });
            width = block->BlockWidth(doc.Fonts);
        }
        EXPECT_EQ(laidOut[1], laidOut[0]) << width;
    }
}

// A block placed twice is kept from its first reading to its last drawing, a block past the bound is
// laid out again, and each scale is a layout of its own: every reading, before the drawings, between
// them and after the last, sees what a fresh layout gives.
TEST(LaidOutBlocks, HandOutWhatAFreshLayoutGives) {
    TPagelith doc;
    Start(doc);
    doc.SetTextMaxWidth(60);
    doc.WriteText(u"office affine wrapped words\nשלום abc\nlast");
    const auto* text = dynamic_cast<const TPDFTextRes*>(doc.Resource(doc.CurrentText));
    for (const std::size_t bound : {std::size_t{1} << 20, std::size_t{64}})
        for (const double scale : {100.0, 50.0}) {
            SCOPED_TRACE(std::to_string(bound) + " at " + std::to_string(scale));
            const std::string fresh = LaidOut(
                [&](const TVisualLineSink& sink) { return text->ForEachVisualLine(doc.Fonts, scale, sink); });
            TLaidOutBlocks blocks(bound);
            blocks.Place(*text, scale);
            blocks.Place(*text, scale);
            for (const bool draw : {false, true, false, true, true})
                EXPECT_EQ(LaidOut([&](const TVisualLineSink& sink) {
                              return draw ? blocks.Draw(*text, doc.Fonts, scale, sink)
                                          : blocks.ForEachVisualLine(*text, doc.Fonts, scale, sink);
                          }),
                          fresh);
        }
}

TEST(ShapedLayout, DirectionOrdersTheRuns) {
    const struct {
        int32_t Direction;
        std::u16string First, Appended;
        const char* Segments;
    } cases[] = {
        {0, u"abc אבג", u"", "|abc +אבג"},    // the first strong letter is Latin
        {0, u"אבג abc", u"", "|abc+אבג "},    // the first strong letter is Hebrew
        {2, u"abc אבג", u"", "|אבג+ +abc"},   // right to left as given
        {1, u"אבג abc", u"", "|אבג+ +abc"},   // left to right as given
        {0, u"אבג", u" דה", "| דה+אבג"},      // an appended line goes on in the paragraph's direction
        {0, u"a\u2028b", u"", "|a|b"},        // a line separator ends the line, unseen
        {0, u"a\u2028\u2028b", u"", "|a||b"}, // and two leave an empty line
    };
    for (const auto& c : cases) {
        TPagelith doc;
        Start(doc);
        doc.SetTextDirection(c.Direction);
        doc.WriteText(c.First);
        doc.AppendText = true;
        if (!c.Appended.empty()) doc.WriteText(c.Appended);
        EXPECT_EQ(Segments(doc), c.Segments) << c.Segments;
    }
}

// The shaper's kerning applies unless a feature turns it off; an unreadable setting is refused.
TEST(ShapedLayout, FeaturesReachTheShaper) {
    TPagelith doc;
    Start(doc);
    const double kerned = doc.TextLineWidth(std::u16string(u"AV"));
    const double apart = doc.TextLineWidth(std::u16string(u"A")) + doc.TextLineWidth(std::u16string(u"V"));
    EXPECT_LT(kerned, apart - 0.1);
    doc.SetTextFeatures("-kern, +smcp");
    EXPECT_EQ(doc.GetTextFeatures(), "-kern, +smcp");
    EXPECT_DOUBLE_EQ(doc.TextLineWidth(std::u16string(u"AV")), apart);
    for (const char* bad : {"kern=x", "+", "-k\xC3\xA9rn"})
        EXPECT_THROW(doc.SetTextFeatures(bad), EPDFError) << bad;
    EXPECT_EQ(doc.GetTextFeatures(), "-kern, +smcp");
    for (int32_t bad : {-1, 3}) EXPECT_THROW(doc.SetTextDirection(bad), EPDFError);
}

} // namespace
} // namespace pagelith
