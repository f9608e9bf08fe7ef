// Test pictures on disk and the pixels they must decode to (binary PPM / PGM files).
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "images/readers/image_error.h"
#include "images/readers/working_bitmap.h"

namespace pagelith::test {

// The message a reader call fails with, or "(no error)".
inline std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "(no error)";
}

inline std::string FixturePath(const std::string& relative) {
    return std::string(PAGELITH_SOURCE_DIR) + "/tests/images/readers/data/" + relative;
}

inline std::vector<uint8_t> ReadFixture(const std::string& relative) {
    std::ifstream in(FixturePath(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TExpectedPixels {
    int Width = 0;
    int Height = 0;
    int Channels = 0; // 1 gray, 3 RGB
    std::vector<uint8_t> Samples;
};

inline std::optional<TExpectedPixels> ReadNetpbm(const std::string& relative) {
    const auto bytes = ReadFixture(relative);
    if (bytes.size() < 2) return std::nullopt;
    std::string text(bytes.begin(), bytes.end());
    std::istringstream in(text);
    std::string magic;
    int maxval = 0;
    TExpectedPixels e;
    in >> magic >> e.Width >> e.Height >> maxval;
    in.get();
    e.Channels = magic == "P5" ? 1 : 3;
    const auto start = static_cast<std::size_t>(in.tellg());
    e.Samples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    if (e.Samples.size() != std::size_t(e.Width) * e.Height * e.Channels) return std::nullopt;
    return e;
}

// The picture as RGB triples, row 0 first, indexed pixels looked up in the palette.
inline std::vector<uint8_t> BitmapRGB(const TBMPImage& bitmap) {
    TBMPImage copy = bitmap;
    copy.ConvertTo24();
    std::vector<uint8_t> out;
    out.reserve(std::size_t(copy.Width()) * copy.Height() * 3);
    for (int32_t y = 0; y < copy.Height(); ++y) {
        const auto row = copy.Row(y);
        for (int32_t x = 0; x < copy.Width(); ++x) {
            out.push_back(row[3 * x + 2]);
            out.push_back(row[3 * x + 1]);
            out.push_back(row[3 * x]);
        }
    }
    return out;
}

// Position of the first differing sample, or -1.
inline long FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return -1;
}

} // namespace pagelith::test
