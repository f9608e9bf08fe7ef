// Picture files through the document: the per-format rules of intake (resolution, picture number,
// passing source data through) and the PDF image read back by an independent decoder. Each test
// skips while its reader is not linked in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "document/pagelith.h"
#include "images/image_res.h"
#include "images/image_test_support.h"

namespace pagelith {
namespace {

using namespace pagelith::testing;

std::string Fixture(const std::string& name) {
    return std::string(PAGELITH_SOURCE_DIR) + "/tests/images/intake_fixtures/" + name;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const TPDFImageRes& ImageAt(const TPagelith& doc, int32_t n) {
    return dynamic_cast<const TPDFImageRes&>(*doc.Resource(n));
}

// The document's one image on one page, as pikepdf and Pillow decode it.
TDecodedImage RoundTrip(TPagelith& doc, int32_t resource, const std::string& name) {
    doc.AddPage(0);
    doc.ApplyResource(static_cast<int32_t>(doc.Pages.Count()), resource);
    const std::string pdf = SavePdf(doc);
    EXPECT_TRUE(ReadersAccept(name, pdf));
    const auto images = ExtractImages(name, pdf);
    return images.empty() ? TDecodedImage{} : images.back();
}

TEST(IntakeFiles, BmpResolutionFromItsHeaderWithTheVerticalDefault) {
    TPagelith doc;
    int32_t n = 0;
    n = doc.AddImageFile(Fixture("bmp_3780_0.bmp"));
    const TPDFImageRes& image = ImageAt(doc, n);
    EXPECT_EQ(image.Width, 5u);
    EXPECT_EQ(image.Height, 3u);
    EXPECT_EQ(image.XResolution, 96u);
    EXPECT_EQ(image.YResolution, 96u);
    EXPECT_DOUBLE_EQ(doc.ImageWidth(n), 5 * 72.0 / 96);
    EXPECT_EQ(RoundTrip(doc, n, "intake-bmp.pdf").Rgb, FileBytes(Fixture("bmp_3780_0.bmp.rgb")));
}

TEST(IntakeFiles, JpegDensityAndPassThrough) {
    const std::string file = Fixture("jpeg_300_0.jpg");
    TPagelith doc;
    int32_t n = 0;
    n = doc.AddImageFile(file);
    const TPDFImageRes& passed = ImageAt(doc, n);
    EXPECT_EQ(passed.XResolution, 300u);
    EXPECT_EQ(passed.YResolution, 300u);
    EXPECT_EQ(passed.Filter, 3);
    EXPECT_EQ(passed.Data.Bytes(), FileBytes(file));
    EXPECT_FALSE(passed.GrayJPEG);
    EXPECT_FALSE(passed.CMYKJPEG);

    const int32_t none = doc.AddImageFile(Fixture("jpeg_no_density.jpg"));
    EXPECT_EQ(ImageAt(doc, none).XResolution, 72u);
    EXPECT_EQ(ImageAt(doc, none).YResolution, 72u);

    // Decoded and stored as Flate samples: the same pixels as a reference decoder gives.
    doc.UseSourceCompression = false;
    const int32_t decoded = doc.AddImageFile(file);
    EXPECT_EQ(ImageAt(doc, decoded).Filter, 2);
    // Decoders may round differently; a few levels apart is the same picture.
    const std::string got = RoundTrip(doc, decoded, "intake-jpeg-decoded.pdf").Rgb;
    const std::string want = FileBytes(file + ".rgb");
    ASSERT_EQ(got.size(), want.size());
    int worst = 0;
    for (std::size_t i = 0; i < got.size(); ++i)
        worst = std::max(worst, std::abs(int(uint8_t(got[i])) - int(uint8_t(want[i]))));
    EXPECT_LE(worst, 8);
}

// Arithmetic-coded data, which PDF readers need not decode, is encoded again, to the pixels of the
// same coefficients Huffman-coded. Progressive data passed through needs PDF 1.3.
TEST(IntakeFiles, JpegsThatPdfReadersMayNotTake) {
    TPagelith doc;
    const int32_t arithmetic = doc.AddImageFile(Fixture("jpeg_arithmetic.jpg"));
    EXPECT_EQ(ImageAt(doc, arithmetic).Filter, kCompressFlate);
    doc.UseSourceCompression = false;
    const int32_t huffman = doc.AddImageFile(Fixture("jpeg_300_0.jpg"));
    EXPECT_EQ(RoundTrip(doc, arithmetic, "intake-jpeg-arithmetic.pdf").Rgb,
              RoundTrip(doc, huffman, "intake-jpeg-huffman.pdf").Rgb);
    EXPECT_EQ(SavePdf(doc).substr(0, 8), "%PDF-1.2");
    doc.UseSourceCompression = true;
    doc.ApplyResource(
        1, doc.AddImageFile(PAGELITH_SOURCE_DIR "/tests/images/readers/data/jpeg/rgb_progressive.jpg"));
    const std::string pdf = SavePdf(doc);
    EXPECT_EQ(pdf.substr(0, 8), "%PDF-1.3");
    EXPECT_TRUE(ReadersAccept("intake-jpeg-progressive.pdf", pdf));
}

TEST(IntakeFiles, OnlyTheLeadingBytesCountNotTheName) {
    TPagelith doc;
    doc.CompressionRGB = 0;
    int32_t n = 0;
    n = doc.AddImageFile(Fixture("png_named.jpg"));
    EXPECT_EQ(ImageAt(doc, n).Filter, 0);
    EXPECT_EQ(ImageAt(doc, n).Data.Bytes(), FileBytes(Fixture("png_named.jpg.rgb")));
    EXPECT_EQ(doc.ImageCount(Fixture("png_named.jpg")), 1);
}

// Alpha flattened against the merge colour when asked (a = alpha / 255 in single precision, ties to
// even), dropped otherwise.
TEST(IntakeFiles, PngAlphaIsMergedOnlyWhenAsked) {
    const std::string file = Fixture("rgba.png");
    TPagelith doc;
    doc.CompressionRGB = 0;
    int32_t dropped = 0;
    dropped = doc.AddImageFile(file);
    EXPECT_EQ(ImageAt(doc, dropped).Data.Bytes(),
              std::string("\0\0\0\xC8\xC8\xC8\x0A\x14\x1E\x0A\x14\x1E", 12));
    doc.MergeAlpha = true;
    const int32_t white = doc.AddImageFile(file);
    EXPECT_EQ(ImageAt(doc, white).Data.Bytes(),
              std::string("\x7F\x7F\x7F\xF1\xF1\xF1\xFF\xFF\xFF\x0A\x14\x1E", 12));
    doc.MergeAlphaColor = 0x0000FF; // red
    const int32_t red = doc.AddImageFile(file);
    EXPECT_EQ(ImageAt(doc, red).Data.Bytes().substr(6, 3), std::string("\xFF\x00\x00", 3));
}

TEST(IntakeFiles, TiffPictureNumberSelectsAndCounts) {
    const std::string file = Fixture("two_pages.tif");
    TPagelith doc;
    int32_t count = 0;
    count = doc.ImageCount(file);
    EXPECT_EQ(count, 2);
    doc.SetImageReadNumber(3);
    try {
        doc.AddImageFile(file);
        ADD_FAILURE() << "a third picture was read";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "TIFF file error - cannot find requested page");
    }
    EXPECT_EQ(doc.Resources.Count(), 0u);
    doc.SetImageReadNumber(2);
    const int32_t n = doc.AddImageFile(file);
    EXPECT_EQ(ImageAt(doc, n).Width, 3u);
    EXPECT_EQ(ImageAt(doc, n).Height, 7u);
    EXPECT_EQ(RoundTrip(doc, n, "intake-tiff-page2.pdf").Rgb, FileBytes(file + ".rgb"));
}

// A single-strip Group 4 picture goes in as it stands; min-is-black data is marked so that it
// does not come out inverted. Two strips are decoded and coded again.
TEST(IntakeFiles, Group4TiffPassThroughHonoursThePhotometric) {
    struct {
        const char* File;
        bool BlackIs1;
    } const cases[] = {{"g4_white.tif", false}, {"g4_black.tif", true}, {"g4_strips.tif", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        TPagelith doc;
        int32_t n = 0;
        n = doc.AddImageFile(Fixture(c.File));
        const TPDFImageRes& image = ImageAt(doc, n);
        EXPECT_EQ(image.Filter, 1);
        EXPECT_EQ(image.Width, 64u);
        EXPECT_EQ(image.Height, 40u);
        EXPECT_EQ(image.BlackIs1, c.BlackIs1);
        EXPECT_EQ(RoundTrip(doc, n, std::string("intake-") + c.File + ".pdf").Rgb,
                  FileBytes(Fixture("g4.rgb")));
    }
}

} // namespace
} // namespace pagelith
