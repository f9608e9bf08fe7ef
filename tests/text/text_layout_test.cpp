#include <gtest/gtest.h>

#include <vector>

#include "document/pagelith.h"
#include "images/image_res.h"
#include "text/line_fit.h"
#include "text/text_res.h"
#include "text/text_test_fonts.h"

namespace pagelith {
namespace {

std::vector<std::string> Texts(const TPDFTextRes& t) {
    std::vector<std::string> out;
    for (const auto& s : t.Segments) out.push_back(s.Text);
    return out;
}

using Strings = std::vector<std::string>;

class MonoLayout : public ::testing::Test {
protected:
    void SetUp() override { test::SetUpMonoText(doc); }
    TPDFTextRes& Text() { return *doc.CurrentTextRes(); }
    TPDFTextRes& Layout(double scale = 100) {
        Text().Layout(doc.Fonts, scale);
        return Text();
    }
    TPagelith doc;
};

TEST_F(MonoLayout, SeparateAndAppendedWords) {
    doc.WriteText("Hello");
    doc.WriteText("world");
    EXPECT_EQ(Texts(Layout()), (Strings{"Hello", "world"}));
    EXPECT_DOUBLE_EQ(Text().Segments[1].YOffset, 21.5);

    doc.CreateText();
    doc.SetTextFont(15);
    doc.WriteText("Hello");
    doc.AppendText = true;
    doc.WriteText(" world");
    const auto& s = Layout().Segments;
    ASSERT_EQ(s.size(), 2u);
    EXPECT_TRUE(s[1].Continues);
    EXPECT_DOUBLE_EQ(s[1].XOffset, 25);
    EXPECT_DOUBLE_EQ(s[0].LineWidth, 55);
    EXPECT_DOUBLE_EQ(s[1].LineWidth, 55);
    EXPECT_DOUBLE_EQ(s[1].YOffset, 10);
    EXPECT_DOUBLE_EQ(doc.TextBlockWidth(), 55);
    EXPECT_DOUBLE_EQ(doc.TextBlockHeight(), 10);
}

TEST_F(MonoLayout, WrapsAtTheLastSpaceThatFits) {
    doc.SetTextMaxWidth(40); // 8 characters
    doc.WriteText("aaa bbb ccc");
    EXPECT_EQ(Texts(Layout()), (Strings{"aaa bbb", "ccc"}));
    EXPECT_DOUBLE_EQ(Text().Segments[0].Width, 35);
    EXPECT_DOUBLE_EQ(doc.TextBlockWidth(), 35);
}

TEST_F(MonoLayout, SpacesAtTheBreakAreDropped) {
    doc.SetTextMaxWidth(25);
    doc.WriteText("aaa   bbb   ");
    EXPECT_EQ(Texts(Layout()), (Strings{"aaa", "bbb"}));
}

TEST_F(MonoLayout, OverlongWordIsCutBeforeTheOverflowingCharacter) {
    doc.SetTextMaxWidth(20); // 4 characters
    doc.WriteText("abcdefghij");
    EXPECT_EQ(Texts(Layout()), (Strings{"abcd", "efgh", "ij"}));
    doc.WriteText("ab abcdefgh");
    EXPECT_EQ(Texts(Layout()), (Strings{"abcd", "efgh", "ij", "ab", "abcd", "efgh"}));
    EXPECT_DOUBLE_EQ(doc.TextBlockWidth(), 20);
}

// Once the column was 150 points and a long word made the block 155.7 points wide.
TEST_F(MonoLayout, NoLineIsWiderThanTheColumn) {
    struct {
        double maxWidth;
        const char* text;
        Strings pieces;
    } const cases[] = {
        {150, "aaaaaaaaaabbbbbbbbbbccccccccccdddd", {"aaaaaaaaaabbbbbbbbbbcccccccccc", "dddd"}},
        {149, "aaaaaaaaaabbbbbbbbbbccccccccccdddd", {"aaaaaaaaaabbbbbbbbbbccccccccc", "cdddd"}},
        {12, "abc de", {"ab", "c", "de"}},
        {4, "abc", {"a", "b", "c"}}, // narrower than one character: one character per piece
        {0.5, "ab cd", {"a", "b", "c", "d"}},
    };
    for (const auto& c : cases) {
        doc.CreateText();
        doc.SetTextFont(15);
        doc.SetTextSize(10);
        doc.SetTextMaxWidth(c.maxWidth);
        doc.WriteText(c.text);
        EXPECT_EQ(Texts(Layout()), c.pieces) << c.maxWidth << " " << c.text;
        for (const auto& s : Text().Segments)
            EXPECT_TRUE(s.Width <= c.maxWidth || s.Text.size() == 1) << s.Text;
    }
}

// A link that wraps gets one annotation per piece: the writer reserves as many as the layout makes.
TEST_F(MonoLayout, LinkPiecesFollowTheCut) {
    doc.SetTextMaxWidth(20);
    doc.WriteLink("abcdefghij", "http://x/");
    int links = 0;
    for (const auto& s : Layout().Segments) links += s.Link.empty() ? 0 : 1;
    EXPECT_EQ(links, 3);
}

// The layout hands on whole visual lines, one per call and in order; each written line keeps its
// own text and settings however the calls were grouped into runs.
TEST_F(MonoLayout, VisualLinesArriveOneAtATime) {
    const struct {
        const char* Name;
        void (*Write)(TPagelith&);
        const char* Lines; // "|" starts a visual line, "+" goes on; "@" marks a linked segment
    } cases[] = {
        {"wrapped link",
         [](TPagelith& d) {
             d.SetTextMaxWidth(20);
             d.WriteLink("abcdefghij", "http://x/");
         },
         "|@abcd|@efgh|@ij"},
        {"appended",
         [](TPagelith& d) {
             d.SetTextMaxWidth(40);
             d.WriteText("aaaa");
             d.AppendText = true;
             d.WriteText("bb cc\ndd");
             d.AppendText = false;
             d.WriteLink("e", "http://y/");
         },
         "|aaaa+bb|cc+dd|@e"},
        {"unmeasured",
         [](TPagelith& d) {
             d.SetTextFont(5);
             d.WriteText("a\nb");
             d.AppendText = true;
             d.WriteText("c");
         },
         "|a|bc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        test::SetUpMonoText(doc);
        c.Write(doc);
        std::string got;
        double lastY = 0;
        Text().ForEachVisualLine(
            doc.Fonts, 100, [&](const TSegmentList& s, std::size_t first, std::size_t end) {
                EXPECT_LT(lastY, s.At(first).YOffset);
                lastY = s.At(first).YOffset;
                for (std::size_t i = first; i < end; ++i) {
                    EXPECT_EQ(s.At(i).Continues, i > first);
                    got += std::string(i > first ? "+" : "|") + (s.Style(i).Link.empty() ? "" : "@");
                    got += s.Text(i);
                }
            });
        EXPECT_EQ(got, c.Lines);
    }
}

TEST_F(MonoLayout, ExactFitIsNotAnOverflow) {
    doc.SetTextMaxWidth(20);
    doc.WriteText("abcd efgh");
    EXPECT_EQ(Texts(Layout()), (Strings{"abcd", "efgh"}));
}

TEST_F(MonoLayout, AppendedTextWrapsOrMovesToTheNextLine) {
    doc.SetTextMaxWidth(40);
    doc.WriteText("aaaa");
    doc.AppendText = true;
    doc.WriteText("bb cc");
    const auto& s = Layout().Segments;
    EXPECT_EQ(Texts(Text()), (Strings{"aaaa", "bb", "cc"}));
    EXPECT_TRUE(s[1].Continues);
    EXPECT_FALSE(s[2].Continues);
    EXPECT_DOUBLE_EQ(s[1].XOffset, 20);
    EXPECT_DOUBLE_EQ(s[2].XOffset, 0);
    EXPECT_DOUBLE_EQ(s[2].YOffset, 21.5);

    // A first word that does not fit after the line starts a new line whole.
    doc.AppendText = false;
    doc.WriteText("aaaaaa");
    doc.AppendText = true;
    doc.WriteText("bbbb");
    EXPECT_EQ(Texts(Layout()), (Strings{"aaaa", "bb", "cc", "aaaaaa", "bbbb"}));
    EXPECT_FALSE(Text().Segments[4].Continues);
}

TEST_F(MonoLayout, TrailingSpacesAreTrimmedButBlankSegmentsStay) {
    doc.WriteText("aaa   ");
    doc.WriteText("   ");
    const auto& s = Layout().Segments;
    EXPECT_EQ(Texts(Text()), (Strings{"aaa", "   "}));
    EXPECT_DOUBLE_EQ(s[0].Width, 15);
    EXPECT_DOUBLE_EQ(s[1].Width, 15);
}

TEST_F(MonoLayout, VerticalPlacement) {
    doc.WriteText("a");
    doc.WriteText("b");
    EXPECT_DOUBLE_EQ(doc.TextBlockHeight(), 21.5);

    doc.CreateText();
    doc.SetTextFont(15);
    doc.SetTextSize(10);
    doc.WriteText("a");
    doc.SetTextSize(20);
    doc.WriteText("b");
    const auto& s = Layout().Segments;
    EXPECT_DOUBLE_EQ(s[0].YOffset, 10);
    EXPECT_DOUBLE_EQ(s[1].YOffset, 31.5);
    EXPECT_DOUBLE_EQ(doc.TextBlockHeight(), 31.5);
}

TEST_F(MonoLayout, LineSpacingOfTheNextLineCounts) {
    doc.WriteText("a");
    doc.SetTextLineSpacing(100);
    doc.WriteText("b");
    doc.SetTextLineSpacing(0);
    doc.WriteText("c");
    const auto& s = Layout().Segments;
    EXPECT_DOUBLE_EQ(s[1].YOffset, 30);
    EXPECT_DOUBLE_EQ(s[2].YOffset, 40);
}

TEST_F(MonoLayout, LineBreaksInsideText) {
    doc.WriteText("A\r\nB");
    EXPECT_EQ(Text().Lines.size(), 2u);
    doc.WriteText("A\n\rB");
    EXPECT_EQ(Text().Lines.size(), 5u);
    EXPECT_EQ(Text().Lines[3].Text, "");
    doc.WriteText("");
    EXPECT_EQ(Text().Lines.size(), 6u);
    // The empty lines take a full line height each.
    Layout();
    EXPECT_DOUBLE_EQ(Text().Segments.back().YOffset, 10 + 5 * 11.5);
    doc.WriteText("x\ry\n");
    EXPECT_EQ(Text().Lines.size(), 9u);
}

TEST_F(MonoLayout, ScaleWidensPiecesButKeepsLineDistances) {
    doc.WriteText("ab");
    doc.WriteText("c");
    const auto& s = Layout(200).Segments;
    EXPECT_DOUBLE_EQ(s[0].Width, 20);
    EXPECT_DOUBLE_EQ(s[1].YOffset, 21.5);
    EXPECT_DOUBLE_EQ(doc.TextBlockWidth(), 10); // natural size
}

TEST_F(MonoLayout, SizeZeroOrNegativeIsNotWrapped) {
    doc.SetTextMaxWidth(10);
    doc.SetTextSize(0);
    doc.WriteText("aaa bbb ccc");
    doc.SetTextSize(-5);
    doc.AppendText = true;
    doc.WriteText("dd ee");
    EXPECT_EQ(Texts(Layout()), (Strings{"aaa bbb ccc", "dd ee"}));
}

TEST_F(MonoLayout, AlignmentIsKeptForTrueTypeText) {
    doc.WriteText("abc");
    doc.SetTextAlign(7);
    EXPECT_EQ(doc.GetTextAlign(), 7);
    doc.SetTextAlign(0x102);
    EXPECT_EQ(doc.GetTextAlign(), 2);
}

TEST(TextLayout, StandardFontBlocksAreNotMeasured) {
    TPagelith doc;
    doc.CreateText();
    doc.SetTextAlign(1);
    EXPECT_EQ(doc.GetTextAlign(), 1);
    doc.SetTextMaxWidth(5);
    doc.SetTextUnderline(true);
    doc.WriteText("one two three");
    EXPECT_EQ(doc.GetTextAlign(), 0); // reset by writing in a standard font
    doc.SetTextAlign(2);
    EXPECT_EQ(doc.GetTextAlign(), 0);
    EXPECT_FALSE(doc.CurrentTextRes()->Lines[0].Underline);
    EXPECT_EQ(doc.TextBlockWidth(), -1);
    EXPECT_DOUBLE_EQ(doc.TextBlockHeight(), 10);
    doc.AppendText = true;
    doc.SetTextFont(9);
    doc.SetTextColor(0xFF);
    doc.WriteText(" four");
    auto& t = *doc.CurrentTextRes();
    t.Layout(doc.Fonts, 100);
    ASSERT_EQ(t.Segments.size(), 1u);
    EXPECT_EQ(t.Segments[0].Text, "one two three four");
    EXPECT_EQ(t.Segments[0].Font, 5);
    EXPECT_EQ(t.Segments[0].Color, 0u);
    EXPECT_EQ(t.Segments[0].Width, 0);
}

TEST(TextLayout, EmptyBlock) {
    TPagelith doc;
    doc.CreateText();
    EXPECT_EQ(doc.TextBlockHeight(), 0);
    EXPECT_EQ(doc.TextBlockWidth(), -1);
}

TEST(TextLayout, AppendedFirstLineStartsTheBlock) {
    TPagelith doc;
    doc.CreateText();
    doc.AppendText = true;
    doc.WriteText("x");
    auto& t = *doc.CurrentTextRes();
    t.Layout(doc.Fonts, 100);
    ASSERT_EQ(t.Segments.size(), 1u);
    EXPECT_FALSE(t.Segments[0].Continues);
}

TEST(LineFit, BoundaryCases) {
    std::array<uint16_t, 256> widths{};
    widths.fill(100);
    const TCharWidths w(widths);
    EXPECT_EQ(FitLine("abc", 0, 0, w).End, 3u);
    EXPECT_EQ(FitLine("abc", 0, -5, w).End, 3u);
    EXPECT_EQ(FitLine("abc", 0, 300, w).End, 3u);
    EXPECT_EQ(FitLine("abcd", 0, 300, w).End, 3u); // cut inside the word, before the overflow
    EXPECT_FALSE(FitLine("abcd", 0, 300, w).Fits);
    EXPECT_EQ(FitLine("abcd", 0, 50, w).End, 1u);   // at least one character
    EXPECT_EQ(FitLine(" abcd", 0, 300, w).End, 1u); // a piece never ends before its start
    EXPECT_EQ(FitLine("xx abcd", 3, 100, w).End, 4u);
    EXPECT_EQ(FitLine("xx abcd", 3, 99, w).End, 4u);
    EXPECT_EQ(FitLine("", 0, 100, w).End, 0u);
}

// Over random texts and widths: a piece is never empty, and is within the width unless it is one character.
TEST(LineFit, PiecesStayWithinTheWidth) {
    uint32_t seed = 2024;
    const auto next = [&seed] {
        seed = seed * 1103515245 + 12345;
        return seed >> 16;
    };
    for (int round = 0; round < 3000; ++round) {
        std::array<uint16_t, 256> w{};
        for (auto& v : w) v = static_cast<uint16_t>(next() % 1200);
        std::string text;
        for (int i = static_cast<int>(next() % 20); i > 0; --i) text.push_back("ab c"[next() % 4]);
        const double available = static_cast<double>(next() % 3000);
        for (std::size_t p = 0; p < text.size();) {
            const TLineFit fit = FitLine(text, p, available, TCharWidths(w));
            ASSERT_GT(fit.End, p) << round;
            uint64_t width = 0;
            for (std::size_t i = p; i < fit.End; ++i) width += w[static_cast<uint8_t>(text[i])];
            EXPECT_TRUE(available <= 0 || width <= available || fit.End == p + 1)
                << "round " << round << " piece " << text.substr(p, fit.End - p);
            p = fit.End;
        }
    }
}

} // namespace
} // namespace pagelith

namespace pagelith {
namespace {

// Appended pieces are placed by their natural widths, so the pieces (and the
// link areas the writer reserves for them) are the same at every scale.
TEST_F(MonoLayout, PiecesDoNotDependOnTheScale) {
    doc.SetTextMaxWidth(40);
    doc.WriteText("aaaa");
    doc.AppendText = true;
    doc.WriteLink("bb cc dd", "http://x/");
    const auto natural = Texts(Layout(100));
    for (double scale : {10.0, 50.0, 150.0, 400.0}) {
        EXPECT_EQ(Texts(Layout(scale)), natural) << scale;
        EXPECT_DOUBLE_EQ(Text().Segments[0].Width, 20 * scale / 100);
    }
}

} // namespace
} // namespace pagelith

namespace pagelith {
namespace {

// The byte-by-byte rule: CR always breaks, LF breaks unless right after a CR.
std::vector<std::string> ReferenceLines(const std::string& text) {
    std::vector<std::string> lines(1);
    bool afterCR = false;
    for (char c : text) {
        if (c == '\r' || (c == '\n' && !afterCR))
            lines.emplace_back();
        else if (c != '\n')
            lines.back().push_back(c);
        afterCR = c == '\r';
    }
    return lines;
}

TEST(TextLines, BreaksMatchTheByteByByteRule) {
    uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = round % 12;
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245 + 12345;
            text.push_back("ab\r\n "[(seed >> 16) % 5]);
        }
        TPDFTextRes t;
        t.AddText(text, {}, false, false);
        std::vector<std::string> got;
        for (const auto& l : t.Lines) got.push_back(l.Text);
        ASSERT_EQ(got, ReferenceLines(text)) << "round " << round;
    }
}

} // namespace
} // namespace pagelith
