// The writer handing the file over in pieces gives the same bytes as building it whole.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/held_bytes.h"
#include "document/pagelith.h"
#include "images/image_res.h"
#include "pdf/pdf_writer.h"
#include "support/pdf_check.h"
#include "support/scoped_env.h"
#include "support/spool_data.h"

namespace pagelith {
namespace {

// An uncompressed 24-bit bottom-up BMP of w x h pixels in a pattern that compresses poorly.
std::vector<uint8_t> Bmp(uint32_t w, uint32_t h) {
    const uint32_t row = (w * 3 + 3) & ~3u;
    const uint32_t size = 54 + row * h;
    std::vector<uint8_t> b(size, 0);
    const auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 24;
    uint32_t seed = 7;
    for (uint32_t i = 54; i < size; ++i)
        b[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    return b;
}

// Past the first few pages, pages are compressed beside the writing: the pictures passed on between
// them wait for them.
TEST(PdfSink, PiecesMakeTheSameFile) {
    TPagelith doc;
    doc.Clock = [] { return pagelith::testing::kFixedTime; };
    doc.CompressionRGB = 0; // stored: each picture's data is large enough to bypass the buffer
    const std::vector<uint8_t> picture = Bmp(160, 160);
    for (int32_t page = 1; page <= 48; ++page) {
        doc.AddPage(0);
        if (page % 4 == 0) doc.ApplyResource(page, doc.AddImageBytes(picture));
        const int32_t text = doc.CreateText();
        for (int line = 0; line < 60; ++line)
            doc.WriteText("Line " + std::to_string(page * line) + " of text that makes the content longer");
        doc.ApplyResource(page, text);
    }
    const std::string whole = WritePdf(doc);
    std::vector<std::size_t> pieces;
    std::string joined;
    WritePdf(doc, [&](std::string_view piece) {
        pieces.push_back(piece.size());
        joined.append(piece);
    });
    EXPECT_EQ(joined, whole);
    EXPECT_GT(pieces.size(), 12u); // pictures go on their own, text in a few pieces between
    EXPECT_TRUE(pagelith::testing::ReadersAccept("PdfSink.PiecesMakeTheSameFile.pdf", joined));
}

// Large source data passed through waits for the save in a temporary file; where it waited makes
// no difference to the file, written whole or in pieces, nor to a second save.
TEST(PdfSink, SpooledPicturesWriteTheSameFile) {
    const std::vector<uint8_t> small = pagelith::testing::NoiseJpeg(40),
                               large = pagelith::testing::NoiseJpeg(500);
    ASSERT_LT(small.size(), THeldBytes::kSpoolBytes);
    ASSERT_GT(large.size(), 2 * THeldBytes::kPieceBytes);
    const auto build = [&](TPagelith& doc) {
        doc.Clock = [] { return pagelith::testing::kFixedTime; };
        doc.UseSourceCompression = true;
        for (const auto* picture : {&small, &large, &small, &large}) {
            doc.AddPage(0);
            doc.ApplyResource(static_cast<int32_t>(doc.Pages.Count()), doc.AddImageBytes(*picture));
        }
        doc.AddPage(0); // encoded here: stays in memory
        doc.ApplyResource(static_cast<int32_t>(doc.Pages.Count()), doc.AddImageBytes(Bmp(200, 200)));
    };
    const auto spooled = [](const TPagelith& doc) {
        std::string flags;
        for (uint32_t i = 1; i <= doc.Resources.Count(); ++i)
            flags += dynamic_cast<const TPDFImageRes&>(*doc.Resources.Item(i)).Data.Spooled() ? 'S' : 'm';
        return flags;
    };
    TPagelith parked;
    build(parked);
    EXPECT_EQ(spooled(parked), "mSmSm");

    TPagelith held;
    {
        const pagelith::testing::TScopedEnv folder("TMPDIR", pagelith::testing::kMissingFolder);
        build(held);
    }
    EXPECT_EQ(spooled(held), "mmmmm");

    const std::string whole = WritePdf(held);
    EXPECT_EQ(WritePdf(parked), whole);
    std::string joined;
    WritePdf(parked, [&](std::string_view piece) { joined.append(piece); });
    EXPECT_EQ(joined, whole);
    EXPECT_EQ(WritePdf(parked), whole);
    EXPECT_TRUE(pagelith::testing::ReadersAccept("PdfSink.SpooledPicturesWriteTheSameFile.pdf", joined));

    // A cleared document starts a spool of its own.
    parked.Clear();
    build(parked);
    EXPECT_EQ(spooled(parked), "mSmSm");
    EXPECT_EQ(WritePdf(parked), whole);
}

// Pictures stay in memory up to the document's limit; once it is reached, every later one waits in
// the spool, whatever its size, and the file is the same.
TEST(PdfSink, PicturesPastTheMemoryLimitWaitInTheSpool) {
    const std::vector<uint8_t> raw = Bmp(200, 200), small = pagelith::testing::NoiseJpeg(40);
    const auto build = [&](TPagelith& doc) {
        doc.Clock = [] { return pagelith::testing::kFixedTime; };
        doc.CompressionRGB = 0;                       // 120000 bytes of samples each
        doc.HeldPictureBytes = 240000 + small.size(); // room for the first three
        std::string flags;
        for (const auto* picture : {&raw, &small, &raw, &raw, &small}) {
            doc.AddPage(0);
            const int32_t n = doc.AddImageBytes(*picture);
            doc.ApplyResource(n, n);
            flags += dynamic_cast<const TPDFImageRes&>(*doc.Resource(n)).Data.Spooled() ? 'S' : 'm';
        }
        return flags;
    };
    TPagelith parked, held;
    EXPECT_EQ(build(parked), "mmmSS");
    const pagelith::testing::TScopedEnv folder("TMPDIR", pagelith::testing::kMissingFolder);
    EXPECT_EQ(build(held), "mmmmm");
    EXPECT_EQ(WritePdf(parked), WritePdf(held));
}

// Also while pages are being compressed beside the writing.
TEST(PdfSink, AFailingSinkEndsTheWriting) {
    TPagelith picture, text;
    picture.AddPage(0);
    picture.ApplyResource(1, picture.AddImageBytes(Bmp(200, 200)));
    for (int32_t page = 1; page <= 100; ++page) {
        text.AddPage(0);
        const int32_t block = text.CreateText();
        for (int line = 0; line < 50; ++line) text.WriteText("Line " + std::to_string(page * line));
        text.ApplyResource(page, block);
    }
    for (TPagelith* doc : {&picture, &text}) {
        int calls = 0;
        EXPECT_THROW(WritePdf(*doc,
                              [&](std::string_view) {
                                  ++calls;
                                  throw std::runtime_error("disk full");
                              }),
                     std::runtime_error);
        EXPECT_EQ(calls, 1);
    }
}

} // namespace
} // namespace pagelith
