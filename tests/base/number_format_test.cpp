#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "base/number_format.h"

namespace pagelith {
namespace {

TEST(NumberFormat, GeneralFifteenDigits) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {10, "10"},
        {100.5, "100.5"},
        {1.0 / 3, "0.333333333333333"},
        {-2.25, "-2.25"},
        {0.00005, "0"},
        {-0.00005, "0"},
        {-0.0002, "-0.0002"},
        {0.0001, "0.0001"},
        {123456789012345.0, "123456789012345"},
        {1234567.891, "1234567.891"},
        {0.1 + 0.2, "0.3"},
        {1e15, "1000000000000000"},
        {-2.5e16, "-25000000000000000"},
        // 15-digit rounding carries these up to 10^15, once spelt 1e+15
        {999999999999999.9, "1000000000000000"},
        {-999999999999999.9, "-1000000000000000"},
        {999999999999999.5, "1000000000000000"},
        {999999999999999.4, "999999999999999"},
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {-std::numeric_limits<double>::infinity(), "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.value;
}

// Numbers a few decimals spell take a shorter way; the general conversion is the oracle, over decimals
// of every length and values no short decimal spells.
TEST(NumberFormat, FewDecimalsAsTheGeneralFormat) {
    uint64_t seed = 12345;
    const auto next = [&seed] { return (seed = seed * 6364136223846793005u + 1442695040888963407u) >> 11; };
    for (int i = 0; i < 200000; ++i) {
        const int decimals = static_cast<int>(next() % 10);
        const double whole = static_cast<double>(next() % (i % 2 ? 1000000 : 100000000000000));
        double v = (i % 3 ? 1 : -1) * whole / std::pow(10.0, decimals);
        if (i % 7 == 0) v = std::nextafter(v, 1e300);
        if (!(std::fabs(v) >= 0.0001) || std::fabs(v) >= 1e15 || v == std::trunc(v)) continue;
        char general[64];
        const std::string text(
            general, std::to_chars(general, general + sizeof general, v, std::chars_format::general, 15).ptr);
        if (text.find('e') != std::string::npos) continue;
        ASSERT_EQ(NumberText(v), text) << i;
    }
}

// PDF numbers have no exponent: every magnitude, every position of the rounding carry.
TEST(NumberFormat, NeverAnExponent) {
    for (int e = -5; e <= 300; ++e) {
        for (double m : {1.0, 9.999999999999999, 9.9999999999999995, 5.5, 1.0000000000000002}) {
            for (double sign : {1.0, -1.0}) {
                const double v = sign * m * std::pow(10.0, e);
                const std::string text = NumberText(v);
                EXPECT_EQ(text.find_first_not_of("-0123456789."), std::string::npos) << v << " -> " << text;
                EXPECT_EQ(text.find('e'), std::string::npos) << v;
            }
        }
    }
}

TEST(NumberFormat, ColourLines) {
    std::string s;
    AppendColor(s, 0x0080FF, true);
    EXPECT_EQ(s, "1 0.501960784313725 0 rg");
    s.clear();
    AppendColor(s, 0xFF000000u | 0x00FF00, false); // high byte is ignored
    EXPECT_EQ(s, "0 1 0 RG");
}

} // namespace
} // namespace pagelith
