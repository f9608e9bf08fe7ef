// Which image data may stand in a PDF as it is: only a complete stream of exactly the promised rows.
#include <gtest/gtest.h>

#include "images/readers/png_data_check.h"
#include "images/readers/png_test_writer.h"

namespace pagelith {
namespace {

// Three rows of 4000 bytes (several inflate windows' worth), each with tag row % 5.
std::vector<uint8_t> Rows(std::size_t rows = 3, uint8_t badTagRow = 255) {
    std::vector<uint8_t> out;
    for (std::size_t y = 0; y < rows; ++y) {
        out.push_back(y == badTagRow ? 5 : uint8_t(y % 5));
        for (std::size_t i = 0; i < 4000; ++i) out.push_back(uint8_t(i * 7 + y));
    }
    return out;
}

TEST(PngDataCheck, OnlyCompleteStreamsOfThePromisedRowsPass) {
    const std::vector<uint8_t> good = test_png::Deflate(Rows());
    std::vector<uint8_t> cut(good.begin(), good.end() - 5), trailing = good, flipped = good;
    trailing.push_back(0);
    flipped[good.size() / 2] ^= 0x10;
    const struct {
        const char* Name;
        std::vector<uint8_t> Data;
        bool Complete;
    } cases[] = {
        {"complete", good, true},
        {"cut short", cut, false},
        {"a byte after the stream", trailing, false},
        {"corrupt", flipped, false},
        {"a row short", test_png::Deflate(Rows(2)), false},
        {"a row too many", test_png::Deflate(Rows(4)), false},
        {"unknown filter tag", test_png::Deflate(Rows(3, 2)), false},
        {"empty", {}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(PngRowsComplete(c.Data, 4000, 3), c.Complete) << c.Name;
}

} // namespace
} // namespace pagelith
