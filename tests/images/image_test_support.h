// Pictures built in memory, and PDF images read back through an independent decoder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "images/readers/working_bitmap.h"
#include "support/pdf_check.h"

namespace pagelith::testing {

// A bitmap of format and size whose pixel at (x, y) takes f(x, y): a palette index, or 0xRRGGBB.
template <class F> TBMPImage MakeBitmap(TPixelFormat format, int32_t w, int32_t h, F&& f) {
    TBMPImage b;
    b.SetSize(format, w, h);
    for (int32_t y = 0; y < h; ++y) {
        auto row = b.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t v = f(x, y);
            switch (format) {
            case TPixelFormat::Indexed1:
                if (v & 1) row[x / 8] |= uint8_t(0x80 >> (x % 8));
                break;
            case TPixelFormat::Indexed4:
                row[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4));
                break;
            case TPixelFormat::Indexed8:
                row[x] = uint8_t(v);
                break;
            case TPixelFormat::Rgb24:
                row[3 * x] = uint8_t(v);
                row[3 * x + 1] = uint8_t(v >> 8);
                row[3 * x + 2] = uint8_t(v >> 16);
                break;
            }
        }
    }
    return b;
}

// The picture's colours as red-green-blue bytes, row 0 first.
inline std::string RgbOf(const TBMPImage& bitmap) {
    TBMPImage copy = bitmap;
    copy.ConvertTo24();
    std::string out;
    for (int32_t y = 0; y < copy.Height(); ++y) {
        const auto row = copy.Row(y);
        for (int32_t x = 0; x < copy.Width(); ++x) {
            out += char(row[3 * x + 2]);
            out += char(row[3 * x + 1]);
            out += char(row[3 * x]);
        }
    }
    return out;
}

struct TDecodedImage {
    int Width = 0;
    int Height = 0;
    std::string Rgb;
};

// Every image of the saved PDF, page by page, as pikepdf and Pillow decode it.
inline std::vector<TDecodedImage> ExtractImages(const std::string& name, const std::string& pdf) {
    const auto path = WriteFile(name, pdf);
    std::string out;
    // The system's Python carries the distribution's pikepdf and Pillow.
    const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const int status = Run(
        python + " '" PAGELITH_SOURCE_DIR "/tests/images/extract_images.py' '" + path.string() + "'", &out);
    EXPECT_EQ(status, 0) << out;
    std::vector<TDecodedImage> images;
    std::istringstream lines(out);
    TDecodedImage image;
    std::string hex;
    while (lines >> image.Width >> image.Height >> hex) {
        image.Rgb.clear();
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            image.Rgb += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        images.push_back(image);
    }
    return images;
}

} // namespace pagelith::testing
