// Fixture files of the picture readers and the pictures they must decode to
// (written by make_reader_fixtures.py).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "images/readers/image_reader.h"

namespace pagelith::testing {

inline std::string FixtureDir(const std::string& format) {
    return std::string(PAGELITH_SOURCE_DIR) + "/tests/images/readers/fixtures/" + format + "/";
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TFixtureCase {
    std::string File, Expected;
    uint32_t Bits = 0;
    int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;
};

inline std::vector<TFixtureCase> FixtureCases(const std::string& format) {
    std::ifstream in(FixtureDir(format) + "cases.txt");
    std::vector<TFixtureCase> cases;
    TFixtureCase c;
    while (in >> c.File >> c.Expected >> c.Bits >> c.XPelsPerMeter >> c.YPelsPerMeter) cases.push_back(c);
    return cases;
}

// A binary PPM: width, height and RGB triples.
struct TExpectedPicture {
    int32_t Width = 0, Height = 0;
    std::vector<uint8_t> Rgb;
};

inline TExpectedPicture ReadPpm(const std::string& path) {
    const auto bytes = ReadAll(path);
    std::istringstream head(std::string(bytes.begin(), bytes.end()));
    std::string magic;
    int maxval = 0;
    TExpectedPicture p;
    head >> magic >> p.Width >> p.Height >> maxval;
    EXPECT_EQ(magic, "P6");
    const auto start = static_cast<std::size_t>(head.tellg()) + 1;
    p.Rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    EXPECT_EQ(p.Rgb.size(), std::size_t(3) * p.Width * p.Height) << path;
    return p;
}

// Compares the decoded picture with the expected one through the palette, pixel by pixel.
inline void ExpectPicture(const TBMPImage& decoded, const TExpectedPicture& expected,
                          const std::string& what) {
    ASSERT_EQ(decoded.Width(), expected.Width) << what;
    ASSERT_EQ(decoded.Height(), expected.Height) << what;
    TBMPImage rgb = decoded;
    rgb.ConvertTo24();
    int mismatches = 0;
    for (int32_t y = 0; y < rgb.Height(); ++y) {
        const auto row = rgb.Row(y);
        for (int32_t x = 0; x < rgb.Width(); ++x) {
            const std::size_t e = 3 * (std::size_t(y) * expected.Width + x);
            const uint8_t r = row[3 * x + 2], g = row[3 * x + 1], b = row[3 * x];
            if (r != expected.Rgb[e] || g != expected.Rgb[e + 1] || b != expected.Rgb[e + 2]) {
                if (++mismatches <= 3)
                    ADD_FAILURE() << what << " pixel " << x << "," << y << ": got " << int(r) << " " << int(g)
                                  << " " << int(b) << ", expected " << int(expected.Rgb[e]) << " "
                                  << int(expected.Rgb[e + 1]) << " " << int(expected.Rgb[e + 2]);
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << what;
}

// Decodes every fixture of a format with a fresh reader of type R and checks it.
template <typename R> void CheckFixtures(const std::string& format) {
    const auto cases = FixtureCases(format);
    ASSERT_FALSE(cases.empty()) << format;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        R reader;
        TBMPImage bitmap;
        const auto data = ReadAll(FixtureDir(format) + c.File);
        ASSERT_NO_THROW(reader.LoadFromBytes(data));
        ASSERT_NO_THROW(reader.AssignTo(bitmap));
        EXPECT_EQ(TBMPImage::BitsOf(bitmap.Format()), c.Bits);
        EXPECT_EQ(bitmap.XPelsPerMeter, c.XPelsPerMeter);
        EXPECT_EQ(bitmap.YPelsPerMeter, c.YPelsPerMeter);
        ExpectPicture(bitmap, ReadPpm(FixtureDir(format) + c.Expected), c.File);
    }
}

// Loads and decodes; gives the message of the refusal, or "" when the data was taken.
template <typename R> std::string Refusal(const std::vector<uint8_t>& data) {
    R reader;
    TBMPImage bitmap;
    try {
        reader.LoadFromBytes(data);
        reader.AssignTo(bitmap);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "";
}

} // namespace pagelith::testing
