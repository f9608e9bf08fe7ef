#include "images/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "images/readers/jpeg_image.h"

namespace pagelith {
namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// The segment that follows marker (FF xx) first, or an empty range.
std::span<const uint8_t> Segment(std::span<const uint8_t> file, uint8_t marker) {
    for (std::size_t i = 2; i + 4 <= file.size();) {
        if (file[i] != 0xFF) return {};
        const std::size_t length = std::size_t(file[i + 2]) << 8 | file[i + 3];
        if (file[i + 1] == marker) return file.subspan(i + 4, std::min(length - 2, file.size() - i - 4));
        if (file[i + 1] == 0xDA) return {};
        i += 2 + length;
    }
    return {};
}

TBMPImage Colourful(int32_t w, int32_t h) {
    TBMPImage b;
    b.SetSize(TPixelFormat::Rgb24, w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            auto row = b.Row(y);
            row[3 * x] = static_cast<uint8_t>(x * 255 / (w - 1));     // blue
            row[3 * x + 1] = static_cast<uint8_t>(y * 255 / (h - 1)); // green
            row[3 * x + 2] = static_cast<uint8_t>(128 + (x - y) / 2); // red
        }
    return b;
}

int MaxDifference(const TBMPImage& a, const TBMPImage& b) {
    int worst = 0;
    for (int32_t y = 0; y < a.Height(); ++y)
        for (std::size_t i = 0; i < std::size_t(a.Width()) * 3; ++i)
            worst = std::max(worst, std::abs(int(a.Row(y)[i]) - int(b.Row(y)[i])));
    return worst;
}

TEST(JPEGEncoder, ColourIsBaselineAtQuality90WithDensity) {
    TBMPImage source = Colourful(40, 30);
    source.XPelsPerMeter = 11811; // 300 dpi
    source.YPelsPerMeter = 3780;  // 96 dpi
    const std::string jpeg = EncodeJPEG(source, false);
    const auto file = Bytes(jpeg);
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xD8);
    EXPECT_EQ(file[file.size() - 2], 0xFF);
    EXPECT_EQ(file[file.size() - 1], 0xD9);

    const auto sof = Segment(file, 0xC0); // baseline frame
    ASSERT_GE(sof.size(), 6u);
    EXPECT_EQ(sof[5], 3); // components
    EXPECT_TRUE(Segment(file, 0xC2).empty());

    // Quality 90 scales the standard luminance table to 20 %: its first entry 16 becomes 3.
    const auto dqt = Segment(file, 0xDB);
    ASSERT_GE(dqt.size(), 2u);
    EXPECT_EQ(dqt[0], 0x00);
    EXPECT_EQ(dqt[1], 3);

    const auto jfif = Segment(file, 0xE0);
    ASSERT_GE(jfif.size(), 12u);
    EXPECT_EQ(jfif[7], 1); // dots per inch
    EXPECT_EQ(jfif[8] << 8 | jfif[9], 300);
    EXPECT_EQ(jfif[10] << 8 | jfif[11], 96);

    TJPEGImageExtra reader;
    reader.LoadFromBytes(file);
    EXPECT_EQ(reader.Width(), 40u);
    EXPECT_EQ(reader.Height(), 30u);
    EXPECT_EQ(reader.XDensity(), 300u);
    TBMPImage decoded;
    reader.AssignTo(decoded);
    EXPECT_LE(MaxDifference(source, decoded), 12);
}

// Gray: one component of (R + G + B) div 3, from any pixel format.
TEST(JPEGEncoder, GrayIsOneComponentOfTheChannelMean) {
    TBMPImage indexed;
    indexed.SetSize(TPixelFormat::Indexed4, 33, 9);
    indexed.Palette.assign(16, {});
    for (int i = 0; i < 16; ++i)
        indexed.Palette[i] = {uint8_t(i * 16), uint8_t(255 - i * 10), uint8_t(i * 5)};
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 33; x += 2) indexed.Row(y)[x / 2] = static_cast<uint8_t>((x % 16) << 4 | y);

    const std::string jpeg = EncodeJPEG(indexed, true);
    const auto sof = Segment(Bytes(jpeg), 0xC0);
    ASSERT_GE(sof.size(), 6u);
    EXPECT_EQ(sof[5], 1);
    const auto jfif = Segment(Bytes(jpeg), 0xE0);
    ASSERT_GE(jfif.size(), 12u);
    EXPECT_EQ(jfif[7], 1);
    EXPECT_EQ(jfif[8] << 8 | jfif[9], 0); // no resolution known

    TJPEGImageExtra reader;
    reader.LoadFromBytes(Bytes(jpeg));
    EXPECT_TRUE(reader.Gray());
    TBMPImage decoded;
    reader.AssignTo(decoded);
    ASSERT_EQ(decoded.Format(), TPixelFormat::Indexed8);
    int worst = 0;
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 33; ++x) {
            const uint8_t index = (indexed.Row(y)[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            const TRGB c = indexed.Palette[index];
            worst = std::max(worst, std::abs((c.R + c.G + c.B) / 3 - int(decoded.Row(y)[x])));
        }
    EXPECT_LE(worst, 16);
}

TEST(JPEGEncoder, LibraryErrorsBecomeExceptions) {
    EXPECT_THROW(EncodeJPEG(TBMPImage{}, false), EInvalidGraphic); // empty picture
    TBMPImage wide;
    wide.SetSize(TPixelFormat::Indexed1, 70000, 1); // beyond JPEG's 65500
    EXPECT_THROW(EncodeJPEG(wide, true), EInvalidGraphic);
}

} // namespace
} // namespace pagelith
