#include "images/alpha_merge.h"

#include <vector>

#include <gtest/gtest.h>

#include "images/readers/png_image.h"
#include "images/readers/png_test_writer.h"

namespace pagelith {
namespace {

using namespace test_png;

constexpr uint32_t kWhite = 0xFFFFFF;

struct TExample {
    uint16_t Value, Alpha;
    uint8_t Merged; // against white
};

// Black with alpha 128 gives 127: (1 − 128/255) × 255 lies just below 127.
const TExample kExamples[] = {{0, 128, 127}, {200, 64, 241}, {200, 255, 200}, {13, 255, 13}, {13, 0, 255}};

// Decodes a PNG and merges its mask, as the intake does.
TBMPImage DecodeAndMerge(const std::vector<uint8_t>& file, uint32_t color, bool* hadMask = nullptr) {
    TtsPNGImage png;
    TBMPImage bitmap;
    png.LoadFromBytes(file);
    png.AssignTo(bitmap);
    if (hadMask) *hadMask = !png.AlphaMask().empty();
    MergeAlpha(bitmap, png.AlphaMask(), png.MaskWidth(), png.MaskHeight(), color);
    return bitmap;
}

TEST(AlphaMerge, RgbaExamples) {
    for (const uint8_t depth : {8, 16}) {
        TPicture p{uint32_t(std::size(kExamples)), 1, depth, 6, 0, {}};
        for (const TExample& e : kExamples) {
            const auto scale = static_cast<uint16_t>(depth == 16 ? 257 : 1);
            // Channels differ so that a swapped order shows.
            p.Samples.insert(p.Samples.end(), {uint16_t(e.Value * scale), uint16_t(e.Value * scale),
                                               uint16_t(e.Value * scale), uint16_t(e.Alpha * scale)});
        }
        const TBMPImage b = DecodeAndMerge(EncodePng(p), kWhite);
        for (std::size_t i = 0; i < std::size(kExamples); ++i)
            for (std::size_t c = 0; c < 3; ++c)
                EXPECT_EQ(b.Row(0)[3 * i + c], kExamples[i].Merged)
                    << "depth " << int(depth) << " pixel " << i;
    }
}

TEST(AlphaMerge, RgbaChannelsTakeTheirOwnColour) {
    // Red 0, green 100, blue 200 at alpha 0 against 0x00BBGGRR = (10, 20, 30): each channel its own.
    TPicture p{1, 1, 8, 6, 0, {0, 100, 200, 0}};
    const TBMPImage b = DecodeAndMerge(EncodePng(p), 0x1E140A);
    EXPECT_EQ(b.Row(0)[2], 10); // red
    EXPECT_EQ(b.Row(0)[1], 20); // green
    EXPECT_EQ(b.Row(0)[0], 30); // blue
}

TEST(AlphaMerge, GrayAlphaExamples) {
    for (const uint8_t depth : {8, 16}) {
        TPicture p{uint32_t(std::size(kExamples)), 1, depth, 4, 0, {}};
        for (const TExample& e : kExamples) {
            const auto scale = static_cast<uint16_t>(depth == 16 ? 257 : 1);
            p.Samples.insert(p.Samples.end(), {uint16_t(e.Value * scale), uint16_t(e.Alpha * scale)});
        }
        const TBMPImage b = DecodeAndMerge(EncodePng(p), kWhite);
        ASSERT_EQ(b.Format(), TPixelFormat::Indexed8);
        for (std::size_t i = 0; i < std::size(kExamples); ++i)
            EXPECT_EQ(b.Row(0)[i], kExamples[i].Merged) << "depth " << int(depth) << " pixel " << i;
        // Against a colour that is not gray, the picture becomes red-green-blue: red blends with 255,
        // green and blue with 0.
        const uint8_t againstBlack[] = {0, 50, 200, 13, 0};
        const TBMPImage red = DecodeAndMerge(EncodePng(p), 0x0000FF);
        ASSERT_EQ(red.Format(), TPixelFormat::Rgb24);
        for (std::size_t i = 0; i < std::size(kExamples); ++i) {
            EXPECT_EQ(red.Row(0)[3 * i + 2], kExamples[i].Merged) << "depth " << int(depth) << " pixel " << i;
            EXPECT_EQ(red.Row(0)[3 * i + 1], againstBlack[i]);
            EXPECT_EQ(red.Row(0)[3 * i], againstBlack[i]);
        }
    }
}

TEST(AlphaMerge, SixteenBitTransparentColour) {
    // Gray: 0x1234 is the key; 0x1235 shares its high byte and stays.
    TPicture g{3, 1, 16, 0, 0, {0x1234, 0x1235, 0xC800}};
    bool hadMask = false;
    TBMPImage b = DecodeAndMerge(EncodePng(g, {{"tRNS", {0x12, 0x34}}}), 0x808080, &hadMask);
    EXPECT_TRUE(hadMask);
    EXPECT_EQ(b.Row(0)[0], 0x80);
    EXPECT_EQ(b.Row(0)[1], 0x12);
    EXPECT_EQ(b.Row(0)[2], 200);

    TPicture rgb{2, 1, 16, 2, 0, {0x0102, 0x0304, 0x0506, 0xC800, 0x6400, 0x0000}};
    b = DecodeAndMerge(EncodePng(rgb, {{"tRNS", {1, 2, 3, 4, 5, 6}}}), kWhite, &hadMask);
    EXPECT_TRUE(hadMask);
    EXPECT_EQ(b.Row(0)[0], 255);
    EXPECT_EQ(b.Row(0)[1], 255);
    EXPECT_EQ(b.Row(0)[2], 255);
    EXPECT_EQ(b.Row(0)[3], 0);   // blue
    EXPECT_EQ(b.Row(0)[4], 100); // green
    EXPECT_EQ(b.Row(0)[5], 200); // red
}

TEST(AlphaMerge, PaletteTransparencyTakesNoPart) {
    TPicture p{3, 1, 8, 3, 0, {0, 1, 2}};
    const std::vector<uint8_t> plte{10, 10, 10, 20, 20, 20, 30, 30, 30};
    for (const std::vector<uint8_t>& trns : {std::vector<uint8_t>{0}, std::vector<uint8_t>{0, 128, 64}}) {
        bool hadMask = true;
        const TBMPImage b = DecodeAndMerge(EncodePng(p, {{"PLTE", plte}, {"tRNS", trns}}), kWhite, &hadMask);
        EXPECT_FALSE(hadMask);
        EXPECT_EQ(b.Row(0)[0], 0);
        EXPECT_EQ(b.Row(0)[1], 1);
        EXPECT_EQ(b.Row(0)[2], 2);
        EXPECT_EQ(b.Palette[0], (TRGB{10, 10, 10}));
    }
}

TEST(AlphaMerge, DoesNothingOutsideItsCases) {
    TBMPImage rgb;
    rgb.SetSize(TPixelFormat::Rgb24, 2, 2);
    const std::vector<uint8_t> clear(4, 0);
    struct TCase {
        const char* Name;
        int32_t W, H;
    };
    for (const TCase& c :
         {TCase{"narrower mask", 1, 2}, TCase{"shorter mask", 2, 1}, TCase{"empty mask", 0, 0}}) {
        TBMPImage b = rgb;
        MergeAlpha(b, clear, c.W, c.H, kWhite);
        EXPECT_EQ(b.Row(0)[0], 0) << c.Name;
    }
    TBMPImage b = rgb;
    MergeAlpha(b, std::span(clear).first(3), 2, 2, kWhite); // mask bytes fewer than it claims
    EXPECT_EQ(b.Row(1)[3], 0);

    // Other indexed pictures are brought to 24-bit and merged.
    TBMPImage colourPalette;
    colourPalette.SetSize(TPixelFormat::Indexed8, 2, 2);
    colourPalette.Palette[1] = {255, 0, 0};
    MergeAlpha(colourPalette, clear, 2, 2, kWhite);
    EXPECT_EQ(colourPalette.Format(), TPixelFormat::Rgb24);
    EXPECT_EQ(colourPalette.Row(0)[0], 255);

    TBMPImage fourBit;
    fourBit.SetSize(TPixelFormat::Indexed4, 2, 2);
    MergeAlpha(fourBit, clear, 2, 2, kWhite);
    EXPECT_EQ(fourBit.Row(0)[0], 255);

    MergeAlpha(rgb, clear, 2, 2, kWhite);
    EXPECT_EQ(rgb.Row(1)[5], 255);
}

} // namespace
} // namespace pagelith
