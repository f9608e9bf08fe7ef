#include "images/readers/wbmp_image.h"

#include <gtest/gtest.h>

#include "reader_fixtures.h"

namespace pagelith {
namespace {

using testing::Refusal;

TEST(WBMPImage, DecodesFixtures) {
    testing::CheckFixtures<TWBMPImage>("wbmp");
}

TEST(WBMPImage, TenPixelsWideTakesTwoBytesPerRow) {
    // Row 0: 1010101011, row 1: 0000000000.
    const std::vector<uint8_t> file{0, 0, 10, 2, 0xAA, 0xC0, 0x00, 0x00};
    TWBMPImage reader;
    reader.LoadFromBytes(file);
    TBMPImage bitmap;
    reader.AssignTo(bitmap);
    ASSERT_EQ(bitmap.Format(), TPixelFormat::Indexed1);
    EXPECT_EQ(bitmap.Palette, (std::vector<TRGB>{{0, 0, 0}, {255, 255, 255}}));
    EXPECT_EQ(bitmap.Row(0)[0], 0xAA);
    EXPECT_EQ(bitmap.Row(0)[1] & 0xC0, 0xC0);
    EXPECT_EQ(bitmap.Row(1)[0], 0x00);
    EXPECT_EQ(bitmap.Row(1)[1] & 0xC0, 0x00);
}

TEST(WBMPImage, MultiByteIntegers) {
    struct Case {
        std::vector<uint8_t> width;
        int32_t expected;
    } cases[] = {
        {{0x7F}, 127},
        {{0x81, 0x00}, 128},
        {{0x81, 0x80, 0x00}, 16384},
        {{0x80, 0x80, 0x80, 0x80, 0x05}, 5}, // five bytes still count
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file{0, 0};
        file.insert(file.end(), c.width.begin(), c.width.end());
        file.push_back(1);
        file.resize(file.size() + (static_cast<std::size_t>(c.expected) + 7) / 8, 0xFF);
        TWBMPImage reader;
        reader.LoadFromBytes(file);
        TBMPImage bitmap;
        reader.AssignTo(bitmap);
        EXPECT_EQ(bitmap.Width(), c.expected);
        EXPECT_EQ(bitmap.Height(), 1);
    }
}

TEST(WBMPImage, RefusesMalformedFiles) {
    const std::vector<std::vector<uint8_t>> files{
        {},
        {0},
        {1, 0, 1, 1, 0},                                                    // type other than 0
        {0, 0x80, 1, 1, 0},                                                 // extension headers
        {0, 0, 0, 1},                                                       // width 0
        {0, 0, 1, 0},                                                       // height 0
        {0, 0, 0x81},                                                       // width cut off
        {0, 0, 0x80, 0x80, 0x80, 0x80, 0x80, 1, 1, 0xFF},                   // six bytes count as 0
        {0, 0, 9, 2, 0xFF, 0xFF, 0xFF},                                     // last row missing
        {0, 0, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, // huge, no rows
    };
    for (const auto& f : files) EXPECT_EQ(Refusal<TWBMPImage>(f), "Error reading WBMP file.");
}

} // namespace
} // namespace pagelith
