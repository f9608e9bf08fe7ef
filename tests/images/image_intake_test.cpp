// Recognition by the first two bytes, the resolution rules, and the refusals of LoadImageStream.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/pdf_error.h"
#include "images/image_intake.h"
#include "images/readers/image_error.h"

namespace pagelith {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values, std::size_t pad = 0) {
    std::vector<uint8_t> out(values.size() + pad, 0x55);
    std::transform(values.begin(), values.end(), out.begin(), [](int v) { return uint8_t(v); });
    return out;
}

std::string FailureOf(const std::vector<uint8_t>& data) {
    try {
        (void)LoadImageStream(data, {});
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(ImageIntake, UnknownLeadingBytesAreRefusedWhateverFollows) {
    // Near misses of every row: one byte right, the other wrong, or the pair turned round.
    for (const auto& data :
         {Bytes({'P', 'N', 'G'}), Bytes({0x89, 'Q'}), Bytes({'P', 0x89}), Bytes({0xD8, 0xFF}),
          Bytes({'M', 'I'}), Bytes({'I', 'M'}), Bytes({'M', 'B'}), Bytes({'G', 'J'}), Bytes({'8', 'C'}),
          Bytes({0x0A, 0x04}), Bytes({0x00, 0x01}), Bytes({'%', 'P', 'D', 'F'}, 100)}) {
        EXPECT_EQ(FailureOf(data), "File is not a supported image format");
    }
}

TEST(ImageIntake, FewerThanTwoBytesCannotBeRead) {
    EXPECT_EQ(FailureOf({}), "Stream read error");
    EXPECT_EQ(FailureOf(Bytes({0xFF})), "Stream read error");
}

// Each row hands a broken file to its reader, which refuses it with a reader error.
TEST(ImageIntake, EveryKnownSignatureReachesAReader) {
    for (const auto& data : {Bytes({0x00, 0x00}, 3), Bytes({0x0A, 0x05}, 3), Bytes({'8', 'B'}, 3),
                             Bytes({'G', 'I'}, 3), Bytes({'I', 'I'}, 3), Bytes({'M', 'M'}, 3),
                             Bytes({'B', 'M'}, 3), Bytes({0x89, 'P'}, 3), Bytes({0xFF, 0xD8}, 3)}) {
        SCOPED_TRACE(int(data[0]));
        std::unique_ptr<TPDFImageRes> image;
        try {
            image = LoadImageStream(data, {});
        } catch (const EInvalidGraphic&) {
        } catch (const EPDFError& e) {
            // A picture without rows or columns is the one intake error a reader may lead to.
            EXPECT_STREQ(e.what(), "Image has no rows or columns");
        }
        EXPECT_EQ(image, nullptr);
    }
}

TEST(ImageIntake, ResolutionDefaults) {
    struct {
        uint32_t X, Y, WantX, WantY;
    } const cases[] = {{0, 0, 72, 72}, {96, 0, 96, 96}, {0, 300, 72, 300}, {300, 150, 300, 150}};
    for (const auto& c : cases) {
        TPDFImageRes image;
        image.XResolution = c.X;
        image.YResolution = c.Y;
        DefaultResolution(image);
        EXPECT_EQ(image.XResolution, c.WantX);
        EXPECT_EQ(image.YResolution, c.WantY);
    }
}

} // namespace
} // namespace pagelith
