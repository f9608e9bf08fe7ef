#include "images/readers/png_filters.h"

#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace pagelith {
namespace {

// The filters byte by byte as the format defines them, with no specialisation.
std::vector<uint8_t> Reference(uint8_t filter, std::vector<uint8_t> row, const std::vector<uint8_t>& prev,
                               std::size_t bpp) {
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0;
        const int b = prev[i];
        const int c = i >= bpp ? prev[i - bpp] : 0;
        int predictor = 0;
        switch (filter) {
        case 1:
            predictor = a;
            break;
        case 2:
            predictor = b;
            break;
        case 3:
            predictor = (a + b) / 2;
            break;
        case 4: {
            const int p = a + b - c;
            const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            break;
        }
        default:
            break;
        }
        row[i] = static_cast<uint8_t>(row[i] + predictor);
    }
    return row;
}

// Every filter for every pixel size, on rows of whole pixels and with a partial pixel at the end,
// with random bytes and with the extremes where the distances tie and sums wrap.
TEST(PngFilters, EveryFilterMatchesTheDefinitionForEveryPixelSize) {
    std::mt19937 random(7);
    for (std::size_t bpp = 1; bpp <= 8; ++bpp) {
        for (const std::size_t length : {bpp, 5 * bpp, 37 * bpp + 1, 64 * bpp + bpp - 1}) {
            for (int fill = 0; fill < 3; ++fill) {
                std::vector<uint8_t> row(length), prev(length);
                for (std::size_t i = 0; i < length; ++i) {
                    row[i] = fill == 0 ? uint8_t(random()) : fill == 1 ? uint8_t(255) : uint8_t(i % 3 * 127);
                    prev[i] = fill == 0 ? uint8_t(random()) : fill == 1 ? uint8_t(1) : uint8_t(i % 5 * 63);
                }
                for (uint8_t filter = 0; filter <= 4; ++filter) {
                    std::vector<uint8_t> got = row;
                    ASSERT_TRUE(UnfilterPngRow(filter, got, prev, static_cast<uint32_t>(bpp)));
                    EXPECT_EQ(got, Reference(filter, row, prev, bpp))
                        << "filter " << int(filter) << " bpp " << bpp << " length " << length << " fill "
                        << fill;
                }
            }
        }
    }
}

TEST(PngFilters, UnknownFilterLeavesTheRowAlone) {
    std::vector<uint8_t> row{1, 2, 3}, prev{4, 5, 6};
    EXPECT_FALSE(UnfilterPngRow(5, row, prev, 1));
    EXPECT_EQ(row, (std::vector<uint8_t>{1, 2, 3}));
}

} // namespace
} // namespace pagelith
