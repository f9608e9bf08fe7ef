// Which image data may stand in a PDF as it is: only a complete stream of exactly the promised rows.
#include <gtest/gtest.h>

#include "images/readers/png_data_check.h"
#include "images/readers/png_test_writer.h"

namespace pagelith {
namespace {

// Rows of 4000 bytes (several inflate windows), each tagged row % 5, or 5 in row badTag.
std::vector<uint8_t> Rows(std::size_t rows = 3, std::size_t badTag = 9) {
    std::vector<uint8_t> out(rows * 4001, 7);
    for (std::size_t y = 0; y < rows; ++y) out[y * 4001] = uint8_t(y == badTag ? 5 : y % 5);
    return test_png::Deflate(out);
}

TEST(PngDataCheck, OnlyCompleteStreamsOfThePromisedRowsPass) {
    const std::vector<uint8_t> good = Rows();
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
        {"a row short", Rows(2), false},
        {"unknown filter tag", Rows(3, 2), false},
    };
    for (const auto& c : cases) EXPECT_EQ(PngRowsComplete(c.Data, 4000, 3), c.Complete) << c.Name;
}

} // namespace
} // namespace pagelith
