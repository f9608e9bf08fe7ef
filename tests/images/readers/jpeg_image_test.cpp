#include "images/readers/jpeg_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "images/readers/fixture_image.h"

namespace pagelith {
namespace {

using test::BitmapRGB;
using test::ErrorOf;
using test::FirstDifference;
using test::ReadFixture;
using test::ReadNetpbm;

// Where the first marker of one of these codes starts.
std::size_t MarkerAt(const std::vector<uint8_t>& file, std::initializer_list<uint8_t> codes) {
    const auto at = std::adjacent_find(file.begin(), file.end(), [&](uint8_t a, uint8_t b) {
        return a == 0xFF && std::find(codes.begin(), codes.end(), b) != codes.end();
    });
    return std::size_t(at - file.begin());
}

// The message decoding a file whose header loads fails with, or "(no error)".
std::string DecodeError(const std::vector<uint8_t>& file) {
    TJPEGImageExtra jpeg;
    jpeg.LoadFromBytes(file);
    TBMPImage bitmap;
    return ErrorOf([&] { jpeg.AssignTo(bitmap); });
}

struct TDecodeCase {
    const char* Name;
    int Components;
    bool Adobe;
};

// Each file decodes exactly as the reference decoder of the same libjpeg gives it (CMYK
// data through k = 255 - K; channel = 255 - min(round(C / 255 * k + K), 255)).
TEST(JPEGImage, DecodesLikeTheReference) {
    const TDecodeCase cases[] = {
        {"rgb_baseline_300dpi", 3, false}, {"rgb_444_no_density", 3, false},
        {"rgb_progressive", 3, false},     {"gray", 1, false},
        {"gray_progressive", 1, false},    {"im_rgb_restart", 3, false},
        {"im_gray_interlaced", 1, false},  {"im_ycck", 4, true},
        {"cmyk_adobe", 4, true},           {"cmyk_plain", 4, false},
        {"density_per_cm", 3, false},      {"metadata", 3, false},
        {"icc_two_chunks", 3, false},      {"truncated_scan_full", 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto file = ReadFixture(std::string("jpeg/") + c.Name + ".jpg");
        const bool gray = c.Components == 1;
        const auto expected = ReadNetpbm(std::string("jpeg/") + c.Name + (gray ? ".pgm" : ".ppm"));
        ASSERT_TRUE(expected);
        TJPEGImageExtra jpeg;
        jpeg.LoadFromBytes(file);
        EXPECT_EQ(jpeg.Width(), uint32_t(expected->Width));
        EXPECT_EQ(jpeg.Height(), uint32_t(expected->Height));
        EXPECT_EQ(jpeg.Components(), c.Components);
        EXPECT_EQ(jpeg.Gray(), gray);
        EXPECT_EQ(jpeg.AdobeInverted(), c.Adobe);
        EXPECT_TRUE(std::equal(file.begin(), file.end(), jpeg.Data().begin(), jpeg.Data().end()));

        TBMPImage bitmap;
        jpeg.AssignTo(bitmap);
        ASSERT_EQ(bitmap.Width(), expected->Width);
        ASSERT_EQ(bitmap.Height(), expected->Height);
        if (gray) {
            ASSERT_EQ(bitmap.Format(), TPixelFormat::Indexed8);
            ASSERT_EQ(bitmap.Palette.size(), 256u);
            EXPECT_EQ(bitmap.Palette[200], (TRGB{200, 200, 200}));
            std::vector<uint8_t> samples;
            for (int32_t y = 0; y < bitmap.Height(); ++y) {
                const auto row = bitmap.Row(y);
                samples.insert(samples.end(), row.begin(), row.begin() + bitmap.Width());
            }
            EXPECT_EQ(FirstDifference(samples, expected->Samples), -1);
        } else {
            ASSERT_EQ(bitmap.Format(), TPixelFormat::Rgb24);
            EXPECT_EQ(FirstDifference(BitmapRGB(bitmap), expected->Samples), -1);
        }
    }
}

struct TDensityCase {
    const char* Name;
    uint32_t XDpi, YDpi;
    int32_t XPpm, YPpm;
};

TEST(JPEGImage, DensityByUnit) {
    const TDensityCase cases[] = {
        {"rgb_baseline_300dpi", 300, 300, 11811, 11811},
        {"rgb_progressive", 96, 72, 3780, 2835},
        {"density_per_cm", 300, 150, 11800, 5900}, // 118 and 59 per cm: 299.72 and 149.86 dpi
        {"density_300x0", 300, 0, 11811, 0},
        {"density_unit3", 0, 0, 0, 0},
        {"rgb_444_no_density", 0, 0, 0, 0},
        {"no_jfif", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TJPEGImageExtra jpeg;
        jpeg.LoadFromBytes(ReadFixture(std::string("jpeg/") + c.Name + ".jpg"));
        EXPECT_EQ(jpeg.XDensity(), c.XDpi);
        EXPECT_EQ(jpeg.YDensity(), c.YDpi);
        TBMPImage bitmap;
        jpeg.AssignTo(bitmap);
        EXPECT_EQ(bitmap.XPelsPerMeter, c.XPpm);
        EXPECT_EQ(bitmap.YPelsPerMeter, c.YPpm);
    }
}

TEST(JPEGImage, KeepsSoundMetadata) {
    TJPEGImageExtra jpeg;
    jpeg.LoadFromBytes(ReadFixture("jpeg/metadata.jpg"));
    const auto& m = jpeg.Metadata();
    ASSERT_GE(m.Exif.size(), 8u);
    EXPECT_EQ(m.Exif[0], 'I');
    ASSERT_GE(m.Iptc.size(), 5u);
    EXPECT_EQ(m.Iptc[0], 0x1C);
    ASSERT_GE(m.IccProfile.size(), 128u);
    EXPECT_EQ(std::string(m.IccProfile.begin() + 36, m.IccProfile.begin() + 40), "acsp");

    TJPEGImageExtra chunks;
    chunks.LoadFromBytes(ReadFixture("jpeg/icc_two_chunks.jpg"));
    EXPECT_EQ(chunks.Metadata().IccProfile, m.IccProfile);
}

TEST(JPEGImage, RefusesBrokenMetadata) {
    for (const char* name : {"broken_exif_ifd", "broken_exif_value", "broken_exif_order", "broken_iptc",
                             "broken_icc_missing_chunk", "broken_icc_size"}) {
        SCOPED_TRACE(name);
        const auto file = ReadFixture(std::string("jpeg/") + name + ".jpg");
        TJPEGImageExtra jpeg;
        EXPECT_EQ(ErrorOf([&] { jpeg.LoadFromBytes(file); }), "Error reading metadata.");
    }
}

TEST(JPEGImage, LibraryErrorsBecomeExceptions) {
    const auto truncatedHeader = ReadFixture("jpeg/truncated_header.jpg");
    const auto garbage = ReadFixture("jpeg/garbage.jpg");
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    auto twelveBit = ReadFixture("jpeg/rgb_baseline_300dpi.jpg");
    twelveBit[MarkerAt(twelveBit, {0xC0}) + 4] = 12;
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Data;
        std::string Message; // empty: any libjpeg message
    } cases[] = {
        {"empty", {}, "Not a JPEG file: starts with 0xff 0xd9"},
        {"png", png, "Not a JPEG file: starts with 0x89 0x50"},
        {"header cut", truncatedHeader, ""},
        {"garbage", garbage, ""},
        {"tables only", {0xFF, 0xD8, 0xFF, 0xD9}, "JPEG datastream contains no image"},
        {"12-bit", twelveBit, "Unsupported JPEG data precision 12"}, // refused, never passed through
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TJPEGImageExtra jpeg;
        TBMPImage bitmap;
        const std::string message = ErrorOf([&] {
            jpeg.LoadFromBytes(c.Data);
            jpeg.AssignTo(bitmap);
        });
        EXPECT_NE(message, "(no error)");
        EXPECT_FALSE(message.empty());
        if (!c.Message.empty()) {
            EXPECT_EQ(message, c.Message);
        }
    }
}

// A scan cut short is a warning: what arrived decodes, the rest is filled in.
TEST(JPEGImage, TruncatedScanStillDecodes) {
    TJPEGImageExtra full, cut;
    full.LoadFromBytes(ReadFixture("jpeg/truncated_scan_full.jpg"));
    cut.LoadFromBytes(ReadFixture("jpeg/truncated_scan.jpg"));
    TBMPImage a, b;
    full.AssignTo(a);
    cut.AssignTo(b);
    ASSERT_EQ(b.Width(), 64);
    ASSERT_EQ(b.Height(), 64);
    // Chroma of the first block row is upsampled with the second, so only 8 rows are final.
    for (int32_t y = 0; y < 8; ++y) {
        const auto ra = a.Row(y);
        const auto rb = b.Row(y);
        EXPECT_TRUE(std::equal(ra.begin(), ra.end(), rb.begin())) << "row " << y;
    }
    const auto last = b.Row(63);
    EXPECT_FALSE(std::equal(last.begin(), last.end(), a.Row(63).begin()));
}

// Patches the frame size of a small file: the header loads, decoding refuses before allocating.
TEST(JPEGImage, RefusesPicturesBeyondTheSizeBound) {
    auto file = ReadFixture("jpeg/rgb_baseline_300dpi.jpg");
    std::size_t sof = 2;
    while (sof + 9 < file.size() && !(file[sof] == 0xFF && file[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, file.size());
    for (std::size_t i : {5, 7}) file[sof + i] = 0xFD, file[sof + i + 1] = 0xE8; // 65000 x 65000
    TJPEGImageExtra jpeg;
    jpeg.LoadFromBytes(file);
    EXPECT_EQ(jpeg.Width(), 65000u);
    TBMPImage bitmap;
    EXPECT_EQ(ErrorOf([&] { jpeg.AssignTo(bitmap); }), "Image is too large");
    EXPECT_TRUE(bitmap.Empty());
}

// A progressive gray picture of 30000 x 30000 fits the picture bound (900 MB) but its
// coefficients (1.8 GB) do not fit libjpeg's memory bound: refused before either is allocated.
// An extra scan of 2 MB gives it the data such a picture needs.
TEST(JPEGImage, BoundsLibjpegMemory) {
    auto file = ReadFixture("jpeg/gray_progressive.jpg");
    std::size_t sof = 2;
    while (sof + 9 < file.size() && !(file[sof] == 0xFF && file[sof + 1] == 0xC2)) ++sof;
    ASSERT_LT(sof + 9, file.size());
    for (std::size_t i : {5, 7}) file[sof + i] = 0x75, file[sof + i + 1] = 0x30;
    const std::size_t sos = MarkerAt(file, {0xDA});
    std::vector<uint8_t> scan(file.begin() + long(sos), file.begin() + long(sos + 2 + file[sos + 3]));
    scan.resize(scan.size() + 2000000);
    file.insert(file.end() - 2, scan.begin(), scan.end());
    TJPEGImageExtra jpeg;
    jpeg.LoadFromBytes(file);
    EXPECT_EQ(jpeg.Height(), 30000u);
    TBMPImage bitmap;
    EXPECT_EQ(ErrorOf([&] { jpeg.AssignTo(bitmap); }), "Backing store not supported");
}

// libjpeg makes up what data lacks. Each file patched to 8000 x 8000 claims more than its data can
// fill: Huffman-coded blocks take 2 bits at least (1 in progressive files), arithmetic ones 1 in 32.
TEST(JPEGImage, RefusesPicturesItsDataCannotFill) {
    for (const char* name : {"jpeg/rgb_baseline_300dpi.jpg", "jpeg/rgb_progressive.jpg",
                             "../../intake_fixtures/jpeg_arithmetic.jpg"}) {
        SCOPED_TRACE(name);
        auto file = ReadFixture(name);
        EXPECT_EQ(DecodeError(file), "(no error)");
        const std::size_t sof = MarkerAt(file, {0xC0, 0xC2, 0xC9});
        for (std::size_t i : {5, 7}) file[sof + i] = 0x1F, file[sof + i + 1] = 0x40;
        EXPECT_EQ(DecodeError(file), "JPEG file has too little data for its size");
    }
}

// A progressive file whose last scan repeats is stopped beyond 100 scans (it has 10), before decoding.
TEST(JPEGImage, RefusesEndlessScans) {
    const auto file = ReadFixture("jpeg/rgb_progressive.jpg");
    // The last scan: from the last SOS marker to the EOI.
    std::size_t sos = file.size() - 2;
    while (sos > 2 && !(file[sos] == 0xFF && file[sos + 1] == 0xDA)) --sos;
    ASSERT_GT(sos, 2u);
    for (const auto& [repeats, message] : {std::pair{90, "(no error)"},
                                           {91, "Too many scans in JPEG file"},
                                           {1200, "Too many scans in JPEG file"}}) {
        std::vector<uint8_t> endless(file.begin(), file.end() - 2);
        for (int i = 0; i < repeats; ++i)
            endless.insert(endless.end(), file.begin() + long(sos), file.end() - 2);
        endless.insert(endless.end(), {0xFF, 0xD9});
        EXPECT_EQ(DecodeError(endless), message) << repeats;
    }
}

} // namespace
} // namespace pagelith
