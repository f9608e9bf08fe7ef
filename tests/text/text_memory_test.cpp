// What written lines cost, and that a text member failing half-way (out of memory) leaves the text
// as it was. This program replaces operator new to count live bytes and to fail on request.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "document/pagelith.h"
#include "text/text_res.h"
#include "text/text_test_fonts.h"

namespace {
thread_local long gFailAfter = -1; // allocations left before one fails; -1 never
thread_local long long gLive = 0;  // bytes live from this thread's allocations
} // namespace

void* operator new(std::size_t n) {
    if (gFailAfter == 0) throw std::bad_alloc();
    if (gFailAfter > 0) --gFailAfter;
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    gLive += static_cast<long long>(malloc_usable_size(p));
    return p;
}
void operator delete(void* p) noexcept {
    if (p) gLive -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace pagelith {
namespace {

// Everything a text member may change, as values.
struct TSnapshot {
    std::vector<TTextLine> Lines;
    std::size_t Styles = 0;
    int32_t LinkCount = 0;
    int32_t Font = 0, Size = 0;
    uint32_t Color = 0;
    bool Underline = false;
    uint8_t Alignment = 0;

    explicit TSnapshot(const TPDFTextRes& t)
        : Lines(t.Lines.begin(), t.Lines.end()), Styles(t.Lines.Styles().size()), LinkCount(t.LinkCount),
          Font(t.Font), Size(t.Size), Color(t.Color), Underline(t.Underline), Alignment(t.Alignment) {}
    bool operator==(const TSnapshot& o) const {
        if (Lines.size() != o.Lines.size()) return false;
        for (std::size_t i = 0; i < Lines.size(); ++i)
            if (!(static_cast<const TLineStyle&>(Lines[i]) == o.Lines[i]) ||
                Lines[i].Text != o.Lines[i].Text || Lines[i].Continues != o.Lines[i].Continues)
                return false;
        return Styles == o.Styles && LinkCount == o.LinkCount && Font == o.Font && Size == o.Size &&
               Color == o.Color && Underline == o.Underline && Alignment == o.Alignment;
    }
};

// Each member fails at every allocation in turn; every failure leaves the text as before the call,
// and once the call gets through it has done its whole work.
TEST(TextFailure, FailedMembersLeaveTheTextAsItWas) {
    const struct {
        const char* Name;
        void (*Call)(TPagelith&);
    } members[] = {
        {"WriteText", [](TPagelith& d) { d.WriteText("first\r\nsecond line\nthird (a longer one)\r"); }},
        {"WriteLink", [](TPagelith& d) { d.WriteLink("link one\nlink two", std::string(300, 'u')); }},
        {"WriteLink plain",
         [](TPagelith& d) {
             d.LinkStandardFormat = false;
             d.WriteLink("x\ny", "http://same/");
         }},
        {"WriteText appended",
         [](TPagelith& d) {
             d.AppendText = true;
             d.WriteText(std::string(100, 'z'));
         }},
    };
    for (const auto& member : members) {
        SCOPED_TRACE(member.Name);
        TPagelith doc;
        test::SetUpMonoText(doc);
        doc.SetTextColor(0x123456);
        doc.WriteText("kept\nlines");
        doc.WriteLink("kept link", "http://same/");
        TPDFTextRes& t = *doc.CurrentTextRes();
        const TSnapshot before(t);
        bool succeeded = false;
        for (long k = 0; k < 64 && !succeeded; ++k) {
            gFailAfter = k;
            try {
                member.Call(doc);
                succeeded = true;
            } catch (const std::bad_alloc&) {
                gFailAfter = -1;
                EXPECT_TRUE(TSnapshot(t) == before) << "failing allocation " << k;
            }
            gFailAfter = -1;
        }
        EXPECT_TRUE(succeeded);
        EXPECT_GT(t.Lines.size(), before.Lines.size());
        EXPECT_EQ(t.Color, 0x123456u); // the link settings were only borrowed
    }
}

// A written line costs its characters and a small fixed entry, and lines that share their settings
// share one record of them.
TEST(TextMemory, ShortLinesCostLittleBeyondTheirCharacters) {
    TPagelith doc;
    test::SetUpMonoText(doc);
    constexpr int kLines = 200000;
    std::string text;
    for (int i = 0; i < kLines; ++i) text += "ab\n";
    const long long before = gLive;
    doc.WriteText(text);
    for (int i = 0; i < 1000; ++i) doc.WriteText("cd");
    const long long perLine = (gLive - before) / (kLines + 1000);
    RecordProperty("bytes_per_line", static_cast<int>(perLine));
    EXPECT_LE(perLine, 16) << "bytes per 2-character line"; // growth slack included; was about 24
    EXPECT_EQ(doc.CurrentTextRes()->Lines.Styles().size(), 1u);
    doc.SetTextColor(1);
    doc.WriteText("e");
    doc.SetTextColor(0);
    doc.WriteText("f");
    EXPECT_EQ(doc.CurrentTextRes()->Lines.Styles().size(), 3u);
}

// Every line of one WriteLink call refers to one copy of the link.
TEST(TextMemory, OneCopyOfTheLinkPerCall) {
    TPagelith doc;
    test::SetUpMonoText(doc);
    const std::string uri(1 << 20, 'u');
    std::string text;
    for (int i = 0; i < 500; ++i) text += "word word\n";
    const long long before = gLive;
    doc.WriteLink(text, uri);
    EXPECT_LT(gLive - before, (1 << 20) + 64 * 1024);
    const TPDFTextRes& t = *doc.CurrentTextRes();
    EXPECT_EQ(t.Lines.size(), 501u);
    EXPECT_EQ(t.Lines.Styles().size(), 1u);
    EXPECT_EQ(t.Lines[250].Link, uri);
    EXPECT_EQ(t.LinkCount, 1);
}

} // namespace
} // namespace pagelith
