// Classification, the four encodings and their byte layouts, and the refusals of PrepareImage.
#include <gtest/gtest.h>

#include "base/pdf_error.h"
#include "images/image_test_support.h"
#include "images/jpeg_encoder.h"
#include "images/prepare_image.h"
#include "images/readers/image_error.h"
#include "support/content.h"

namespace pagelith {
namespace {

using testing::Inflate;
using testing::MakeBitmap;

TBMPImage WithPalette(TBMPImage b, std::vector<TRGB> palette) {
    b.Palette = std::move(palette);
    return b;
}

const std::vector<TRGB> kBlackWhite{{0, 0, 0}, {255, 255, 255}};
const std::vector<TRGB> kWhiteBlack{{255, 255, 255}, {0, 0, 0}};
const std::vector<TRGB> kTwoGrays{{64, 64, 64}, {200, 200, 200}};
const std::vector<TRGB> kRedBlue{{255, 0, 0}, {0, 0, 255}};

std::vector<TRGB> GrayRamp(int n) {
    std::vector<TRGB> p;
    for (int i = 0; i < n; ++i)
        p.push_back({uint8_t(i * 255 / (n - 1)), uint8_t(i * 255 / (n - 1)), uint8_t(i * 255 / (n - 1))});
    return p;
}

// Class and encoding chosen for each kind of picture and each code; G4 rows need the encoder.
TEST(PrepareImage, ClassAndEncodingFollowThePaletteAndTheCodes) {
    struct {
        const char* Name;
        TPixelFormat Format;
        std::vector<TRGB> Palette;
        TImageSettings Settings;
        uint8_t Filter;
        bool Indexed;
        uint8_t Bits;
        uint16_t PaletteSize;
        bool GrayJPEG;
    } const cases[] = {
        {"rgb default flate", TPixelFormat::Rgb24, {}, {}, 2, false, 8, 0, false},
        {"rgb raw", TPixelFormat::Rgb24, {}, {.CompressionRGB = 0}, 0, false, 8, 0, false},
        {"rgb dct", TPixelFormat::Rgb24, {}, {.CompressionRGB = 3}, 3, false, 8, 0, false},
        {"1-bit red/blue is indexed", TPixelFormat::Indexed1, kRedBlue, {}, 2, true, 1, 2, false},
        {"1-bit red/blue ignores the bw code",
         TPixelFormat::Indexed1,
         kRedBlue,
         {.CompressionBW = 0},
         2,
         true,
         1,
         2,
         false},
        {"1-bit red/blue raw",
         TPixelFormat::Indexed1,
         kRedBlue,
         {.CompressionIndexed = 0},
         0,
         true,
         1,
         2,
         false},
        {"1-bit black/white raw",
         TPixelFormat::Indexed1,
         kBlackWhite,
         {.CompressionBW = 0},
         0,
         true,
         1,
         2,
         false},
        {"1-bit black/white flate",
         TPixelFormat::Indexed1,
         kBlackWhite,
         {.CompressionBW = 2},
         2,
         true,
         1,
         2,
         false},
        {"1-bit two grays keep their levels", TPixelFormat::Indexed1, kTwoGrays, {}, 2, true, 1, 2, false},
        {"4-bit colour", TPixelFormat::Indexed4, kRedBlue, {}, 2, true, 4, 16, false},
        {"4-bit gray raw",
         TPixelFormat::Indexed4,
         GrayRamp(16),
         {.CompressionGray = 0},
         0,
         true,
         4,
         16,
         false},
        {"8-bit gray default", TPixelFormat::Indexed8, GrayRamp(256), {}, 2, true, 8, 256, false},
        {"8-bit gray dct",
         TPixelFormat::Indexed8,
         GrayRamp(256),
         {.CompressionGray = 3},
         3,
         false,
         8,
         256,
         true},
        {"8-bit colour ignores the gray code",
         TPixelFormat::Indexed8,
         kRedBlue,
         {.CompressionGray = 3},
         2,
         true,
         8,
         256,
         false},
        {"8-bit colour raw",
         TPixelFormat::Indexed8,
         kRedBlue,
         {.CompressionIndexed = 0},
         0,
         true,
         8,
         256,
         false},
        // Codes no setter lets through still give readable data.
        {"rgb code 7", TPixelFormat::Rgb24, {}, {.CompressionRGB = 7}, 2, false, 8, 0, false},
        {"indexed code 3",
         TPixelFormat::Indexed8,
         kRedBlue,
         {.CompressionIndexed = 3},
         2,
         true,
         8,
         256,
         false},
        {"gray code 1",
         TPixelFormat::Indexed8,
         GrayRamp(256),
         {.CompressionGray = 1},
         2,
         true,
         8,
         256,
         false},
        {"bw code 3", TPixelFormat::Indexed1, kBlackWhite, {.CompressionBW = 3}, 2, true, 1, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBMPImage b = WithPalette(
            MakeBitmap(c.Format, 9, 3, [](int x, int y) { return uint32_t(x * 7 + y); }), c.Palette);
        TPDFImageRes image;
        PrepareImage(c.Settings, b, image);
        EXPECT_EQ(image.Filter, c.Filter);
        EXPECT_EQ(image.Indexed, c.Indexed);
        EXPECT_EQ(image.BitsPerComponent, c.Bits);
        EXPECT_EQ(image.PaletteSize, c.PaletteSize);
        EXPECT_EQ(image.GrayJPEG, c.GrayJPEG);
        EXPECT_FALSE(image.Data.empty());
        if (c.Indexed) {
            const std::string palette = c.Filter == 2 ? Inflate(image.Palette) : image.Palette;
            EXPECT_EQ(palette.size(), 3u * c.PaletteSize);
        } else {
            EXPECT_TRUE(image.Palette.empty());
        }
        if (c.Filter == 3) {
            EXPECT_EQ(image.Data.Bytes().substr(0, 2), "\xFF\xD8");
        }
    }
}

TEST(PrepareImage, RawRgbIsRedGreenBlueWithoutPadding) {
    TBMPImage b = MakeBitmap(TPixelFormat::Rgb24, 3, 2,
                             [](int x, int y) { return uint32_t(0x0A0000 + x * 0x100 + y); });
    TPDFImageRes image;
    PrepareImage({.CompressionRGB = 0}, b, image);
    // The first byte is a line feed: the data goes out as it stands.
    EXPECT_EQ(image.Data.Bytes(),
              std::string("\x0A\x00\x00\x0A\x01\x00\x0A\x02\x00\x0A\x00\x01\x0A\x01\x01\x0A\x02\x01", 18));
}

TEST(PrepareImage, FlateHoldsTheRowsInZlibFormatPredictedWhenTheyAreLevels) {
    for (const TPixelFormat format :
         {TPixelFormat::Indexed1, TPixelFormat::Indexed4, TPixelFormat::Indexed8, TPixelFormat::Rgb24}) {
        TBMPImage b = WithPalette(
            MakeBitmap(format, 37, 11, [](int x, int y) { return uint32_t(x * 31 + y * 977); }), kRedBlue);
        TPDFImageRes raw, flate;
        TBMPImage copy = b;
        PrepareImage({.CompressionIndexed = 0, .CompressionRGB = 0}, b, raw);
        PrepareImage({}, copy, flate);
        ASSERT_EQ(flate.Filter, 2);
        // A zlib header (deflate, 32 KiB window, check bits); the level bits are the compressor's choice.
        ASSERT_GE(flate.Data.size(), 2u);
        EXPECT_EQ(uint8_t(flate.Data.Bytes()[0]), 0x78);
        EXPECT_EQ((0x7800 + uint8_t(flate.Data.Bytes()[1])) % 31, 0);
        // Palette indices are not levels: only colour rows get predictors (their round trip is in Python).
        EXPECT_EQ(flate.PngPredicted, format == TPixelFormat::Rgb24);
        if (format != TPixelFormat::Rgb24) {
            EXPECT_EQ(Inflate(flate.Data.Bytes()), raw.Data.Bytes());
            EXPECT_EQ(Inflate(flate.Palette), raw.Palette);
        }
    }
}

// Each row takes the filter whose bytes have the smallest sum as signed values, ties to the lower type.
TEST(PrepareImage, PredictorChosenPerRow) {
    const struct {
        uint32_t (*Level)(int x, int y);
        std::string Tags;
    } pictures[] = {
        {[](int, int) { return 100u; }, {1, 2, 2, 2}},
        {[](int x, int) { return uint32_t(5 * x); }, {1, 2, 2, 2}},
        {[](int, int y) { return uint32_t(9 * y); }, {0, 1, 4, 4}},
    };
    for (const auto& p : pictures) {
        TBMPImage b =
            MakeBitmap(TPixelFormat::Rgb24, 8, 4, [&](int x, int y) { return p.Level(x, y) * 0x010101u; });
        TPDFImageRes flate;
        PrepareImage({}, b, flate);
        const std::string rows = Inflate(flate.Data.Bytes());
        EXPECT_EQ((std::string{rows[0], rows[25], rows[50], rows[75]}), p.Tags);
    }
}

// Raw rows are the picture's storage handed over, and Group 4 turns a white-first picture's bits in
// place: neither makes a second copy of a picture that may be as large as the memory bound.
TEST(PrepareImage, RawRowsAndGroup4InversionKeepThePicturesStorage) {
    TBMPImage rgb =
        MakeBitmap(TPixelFormat::Rgb24, 33, 20, [](int x, int y) { return uint32_t(x * 40503 + y); });
    const uint8_t* storage = rgb.Pixels().data();
    TPDFImageRes raw;
    PrepareImage({.CompressionRGB = 0}, rgb, raw);
    const char* held = nullptr;
    raw.Data.ForEachPiece([&](std::string_view piece) { held = piece.data(); });
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(held), storage);

    TBMPImage bw = WithPalette(
        MakeBitmap(TPixelFormat::Indexed1, 40, 8, [](int x, int) { return uint32_t(x % 3 == 0); }),
        kWhiteBlack);
    const uint8_t first = bw.Pixels()[0];
    storage = bw.Pixels().data();
    TPDFImageRes g4;
    PrepareImage({}, bw, g4);
    EXPECT_EQ(bw.Pixels().data(), storage);
    EXPECT_EQ(bw.Pixels()[0], uint8_t(~first));
}

TEST(PrepareImage, RowLengthsAndPaletteSizes) {
    struct {
        TPixelFormat Format;
        int32_t Width;
        std::size_t RowBytes;
        std::size_t Entries;
    } const cases[] = {{TPixelFormat::Indexed1, 1, 1, 2},
                       {TPixelFormat::Indexed1, 9, 2, 2},
                       {TPixelFormat::Indexed4, 5, 3, 16},
                       {TPixelFormat::Indexed4, 4, 2, 16},
                       {TPixelFormat::Indexed8, 5, 5, 256}};
    for (const auto& c : cases) {
        // A palette shorter than the format's: the missing entries are written black.
        TBMPImage b =
            WithPalette(MakeBitmap(c.Format, c.Width, 4, [](int x, int) { return uint32_t(x); }), kRedBlue);
        TPDFImageRes image;
        PrepareImage({.CompressionIndexed = 0}, b, image);
        EXPECT_EQ(image.Data.size(), c.RowBytes * 4);
        ASSERT_EQ(image.Palette.size(), 3 * c.Entries);
        EXPECT_EQ(image.Palette.substr(0, 6), std::string("\xFF\x00\x00\x00\x00\xFF", 6));
        EXPECT_EQ(image.Palette.find_first_not_of('\0', 6), std::string::npos);
    }
}

TEST(PrepareImage, FourBitRowsKeepTheirNibbles) {
    TBMPImage b = WithPalette(
        MakeBitmap(TPixelFormat::Indexed4, 5, 1, [](int x, int) { return uint32_t(x + 1); }), GrayRamp(16));
    TPDFImageRes image;
    PrepareImage({.CompressionGray = 0}, b, image);
    EXPECT_EQ(image.Data.Bytes(), std::string("\x12\x34\x50", 3));
}

TEST(PrepareImage, EmptyPicturesAreRefusedAndLeaveTheResourceAlone) {
    for (const auto& [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
        TBMPImage b;
        b.SetSize(TPixelFormat::Rgb24, w, h);
        TPDFImageRes image;
        try {
            PrepareImage({}, b, image);
            ADD_FAILURE() << "an empty picture was encoded";
        } catch (const EPDFError& e) {
            EXPECT_STREQ(e.what(), kEmptyImage);
        }
        EXPECT_TRUE(image.Data.empty());
        EXPECT_EQ(image.Filter, 0);
    }
}

TEST(PrepareImage, GrayJpegComesFromTheGrayLevels) {
    TBMPImage b =
        WithPalette(MakeBitmap(TPixelFormat::Indexed8, 16, 16, [](int x, int) { return uint32_t(x * 16); }),
                    GrayRamp(256));
    TPDFImageRes image;
    PrepareImage({.CompressionGray = 3}, b, image);
    ASSERT_EQ(image.Filter, 3);
    EXPECT_TRUE(image.GrayJPEG);
    EXPECT_FALSE(image.Indexed);
    EXPECT_TRUE(image.Palette.empty());
    EXPECT_EQ(image.Data.Bytes().substr(image.Data.size() - 2), "\xFF\xD9");
}

// The gray levels come from the palette, so the samples are those of the picture made 24-bit first,
// for full and short palettes; the caller's bitmap is left as it was.
TEST(PrepareImage, GrayJpegEqualsTheJpegOfThe24BitPicture) {
    const auto ramp = [](int x, int y) { return uint32_t(x * 7 + y * 3); };
    const struct {
        TPixelFormat Format;
        int Entries;
    } cases[] = {{TPixelFormat::Indexed4, 16},
                 {TPixelFormat::Indexed4, 5},
                 {TPixelFormat::Indexed8, 256},
                 {TPixelFormat::Indexed8, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Entries);
        TBMPImage b = WithPalette(MakeBitmap(c.Format, 37, 11, ramp), GrayRamp(c.Entries));
        b.XPelsPerMeter = b.YPelsPerMeter = 11811;
        TBMPImage wide = b;
        wide.ConvertTo24();
        TPDFImageRes image;
        PrepareImage({.CompressionGray = 3}, b, image);
        ASSERT_EQ(image.Filter, 3);
        EXPECT_EQ(image.Data.Bytes(), EncodeJPEG(wide, true));
        EXPECT_EQ(b.Format(), c.Format);
    }
}

// Wider than JPEG allows: refused with the coder's message before any copy of the picture is made.
TEST(PrepareImage, GrayJpegBeyondJpegDimensionsIsRefused) {
    TBMPImage b = WithPalette(
        MakeBitmap(TPixelFormat::Indexed4, 65501, 2, [](int x, int) { return uint32_t(x); }), GrayRamp(16));
    TPDFImageRes image;
    try {
        PrepareImage({.CompressionGray = 3}, b, image);
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_NE(std::string(e.what()).find("65500"), std::string::npos) << e.what();
    }
    EXPECT_EQ(b.Format(), TPixelFormat::Indexed4);
    EXPECT_TRUE(image.Data.empty());
}

// Group 4 codes bit 1 as white, so a white-first palette must be coded with its bits turned over.
TEST(PrepareImage, BlackAndWhiteUnderGroup4HonoursEitherPaletteOrder) {
    const auto pattern = [](int x, int y) { return uint32_t((x / 3 + y) % 2); };
    TBMPImage normal = WithPalette(MakeBitmap(TPixelFormat::Indexed1, 40, 8, pattern), kBlackWhite);
    TBMPImage flipped = WithPalette(
        MakeBitmap(TPixelFormat::Indexed1, 40, 8, [&](int x, int y) { return 1 - pattern(x, y); }),
        kWhiteBlack);
    TPDFImageRes a, b;
    PrepareImage({}, normal, a);
    PrepareImage({}, flipped, b);
    EXPECT_EQ(a.Filter, 1);
    EXPECT_FALSE(a.Indexed);
    EXPECT_TRUE(a.Palette.empty());
    EXPECT_EQ(a.Data.Bytes(), b.Data.Bytes()); // the same picture, whatever the palette order
}

TEST(PrepareImage, DotsPerInchRoundsToNearest) {
    struct {
        int32_t PixelsPerMetre;
        uint32_t Dpi;
    } const cases[] = {{3780, 96}, {2835, 72}, {11811, 300}, {0, 0},
                       {-3780, 0}, {1, 0},     {20, 1},      {INT32_MAX, 54546085}};
    for (const auto& c : cases) EXPECT_EQ(DotsPerInch(c.PixelsPerMetre), c.Dpi) << c.PixelsPerMetre;
}

} // namespace
} // namespace pagelith
