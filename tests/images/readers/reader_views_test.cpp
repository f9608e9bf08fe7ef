// Readers loaded from a copy and from a view of the caller's bytes read the same picture, and a
// copy stays the reader's own when the caller's buffer changes afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "images/image_test_support.h"
#include "images/readers/jpeg_image.h"
#include "images/readers/tif_image.h"

namespace pagelith {
namespace {

std::vector<uint8_t> FixtureBytes(const std::string& name) {
    std::ifstream in(std::string(PAGELITH_SOURCE_DIR) + "/tests/images/intake_fixtures/" + name,
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TViewCase {
    const char* File;
    int32_t Picture; // TIFF picture number, 0 for a JPEG
};

class ReaderViews : public ::testing::TestWithParam<TViewCase> {};

std::unique_ptr<TImageReader> MakeReader(const TViewCase& c) {
    if (c.Picture == 0) return std::make_unique<TJPEGImageExtra>();
    auto tif = std::make_unique<TTIFImage>();
    tif->PictureNumber = c.Picture;
    return tif;
}

// What a caller may pass through: the strip or the whole file.
std::vector<uint8_t> SourceData(const TImageReader& reader) {
    std::span<const uint8_t> data;
    if (const auto* tif = dynamic_cast<const TTIFImage*>(&reader))
        data = tif->StripData();
    else
        data = dynamic_cast<const TJPEGImageExtra&>(reader).Data();
    return {data.begin(), data.end()};
}

TEST_P(ReaderViews, CopyAndViewAgree) {
    const TViewCase& c = GetParam();
    const std::vector<uint8_t> file = FixtureBytes(c.File);
    ASSERT_FALSE(file.empty()) << c.File;

    auto viewing = MakeReader(c);
    viewing->LoadFromView(file);
    const std::vector<uint8_t> viewed = SourceData(*viewing);
    TBMPImage fromView;
    viewing->AssignTo(fromView);

    std::vector<uint8_t> scratch = file;
    auto copying = MakeReader(c);
    copying->LoadFromBytes(scratch);
    std::fill(scratch.begin(), scratch.end(), uint8_t{0x5A});
    EXPECT_EQ(SourceData(*copying), viewed);
    TBMPImage fromCopy;
    copying->AssignTo(fromCopy);

    ASSERT_FALSE(fromView.Empty());
    EXPECT_EQ(fromCopy.Width(), fromView.Width());
    EXPECT_EQ(fromCopy.Height(), fromView.Height());
    EXPECT_EQ(testing::RgbOf(fromCopy), testing::RgbOf(fromView));
}

INSTANTIATE_TEST_SUITE_P(Files, ReaderViews,
                         ::testing::Values(TViewCase{"g4_black.tif", 1}, TViewCase{"g4_strips.tif", 1},
                                           TViewCase{"two_pages.tif", 2}, TViewCase{"jpeg_300_0.jpg", 0}),
                         [](const auto& info) {
                             std::string name = info.param.File;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
                             return name + "_" + std::to_string(info.param.Picture);
                         });

} // namespace
} // namespace pagelith
