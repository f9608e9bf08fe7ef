// The pixel limit and the bombs of make_bombs.py: files of at most 1 KB that declare the largest
// picture their format allows (NAME.max) or one just within the default limit (NAME.under).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "images/image_intake.h"
#include "images/packed_dib.h"
#include "images/readers/fixture_image.h"
#include "images/readers/image_reader.h"

namespace pagelith {
namespace {

using test::ErrorOf;

TEST(PixelLimit, NamesBothNumbers) {
    const struct {
        uint64_t width, height, limit;
        const char* message;
    } cases[] = {
        {20000, 10000, 178956970, "Image has 200000000 pixels, more than MaxImagePixels 178956970"},
        {13377, 13377, 178956970, "(no error)"},
        {17, 1, 16, "Image has 17 pixels, more than MaxImagePixels 16"},
        {UINT32_MAX, UINT32_MAX, 0, "(no error)"},
        {uint64_t{1} << 35, uint64_t{1} << 35, 1,
         "Image has 18446744073709551615 pixels, more than MaxImagePixels 1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf([&] { CheckImagePixels(c.width, c.height, c.limit); }), c.message) << c.width;
}

TEST(PixelLimit, PackedBitmapsKeepIt) {
    std::vector<uint8_t> dib(40 + 4 * 256);
    const int32_t header[] = {40, 20000, 10000, 0x00080001};
    std::memcpy(dib.data(), header, sizeof header);
    TBMPImage bitmap;
    EXPECT_EQ(ErrorOf([&] { LoadPackedDIB(dib, 178956970, bitmap); }),
              "Image has 200000000 pixels, more than MaxImagePixels 178956970");
    EXPECT_EQ(ErrorOf([&] { LoadPackedDIB(dib, 0, bitmap); }),
              "Packed bitmap is shorter than its header says");
}

TEST(Bombs, RefusedAtTheDefaultPixelLimit) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::FixturePath("bombs"))) {
        const std::string name = entry.path().filename().string();
        // Fax rows as wide as the limit allows are filled by their codes: their cost is measured, not tested.
        if (name.find("_wide.under") != std::string::npos) continue;
        const auto bytes = test::ReadFixture("bombs/" + name);
        const std::string failure =
            ErrorOf([&] { (void)LoadImageStream(bytes, {.UseSourceCompression = false}); });
        const bool max = name.find(".max") != std::string::npos;
        EXPECT_EQ(failure.find("more than MaxImagePixels 178956970") != std::string::npos, max) << name;
        EXPECT_NE(failure, "(no error)") << name;
        ++files;
    }
    EXPECT_EQ(files, 36);
}

} // namespace
} // namespace pagelith
