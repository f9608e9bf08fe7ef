#include "images/readers/bmp_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "images/readers/fixture_image.h"

namespace pagelith {
namespace {

using test::BitmapRGB;
using test::ErrorOf;
using test::FirstDifference;
using test::ReadFixture;
using test::ReadNetpbm;

TBMPImage Decode(const std::vector<uint8_t>& file) {
    TBMPReader reader;
    reader.LoadFromBytes(file);
    TBMPImage bitmap;
    reader.AssignTo(bitmap);
    return bitmap;
}

struct TDecodeCase {
    const char* Name;
    TPixelFormat Format;
    std::size_t PaletteSize; // indexed pictures keep the file's table as it is
};

// Our own layouts of every header, depth and compression, and the Pillow and ImageMagick
// writers in their modes, each compared pixel by pixel with what the file must show.
TEST(BMPReader, DecodesEveryLayout) {
    using enum TPixelFormat;
    const TDecodeCase cases[] = {
        {"pal1", Indexed1, 2},
        {"pal1_white_first", Indexed1, 2},
        {"pal4", Indexed4, 16},
        {"pal8", Indexed8, 256},
        {"pal8_topdown", Indexed8, 256},
        {"pal8_os2", Indexed8, 256},
        {"pal8_five_colours", Indexed8, 5},
        {"pal8_table_cut_by_offset", Indexed8, 5},
        {"pal8_v4", Indexed8, 256},
        {"pal8_v5", Indexed8, 256},
        {"pal8_rle", Indexed8, 12},
        {"pal4_rle", Indexed4, 16},
        {"rgb24", Rgb24, 0},
        {"rgb24_os2", Rgb24, 0},
        {"rgb24_topdown", Rgb24, 0},
        {"rgb16_555", Rgb24, 0},
        {"rgb16_565_bitfields", Rgb24, 0},
        {"rgb16_231_bitfields", Rgb24, 0},
        {"rgb16_565_v5", Rgb24, 0},
        {"rgb32", Rgb24, 0},
        {"rgb32_bitfields_bgr", Rgb24, 0},
        {"rgb32_10bit_v4", Rgb24, 0},
        {"rgba32_v5", Rgb24, 0},
        {"pil_1", Indexed1, 2},
        {"pil_l", Indexed8, 256},
        {"pil_p", Indexed8, 256},
        {"pil_rgb", Rgb24, 0},
        {"pil_rgba", Rgb24, 0},
        {"im_bmp3_24", Rgb24, 0},
        {"im_bmp2_24", Rgb24, 0},
        {"im_v5_24", Rgb24, 0},
        {"im_bmp3_pal8", Indexed8, 256},
        {"im_bmp2_pal8", Indexed8, 256},
        {"im_v5_pal8_rle", Indexed8, 256},
        {"im_bmp3_pal8_rle", Indexed8, 256},
        {"im_pal4", Indexed4, 16},
        {"im_bilevel", Indexed1, 2},
        {"im_gray", Rgb24, 0},
        {"im_v5_rgba32", Rgb24, 0},
        {"im_rgb565", Rgb24, 0},
        {"im_rgb555", Rgb24, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto expected = ReadNetpbm(std::string("bmp/") + c.Name + ".ppm");
        ASSERT_TRUE(expected);
        const TBMPImage bitmap = Decode(ReadFixture(std::string("bmp/") + c.Name + ".bmp"));
        ASSERT_EQ(bitmap.Width(), expected->Width);
        ASSERT_EQ(bitmap.Height(), expected->Height);
        EXPECT_EQ(bitmap.Format(), c.Format);
        EXPECT_EQ(bitmap.Palette.size(), c.PaletteSize);
        const long diff = FirstDifference(BitmapRGB(bitmap), expected->Samples);
        EXPECT_EQ(diff, -1) << "pixel " << diff / 3 % expected->Width << ", " << diff / 3 / expected->Width;
    }
}

// The palette comes as the file has it, white first included; the intake decides what it means.
TEST(BMPReader, KeepsPaletteOrder) {
    const TBMPImage bitmap = Decode(ReadFixture("bmp/pal1_white_first.bmp"));
    ASSERT_EQ(bitmap.Palette.size(), 2u);
    EXPECT_EQ(bitmap.Palette[0], (TRGB{255, 255, 255}));
    EXPECT_EQ(bitmap.Palette[1], (TRGB{0, 0, 0}));
}

TEST(BMPReader, ResolutionFromTheInfoHeader) {
    const struct {
        const char* Name;
        int32_t X, Y;
    } cases[] = {
        {"rgb24", 3780, 0},
        {"pal8", 2835, 2835},
        {"rgb16_565_v5", 2835, 2835},
        // The 12-byte core header has no such fields: bytes 38-45 are colours there.
        {"pal8_os2", 0, 0},
        {"im_bmp2_24", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TBMPImage bitmap = Decode(ReadFixture(std::string("bmp/") + c.Name + ".bmp"));
        EXPECT_EQ(bitmap.XPelsPerMeter, c.X);
        EXPECT_EQ(bitmap.YPelsPerMeter, c.Y);
    }
}

TEST(BMPReader, RefusesMalformedFiles) {
    const struct {
        const char* Name;
        const char* Message;
    } cases[] = {
        {"bad_truncated_rows", "BMP image data is truncated"},
        {"bad_header_size", "Unsupported BMP header size"},
        {"bad_bit_count", "Unsupported BMP bit count"},
        {"bad_rle_topdown", "Invalid BMP image size"},
        {"bad_huge", "Image is too large"},
        {"bad_rle_huge", "BMP image data is truncated"},
        {"bad_offset", "BMP image data is truncated"},
        {"bad_palette", "BMP colour table is truncated"},
        {"bad_rle8_on_4bit", "Unsupported BMP compression"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto file = ReadFixture(std::string("bmp/") + c.Name + ".bmp");
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(ErrorOf([&] { Decode(file); }), c.Message);
    }
    EXPECT_EQ(ErrorOf([] { Decode({'B', 'M'}); }), "Invalid BMP file header");
    EXPECT_EQ(ErrorOf([] { Decode({}); }), "Invalid BMP file header");
}

// Every prefix of every kind of file, and every byte of their headers set to extremes,
// decodes or is refused; the sanitizers watch the reads and writes.
TEST(BMPReader, SurvivesCutAndDamagedFiles) {
    for (const char* name : {"pal1", "pal4_rle", "pal8_rle", "pal8_os2", "rgb16_565_v5", "rgba32_v5",
                             "rgb24_topdown", "im_v5_pal8_rle"}) {
        SCOPED_TRACE(name);
        const auto file = ReadFixture(std::string("bmp/") + name + ".bmp");
        for (std::size_t n = 0; n <= file.size(); ++n) {
            const std::vector<uint8_t> cut(file.begin(), file.begin() + long(n));
            try {
                Decode(cut);
            } catch (const EInvalidGraphic&) {
            }
        }
        for (std::size_t i = 0; i < std::min<std::size_t>(file.size(), 160); ++i)
            for (uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                auto damaged = file;
                damaged[i] = v;
                try {
                    Decode(damaged);
                } catch (const EInvalidGraphic&) {
                }
            }
    }
}

} // namespace
} // namespace pagelith
