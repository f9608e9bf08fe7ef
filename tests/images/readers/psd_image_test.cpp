#include "images/readers/psd_image.h"

#include <gtest/gtest.h>

#include <functional>

#include "reader_fixtures.h"

namespace pagelith {
namespace {

using testing::Refusal;

TEST(PSDImage, DecodesFixtures) {
    testing::CheckFixtures<TPSDImage>("psd");
}

TEST(PSDImage, RefusesWriterFilesWithSixteenBitPackBits) {
    for (const char* name : {"im_gray_16_rle.psd", "im_rgb_16_rle.psd", "im_cmyk_16_rle.psd"})
        EXPECT_EQ(Refusal<TPSDImage>(testing::ReadAll(testing::FixtureDir("psd") + name)),
                  "Unsupported data format in PSD file")
            << name;
}

TEST(PSDImage, RefusesLabAndMultichannelFiles) {
    EXPECT_EQ(Refusal<TPSDImage>(testing::ReadAll(testing::FixtureDir("psd") + "own_lab.psd")),
              "Lab mode in PSD file not supported");
    EXPECT_EQ(Refusal<TPSDImage>(testing::ReadAll(testing::FixtureDir("psd") + "own_multichannel.psd")),
              "Multichannel mode in PSD file not supported");
}

void Put16(std::vector<uint8_t>& f, uint32_t v) {
    f.push_back(static_cast<uint8_t>(v >> 8));
    f.push_back(static_cast<uint8_t>(v));
}
void Put32(std::vector<uint8_t>& f, uint32_t v) {
    Put16(f, v >> 16);
    Put16(f, v & 0xFFFF);
}

struct TPsd {
    uint16_t Channels = 1;
    uint32_t Height = 2, Width = 3;
    uint16_t Depth = 8, Mode = 1;
    std::vector<uint8_t> ColorData, Resources, Layers;
    uint32_t LayersLengthExtra = 0; // added to the written length, to point past the file
    uint16_t Compression = 0;
    std::vector<uint8_t> Data = std::vector<uint8_t>(6, 0x80);

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> f{'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
        Put16(f, Channels);
        Put32(f, Height);
        Put32(f, Width);
        Put16(f, Depth);
        Put16(f, Mode);
        for (const auto* section : {&ColorData, &Resources, &Layers}) {
            Put32(f, static_cast<uint32_t>(section->size()) + (section == &Layers ? LayersLengthExtra : 0));
            f.insert(f.end(), section->begin(), section->end());
        }
        Put16(f, Compression);
        f.insert(f.end(), Data.begin(), Data.end());
        return f;
    }
};

// Row length table and rows for PackBits data of one channel per row list.
std::vector<uint8_t> Rle(const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> f;
    for (const auto& r : rows) Put16(f, static_cast<uint32_t>(r.size()));
    for (const auto& r : rows) f.insert(f.end(), r.begin(), r.end());
    return f;
}

TEST(PSDImage, BitmapKeepsWhiteAtIndexZero) {
    TPsd psd;
    psd.Mode = 0;
    psd.Depth = 1;
    psd.Width = 9;
    psd.Data = {0xA5, 0x80, 0x00, 0x00};
    TPSDImage reader;
    reader.LoadFromBytes(psd.Bytes());
    TBMPImage bitmap;
    reader.AssignTo(bitmap);
    ASSERT_EQ(bitmap.Format(), TPixelFormat::Indexed1);
    EXPECT_EQ(bitmap.Palette, (std::vector<TRGB>{{255, 255, 255}, {0, 0, 0}}));
    EXPECT_EQ(bitmap.Row(0)[0], 0xA5);
    EXPECT_EQ(bitmap.Row(0)[1] & 0x80, 0x80);
}

TEST(PSDImage, SixteenBitSamplesRoundToEightBits) {
    TPsd psd;
    psd.Depth = 16;
    psd.Width = 3;
    psd.Height = 1;
    psd.Data = {0xFF, 0xFF, 0x80, 0x80, 0x00, 0x81};
    TPSDImage reader;
    reader.LoadFromBytes(psd.Bytes());
    TBMPImage bitmap;
    reader.AssignTo(bitmap);
    EXPECT_EQ(bitmap.Row(0)[0], 255);
    EXPECT_EQ(bitmap.Row(0)[1], 128);
    EXPECT_EQ(bitmap.Row(0)[2], 1);
}

TEST(PSDImage, RefusesWithTheHeaderMessagesInOrder) {
    struct Case {
        const char* what;
        std::function<void(TPsd&)> edit;
        const char* message;
    };
    const Case cases[] = {
        {"channels 0", [](TPsd& p) { p.Channels = 0; }, "Invalid Channels number in PSD file"},
        {"channels 25", [](TPsd& p) { p.Channels = 25; }, "Invalid Channels number in PSD file"},
        {"channels before height", [](TPsd& p) { p.Channels = 25, p.Height = 0; },
         "Invalid Channels number in PSD file"},
        {"height 0", [](TPsd& p) { p.Height = 0; }, "Invalid Height in PSD File"},
        {"height 30001", [](TPsd& p) { p.Height = 30001; }, "Invalid Height in PSD File"},
        {"height before width", [](TPsd& p) { p.Height = 0, p.Width = 0; }, "Invalid Height in PSD File"},
        {"width 0", [](TPsd& p) { p.Width = 0; }, "Invalid Width in PSD File"},
        {"width 30001", [](TPsd& p) { p.Width = 30001; }, "Invalid Width in PSD File"},
        {"depth 4", [](TPsd& p) { p.Depth = 4; }, "Invalid Depth in PSD File"},
        {"depth 32", [](TPsd& p) { p.Depth = 32; }, "Invalid Depth in PSD File"},
        {"mode 5", [](TPsd& p) { p.Mode = 5; }, "Invalid Color mode in PSD File"},
        {"mode 10", [](TPsd& p) { p.Mode = 10; }, "Invalid Color mode in PSD File"},
        {"compression 2", [](TPsd& p) { p.Compression = 2; }, "Invalid data in PSD File"},
        {"Lab", [](TPsd& p) { p.Mode = 9, p.Channels = 3; }, "Lab mode in PSD file not supported"},
        {"multichannel", [](TPsd& p) { p.Mode = 7, p.Channels = 3; },
         "Multichannel mode in PSD file not supported"},
        {"bitmap at depth 8", [](TPsd& p) { p.Mode = 0; }, "Unsupported data format in PSD file"},
        {"bitmap with 2 channels", [](TPsd& p) { p.Mode = 0, p.Depth = 1, p.Channels = 2; },
         "Unsupported data format in PSD file"},
        {"gray with 3 channels", [](TPsd& p) { p.Channels = 3; }, "Unsupported data format in PSD file"},
        {"gray at depth 1", [](TPsd& p) { p.Depth = 1; }, "Unsupported data format in PSD file"},
        {"gray 16-bit PackBits", [](TPsd& p) { p.Depth = 16, p.Compression = 1; },
         "Unsupported data format in PSD file"},
        {"duotone at depth 1", [](TPsd& p) { p.Mode = 8, p.Depth = 1; },
         "Unsupported data format in PSD file"},
        {"RGB with 2 channels", [](TPsd& p) { p.Mode = 3, p.Channels = 2; },
         "Unsupported data format in PSD file"},
        {"CMYK with 3 channels", [](TPsd& p) { p.Mode = 4, p.Channels = 3; },
         "Unsupported data format in PSD file"},
        {"indexed at depth 16", [](TPsd& p) { p.Mode = 2, p.Depth = 16, p.ColorData.resize(768); },
         "Unsupported data format in PSD file"},
        {"indexed without palette", [](TPsd& p) { p.Mode = 2; }, "Unsupported data format in PSD file"},
        {"raw data short", [](TPsd& p) { p.Data.pop_back(); }, "Image data corrupt in PSD File"},
        {"RGB raw data short", [](TPsd& p) { p.Mode = 3, p.Channels = 3; }, "Image data corrupt in PSD File"},
        {"layers past the end", [](TPsd& p) { p.LayersLengthExtra = 0xFFFFFF00; },
         "Image data corrupt in PSD File"},
        {"resource past its section",
         [](TPsd& p) { p.Resources = {'8', 'B', 'I', 'M', 3, 0xED, 0, 0, 0, 0, 0, 9, 1, 2}; },
         "Error reading FileInfo from PSD file."},
        {"PackBits table cut off",
         [](TPsd& p) {
             p.Compression = 1, p.Data = {0, 2, 0};
         },
         "Image data corrupt in PSD File"},
        {"PackBits rows past the end",
         [](TPsd& p) {
             p.Compression = 1, p.Data = Rle({{2, 1, 2, 3}, {0xFE, 1}}), p.Data.pop_back();
         },
         "Image data corrupt in PSD File"},
        {"PackBits literal past the row",
         [](TPsd& p) {
             p.Compression = 1, p.Data = Rle({{3, 1, 2, 3, 4}, {0xFE, 1}});
         },
         "Image data corrupt in PSD File"},
        {"PackBits run past the row",
         [](TPsd& p) {
             p.Compression = 1, p.Data = Rle({{0xFD, 1}, {0xFE, 1}});
         },
         "Image data corrupt in PSD File"},
        {"PackBits row short",
         [](TPsd& p) {
             p.Compression = 1, p.Data = Rle({{0xFF, 1}, {0xFE, 1}});
         },
         "Image data corrupt in PSD File"},
        {"PackBits literal cut off",
         [](TPsd& p) {
             p.Compression = 1, p.Data = Rle({{2, 1}, {0xFE, 1}});
         },
         "Image data corrupt in PSD File"},
        // 30000 × 30000 CMYK from a few bytes: refused before anything is allocated.
        {"huge PackBits",
         [](TPsd& p) { p.Mode = 4, p.Channels = 4, p.Width = p.Height = 30000, p.Compression = 1; },
         "Image data corrupt in PSD File"},
    };
    for (const auto& c : cases) {
        TPsd psd;
        c.edit(psd);
        EXPECT_EQ(Refusal<TPSDImage>(psd.Bytes()), c.message) << c.what;
    }
}

TEST(PSDImage, RefusesWhatIsNotPsd) {
    const auto good = TPsd().Bytes();
    for (std::size_t at : {0u, 3u, 5u, 6u, 11u}) {
        auto f = good;
        f[at] ^= 0x40;
        EXPECT_EQ(Refusal<TPSDImage>(f), "File is not PSD format") << at;
    }
    EXPECT_EQ(Refusal<TPSDImage>({'8', 'B', 'P', 'S', 0, 1}), "File is not PSD format");
}

TEST(PSDImage, PackBitsNoOpAndTrailingResourceBytesAreTaken) {
    TPsd psd;
    psd.Compression = 1;
    psd.Data = Rle({{0x80, 0xFE, 7}, {0x00, 1, 0x01, 2, 3}});
    psd.Resources = {'8', 'B', 'I', 'M', 4, 4, 0, 0, 0, 0, 0, 1, 9, 0, 1, 2}; // 2 stray bytes at the end
    TPSDImage reader;
    reader.LoadFromBytes(psd.Bytes());
    TBMPImage bitmap;
    reader.AssignTo(bitmap);
    EXPECT_EQ(bitmap.Row(0)[2], 7);
    EXPECT_EQ(bitmap.Row(1)[2], 3);
}

} // namespace
} // namespace pagelith
