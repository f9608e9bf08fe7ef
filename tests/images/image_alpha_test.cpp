// Transparency at intake: kept as a soft mask, or merged into the picture, for every kind that has it.
#include <gtest/gtest.h>

#include "images/image_intake.h"
#include "images/readers/png_test_writer.h"
#include "support/content.h"

namespace pagelith {
namespace {

using namespace test_png;
using namespace std::string_literals;
using testing::Inflate;

// Raw samples and palette, so that a merged picture reads back as it stands; red to merge with.
TImageSettings Settings(bool merge, bool keep, uint32_t color = 0x0000FF) {
    TImageSettings s;
    s.CompressionIndexed = s.CompressionRGB = s.CompressionGray = kCompressNone;
    s.MergeAlpha = merge;
    s.KeepAlpha = keep;
    s.MergeAlphaColor = color;
    return s;
}

const std::vector<uint8_t> kPlte{10, 20, 30, 200, 100, 0, 40, 40, 40};

TEST(ImageAlpha, KeptAsSoftMask) {
    // Mask samples: 8-bit, or 1-bit rows when only 0 and 255 occur; none when all is opaque.
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {EncodePng({3, 1, 8, 6, 0, {1, 2, 3, 0, 1, 2, 3, 128, 1, 2, 3, 255}}), "\x00\x80\xff"s},
        {EncodePng({3, 1, 16, 4, 0, {9, 0x00FF, 9, 0x80FF, 9, 0xFFFF}}), "\x00\x80\xff"s}, // high byte
        {EncodePng({2, 1, 8, 4, 0, {9, 255, 7, 255}}), ""},
        {EncodePng({3, 1, 8, 3, 0, {0, 1, 2}}, {{"PLTE", kPlte}, {"tRNS", {255, 0, 128}}}), "\xff\x00\x80"s},
        {EncodePng({3, 1, 2, 3, 0, {0, 1, 0}}, {{"PLTE", kPlte}, {"tRNS", {0}}}), "\x40"},
        {EncodePng({3, 1, 2, 0, 0, {2, 1, 3}}, {{"tRNS", {0, 2}}}), "\x60"}, // 2-bit gray key
        {EncodePng({3, 1, 8, 2, 0, {1, 2, 3, 1, 2, 4, 0, 0, 0}}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}), "\x60"},
    };
    for (const auto& [file, mask] : cases) {
        const auto image = LoadImageStream(file, Settings(false, true));
        EXPECT_EQ(Inflate(image->SoftMask.Bytes()), mask);
        EXPECT_EQ(image->SoftMaskBits, mask.empty() ? 0 : mask.size() == 1 ? 1 : 8);
        // Merging wins over keeping.
        EXPECT_TRUE(LoadImageStream(file, Settings(true, true))->SoftMask.empty());
    }
}

TEST(ImageAlpha, MergedIntoPictureOrPalette) {
    // Samples, then the palette's first entries.
    const std::tuple<std::vector<uint8_t>, std::string, std::string> cases[] = {
        {EncodePng({2, 1, 8, 3, 0, {0, 1}}, {{"PLTE", kPlte}, {"tRNS", {0, 128}}}), "\x00\x01"s,
         "\xff\x00\x00\xe3\x32\x00\x28\x28\x28"s},
        {EncodePng({2, 1, 8, 0, 0, {0, 1}}, {{"tRNS", {0, 0}}}), "\x00\x01"s, "\xff\x00\x00\x01\x01\x01"s},
        {EncodePng({2, 1, 8, 2, 0, {1, 2, 3, 9, 9, 9}}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}),
         "\xff\x00\x00\x09\x09\x09"s, ""},
    };
    for (const auto& [file, data, palette] : cases) {
        const auto image = LoadImageStream(file, Settings(true, false));
        EXPECT_EQ(image->Data.Bytes(), data);
        EXPECT_EQ(image->Palette.substr(0, palette.size()), palette);
    }
}

} // namespace
} // namespace pagelith
