// Transparency at intake: kept as a soft mask, or merged into the picture, for every kind that has it.
#include <gtest/gtest.h>

#include <zlib.h>

#include "images/image_intake.h"
#include "images/readers/png_test_writer.h"

namespace pagelith {
namespace {

using namespace test_png;
using namespace std::string_literals;

// Raw samples and palette, so that the merged picture can be read back as it stands.
TImageSettings Settings(bool merge, bool keep, uint32_t color = 0x0000FF) {
    TImageSettings s;
    s.CompressionIndexed = s.CompressionRGB = s.CompressionGray = kCompressNone;
    s.MergeAlpha = merge;
    s.KeepAlpha = keep;
    s.MergeAlphaColor = color;
    return s;
}

std::string Inflate(const THeldBytes& held) {
    const std::string in = held.Bytes();
    std::string out(4096, '\0');
    uLongf size = out.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                         reinterpret_cast<const Bytef*>(in.data()), uLong(in.size())),
              Z_OK);
    out.resize(size);
    return out;
}

const std::vector<uint8_t> kPlte{10, 20, 30, 200, 100, 0, 40, 40, 40};

TEST(ImageAlpha, KeptAsSoftMask) {
    struct TCase {
        const char* Name;
        std::vector<uint8_t> File;
        uint8_t Bits;     // 0: no mask
        std::string Mask; // inflated samples
    };
    const TCase cases[] = {
        {"rgba 8", EncodePng({3, 1, 8, 6, 0, {1, 2, 3, 0, 1, 2, 3, 128, 1, 2, 3, 255}}), 8, "\x00\x80\xff"s},
        {"gray+alpha 16, high byte", EncodePng({3, 1, 16, 4, 0, {9, 0x00FF, 9, 0x80FF, 9, 0xFFFF}}), 8,
         "\x00\x80\xff"s},
        {"gray+alpha opaque", EncodePng({2, 1, 8, 4, 0, {9, 255, 7, 255}}), 0, ""},
        {"palette alpha", EncodePng({3, 1, 8, 3, 0, {0, 1, 2}}, {{"PLTE", kPlte}, {"tRNS", {255, 0, 128}}}),
         8, "\xff\x00\x80"s},
        {"palette, one clear index", EncodePng({3, 1, 2, 3, 0, {0, 1, 0}}, {{"PLTE", kPlte}, {"tRNS", {0}}}),
         1, "\x40"},
        {"gray 8 key", EncodePng({3, 1, 8, 0, 0, {7, 8, 7}}, {{"tRNS", {0, 7}}}), 1, "\x40"},
        {"gray 2 key", EncodePng({3, 1, 2, 0, 0, {2, 1, 3}}, {{"tRNS", {0, 2}}}), 1, "\x60"},
        {"rgb 8 key", EncodePng({3, 1, 8, 2, 0, {1, 2, 3, 1, 2, 4, 0, 0, 0}}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}),
         1, "\x60"},
        {"rgb 16 key",
         EncodePng({3, 1, 16, 2, 0, {1, 2, 3, 1, 2, 4, 0, 0, 0}}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}), 1, "\x60"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto image = LoadImageStream(c.File, Settings(false, true));
        EXPECT_EQ(image->SoftMaskBits, c.Bits);
        EXPECT_EQ(image->SoftMask.empty(), c.Bits == 0);
        if (c.Bits != 0) {
            EXPECT_EQ(Inflate(image->SoftMask), c.Mask);
        }
        // Merging wins over keeping, and without either the transparency is dropped.
        EXPECT_TRUE(LoadImageStream(c.File, Settings(true, true))->SoftMask.empty());
        EXPECT_TRUE(LoadImageStream(c.File, Settings(false, false))->SoftMask.empty());
    }
}

TEST(ImageAlpha, MergedIntoPictureOrPalette) {
    struct TCase {
        const char* Name;
        std::vector<uint8_t> File;
        uint32_t Color;
        std::string Data, Palette; // the palette's first entries
    };
    const TCase cases[] = {
        // Gray against red becomes red-green-blue: 200 at alpha 64 gives 241, 50, 50.
        {"gray+alpha on red", EncodePng({2, 1, 8, 4, 0, {200, 64, 9, 255}}), 0x0000FF,
         "\xf1\x32\x32\x09\x09\x09", ""},
        {"gray+alpha 16 on red", EncodePng({1, 1, 16, 4, 0, {200 * 257, 64 * 257}}), 0x0000FF, "\xf1\x32\x32",
         ""},
        {"palette alpha", EncodePng({2, 1, 8, 3, 0, {0, 1}}, {{"PLTE", kPlte}, {"tRNS", {0, 128}}}), 0x0000FF,
         std::string("\x00\x01", 2), std::string("\xff\x00\x00\xe3\x32\x00\x28\x28\x28", 9)},
        {"gray 8 key", EncodePng({2, 1, 8, 0, 0, {0, 1}}, {{"tRNS", {0, 0}}}), 0x0000FF,
         std::string("\x00\x01", 2), std::string("\xff\x00\x00\x01\x01\x01", 6)},
        {"rgb 8 key", EncodePng({2, 1, 8, 2, 0, {1, 2, 3, 9, 9, 9}}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}),
         0xFFFFFF, "\xff\xff\xff\x09\x09\x09", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto image = LoadImageStream(c.File, Settings(true, false, c.Color));
        EXPECT_EQ(image->Data.Bytes(), c.Data);
        EXPECT_EQ(image->Palette.substr(0, c.Palette.size()), c.Palette);
        EXPECT_TRUE(image->SoftMask.empty());
    }
}

} // namespace
} // namespace pagelith
