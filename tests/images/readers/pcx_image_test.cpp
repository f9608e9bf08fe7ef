#include "images/readers/pcx_image.h"

#include <gtest/gtest.h>

#include "reader_fixtures.h"

namespace pagelith {
namespace {

using testing::Refusal;

TEST(PCXImage, DecodesFixtures) {
    testing::CheckFixtures<TPCXImage>("pcx");
}

// A 128-byte header followed by data; the 48-byte palette is passed separately.
std::vector<uint8_t> Pcx(uint8_t bits, uint8_t planes, uint16_t width, uint16_t height, uint16_t bytesPerLine,
                         std::vector<uint8_t> body, std::vector<uint8_t> palette = {}) {
    std::vector<uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = 1;
    f[3] = bits;
    f[8] = static_cast<uint8_t>(width - 1);
    f[9] = static_cast<uint8_t>((width - 1) >> 8);
    f[10] = static_cast<uint8_t>(height - 1);
    f[11] = static_cast<uint8_t>((height - 1) >> 8);
    f[12] = 72;
    f[14] = 72;
    for (std::size_t i = 0; i < palette.size() && i < 48; ++i) f[16 + i] = palette[i];
    f[65] = planes;
    f[66] = static_cast<uint8_t>(bytesPerLine);
    f[67] = static_cast<uint8_t>(bytesPerLine >> 8);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

TBMPImage Decode(const std::vector<uint8_t>& file) {
    TPCXImage reader;
    reader.LoadFromBytes(file);
    TBMPImage bitmap;
    reader.AssignTo(bitmap);
    return bitmap;
}

TEST(PCXImage, OneBitPaletteWithEqualEntriesIsBlackAndWhite) {
    const std::vector<std::vector<uint8_t>> palettes{
        {},                             // all zero, as many writers leave it
        {255, 255, 255, 255, 255, 255}, // two whites
        {9, 9, 9, 9, 9, 9, 1, 2, 3},    // equal first two, others differ
    };
    for (const auto& p : palettes) {
        const auto bitmap = Decode(Pcx(1, 1, 8, 1, 2, {0xC1, 0xF0, 0x00}, p));
        EXPECT_EQ(bitmap.Palette, (std::vector<TRGB>{{0, 0, 0}, {255, 255, 255}}));
        EXPECT_EQ(bitmap.Row(0)[0], 0xF0);
    }
    // Distinct entries are kept as they are, white first included.
    const auto bitmap = Decode(Pcx(1, 1, 8, 1, 2, {0xC1, 0xF0, 0x00}, {255, 255, 255, 0, 0, 0}));
    EXPECT_EQ(bitmap.Palette, (std::vector<TRGB>{{255, 255, 255}, {0, 0, 0}}));
}

TEST(PCXImage, ResolutionInPixelsPerMetre) {
    struct Case {
        uint16_t dpi;
        int32_t ppm;
    } cases[] = {{72, 2835}, {96, 3780}, {300, 11811}, {0, 0}, {65535, 2580118}};
    for (const auto& c : cases) {
        auto f = Pcx(1, 1, 8, 1, 2, {0xC1, 0xF0, 0x00});
        f[12] = static_cast<uint8_t>(c.dpi);
        f[13] = static_cast<uint8_t>(c.dpi >> 8);
        f[14] = 0;
        f[15] = 0;
        const auto bitmap = Decode(f);
        EXPECT_EQ(bitmap.XPelsPerMeter, c.ppm) << c.dpi;
        EXPECT_EQ(bitmap.YPelsPerMeter, 0);
    }
}

TEST(PCXImage, VersionThreeAndOffsetWindowAreRead) {
    auto f = Pcx(8, 1, 2, 1, 2, {0xC2, 7});
    f[1] = 3;
    f[4] = 10; // xmin 10, xmax 11
    f[8] = 11;
    f.resize(f.size() + 768, 0);
    f[f.size() - 768 + 21] = 200; // palette entry 7, red
    const auto bitmap = Decode(f);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.Row(0)[1], 7);
    EXPECT_EQ(bitmap.Palette[7], (TRGB{200, 0, 0}));
}

TEST(PCXImage, RunPastTheLastRowStopsAtThePicture) {
    // A run of 63 where 4 bytes are wanted.
    const auto bitmap = Decode(Pcx(1, 1, 16, 2, 2, {0xFF, 0x55}));
    EXPECT_EQ(bitmap.Row(1)[0], 0x55);
    EXPECT_EQ(bitmap.Row(1)[1], 0x55);
}

TEST(PCXImage, RefusesMalformedFiles) {
    const auto good = Pcx(1, 1, 8, 1, 2, {0xC1, 0xF0, 0x00});
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        const char* message;
    };
    std::vector<Case> cases{
        {"128 bytes only", std::vector<uint8_t>(good.begin(), good.begin() + 128), "Invalid PCX File"},
        {"empty", {}, "Invalid PCX File"},
    };
    const auto edit = [&](const char* what, std::size_t at, uint8_t value, const char* message) {
        auto f = good;
        f[at] = value;
        cases.push_back({what, f, message});
    };
    edit("encoding 0", 2, 0, "Invalid PCX File");
    edit("16 bits per pixel", 3, 16, "Invalid PCX File");
    edit("version 6", 1, 6, "Invalid PCX File");
    edit("xmax below xmin", 4, 9, "Invalid PCX File");
    edit("ymax below ymin", 6, 1, "Invalid PCX File");
    edit("4 bits, 1 plane", 3, 4, "Error reading PCX file.");
    edit("1 bit, 3 planes", 65, 3, "Error reading PCX file.");
    edit("8 bits without room for the palette", 3, 8, "Error reading PCX file.");
    edit("line shorter than the width", 66, 0, "Error reading PCX file.");
    cases.push_back({"data cut off", Pcx(1, 1, 8, 3, 2, {0x12, 0x34, 0xC3}), "Error reading PCX file."});
    cases.push_back({"8 bits without the palette", Pcx(8, 1, 2, 1, 2, {1, 2, 3}), "Error reading PCX file."});
    cases.push_back({"8 bits x 2 planes", Pcx(8, 2, 2, 1, 2, {1, 2, 3, 4}), "Error reading PCX file."});
    // 65535 × 65535 at 24 bits from a few bytes: refused before anything is allocated.
    auto huge = Pcx(8, 3, 0xFFFF, 0xFFFF, 0xFFFF, {0xFF, 0, 0xFF, 0});
    cases.push_back({"huge", huge, "Error reading PCX file."});
    for (const auto& c : cases) EXPECT_EQ(Refusal<TPCXImage>(c.file), c.message) << c.what;
}

} // namespace
} // namespace pagelith
