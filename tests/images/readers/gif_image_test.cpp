#include "images/readers/gif_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "reader_fixtures.h"

namespace pagelith {
namespace {

using testing::Refusal;

TEST(GIFImage, DecodesFixtures) {
    testing::CheckFixtures<TGIFImage>("gif");
}

// Codes packed least significant bit first, each with its width.
std::vector<uint8_t> PackCodes(const std::vector<std::pair<unsigned, unsigned>>& codes) {
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    unsigned n = 0;
    for (const auto& [code, width] : codes) {
        acc |= code << n;
        n += width;
        while (n >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n) out.push_back(static_cast<uint8_t>(acc));
    return out;
}

struct TGif {
    uint16_t ScreenWidth = 3, ScreenHeight = 1;
    int GlobalBits = 1;          // 2^(bits + 1) entries; -1 for none
    std::vector<uint8_t> Before; // blocks before the frame
    uint16_t Left = 0, Top = 0, Width = 3, Height = 1;
    uint8_t Flags = 0;
    std::vector<uint8_t> Local; // local table bytes, if Flags has 0x80
    uint8_t CodeSize = 2;
    std::vector<uint8_t> Lzw = PackCodes({{4, 3}, {0, 3}, {6, 3}, {5, 3}}); // three pixels of index 0
    std::vector<uint8_t> After{0x3B};

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> f{'G', 'I', 'F', '8', '9', 'a'};
        const auto put16 = [&](uint16_t v) {
            f.push_back(static_cast<uint8_t>(v));
            f.push_back(static_cast<uint8_t>(v >> 8));
        };
        put16(ScreenWidth);
        put16(ScreenHeight);
        f.push_back(GlobalBits >= 0 ? static_cast<uint8_t>(0x80 | GlobalBits) : 0);
        f.push_back(0);
        f.push_back(0);
        if (GlobalBits >= 0)
            for (unsigned i = 0; i < (2u << GlobalBits); ++i)
                f.insert(f.end(), {static_cast<uint8_t>(10 * i), static_cast<uint8_t>(20 * i), 30});
        f.insert(f.end(), Before.begin(), Before.end());
        f.push_back(0x2C);
        put16(Left);
        put16(Top);
        put16(Width);
        put16(Height);
        f.push_back(Flags);
        f.insert(f.end(), Local.begin(), Local.end());
        f.push_back(CodeSize);
        for (std::size_t i = 0; i < Lzw.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, Lzw.size() - i);
            f.push_back(static_cast<uint8_t>(n));
            f.insert(f.end(), Lzw.begin() + static_cast<std::ptrdiff_t>(i),
                     Lzw.begin() + static_cast<std::ptrdiff_t>(i + n));
        }
        f.push_back(0);
        f.insert(f.end(), After.begin(), After.end());
        return f;
    }
};

TBMPImage Decode(const std::vector<uint8_t>& file) {
    TGIFImage reader;
    reader.LoadFromBytes(file);
    TBMPImage bitmap;
    reader.AssignTo(bitmap);
    return bitmap;
}

TEST(GIFImage, CodeDefinedByItsOwnUse) {
    // clear, 1, then 6 and 7 each used while being defined (1 1, then 1 1 1): six pixels of index 1,
    // the last code already four bits wide.
    TGif gif;
    gif.ScreenWidth = gif.Width = 6;
    gif.Lzw = PackCodes({{4, 3}, {1, 3}, {6, 3}, {7, 3}, {5, 4}});
    const auto bitmap = Decode(gif.Bytes());
    ASSERT_EQ(bitmap.Format(), TPixelFormat::Indexed4);
    EXPECT_EQ(bitmap.Row(0)[0], 0x11);
    EXPECT_EQ(bitmap.Row(0)[1], 0x11);
    EXPECT_EQ(bitmap.Row(0)[2], 0x11);
}

TEST(GIFImage, TransparentIndexAndScreenOutsideTheFrameAreMasked) {
    // Screen of 4, a frame of 3 from x = 1 with indices 0 1 0; index 1 is transparent, then not.
    TGif gif;
    gif.ScreenWidth = 4;
    gif.Left = 1;
    gif.Lzw = PackCodes({{4, 3}, {0, 3}, {1, 3}, {0, 3}});
    for (const uint8_t flag : {1, 0}) {
        gif.Before = {0x21, 0xF9, 4, flag, 0, 0, 1, 0};
        TGIFImage reader;
        reader.LoadFromBytes(gif.Bytes());
        TBMPImage bitmap;
        reader.AssignTo(bitmap);
        const std::vector<uint8_t> masked{0, 255, 0, 255};
        EXPECT_EQ(reader.AlphaMask(), flag ? masked : std::vector<uint8_t>{});
    }
}

TEST(GIFImage, ExtensionsAreSkipped) {
    TGif gif;
    gif.Before = {
        0x21, 0xFE, 3,    'a', 'b', 'c', 0, // comment
        0x21, 0xFF, 11,   'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0,
        0,    0x21, 0x01, 12,  0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0, 0, 0, // plain text
        0x21, 0xF9, 4,    0,   0,   0,   0,   0};
    gif.After = {0x21, 0xFE, 1, 'z', 0}; // no trailer
    EXPECT_EQ(Decode(gif.Bytes()).Width(), 3);
}

TEST(GIFImage, ErrorsAreGifExceptions) {
    TGIFImage reader;
    EXPECT_THROW(reader.LoadFromBytes(std::vector<uint8_t>{'G', 'I', 'F'}), GIFException);
}

TEST(GIFImage, RefusesMalformedFiles) {
    struct Case {
        const char* what;
        std::function<void(TGif&)> edit;
        const char* message;
    };
    const Case cases[] = {
        {"no colour table", [](TGif& g) { g.GlobalBits = -1; }, "No global or local color table defined"},
        {"local table cut off",
         [](TGif& g) { g.Flags = 0x87, g.Local.assign(30, 0), g.Lzw.clear(), g.After.clear(); },
         "Invalid number of colors specified in Image Descriptor"},
        {"unknown extension",
         [](TGif& g) {
             g.Before = {0x21, 0x99, 0};
         },
         "Unknown extension type"},
        {"unknown block", [](TGif& g) { g.Before = {0x55}; }, "Unknown GIF block type"},
        {"frame wider than screen", [](TGif& g) { g.Left = 1; }, "Image exceeds Logical Screen size"},
        {"frame taller than screen", [](TGif& g) { g.Height = 2; }, "Image exceeds Logical Screen size"},
        {"code size 0", [](TGif& g) { g.CodeSize = 0; }, "Invalid GIF data"},
        {"code size 9", [](TGif& g) { g.CodeSize = 9; }, "Invalid GIF data"},
        {"data cut off",
         [](TGif& g) {
             g.Lzw = PackCodes({{4, 3}, {0, 3}});
         },
         "Decoder bit buffer under-run"},
        {"end code early",
         [](TGif& g) {
             g.Lzw = PackCodes({{4, 3}, {0, 3}, {5, 3}});
         },
         "Decoder bit buffer under-run"},
        {"code past the table",
         [](TGif& g) {
             g.Lzw = PackCodes({{4, 3}, {0, 3}, {7, 3}, {5, 3}});
         },
         "Invalid GIF data"},
        {"first code not a colour",
         [](TGif& g) {
             g.Lzw = PackCodes({{4, 3}, {6, 3}, {5, 3}});
         },
         "Invalid GIF data"},
        {"sub-block past the end",
         [](TGif& g) {
             g.After = {0x21, 0xFE, 9, 1};
         },
         "Invalid GIF data"},
        {"file ends before the frame",
         [](TGif& g) {
             g.Before = {0x21, 0xFE, 0, 0x3B};
         },
         "Invalid GIF data"},
        // 65535 × 65535 from a few bytes: refused before the frame is allocated.
        {"huge frame",
         [](TGif& g) {
             g.ScreenWidth = g.ScreenHeight = g.Width = g.Height = 65535;
             g.GlobalBits = 0;
         },
         "Decoder bit buffer under-run"},
    };
    for (const auto& c : cases) {
        TGif gif;
        c.edit(gif);
        EXPECT_EQ(Refusal<TGIFImage>(gif.Bytes()), c.message) << c.what;
    }

    const auto good = TGif().Bytes();
    EXPECT_EQ(Refusal<TGIFImage>({}), "Invalid GIF signature");
    EXPECT_EQ(Refusal<TGIFImage>({'G', 'I', 'X', '8', '9', 'a', 0, 0}), "Invalid GIF signature");
    EXPECT_EQ(Refusal<TGIFImage>({'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0}),
              "Unsupported GIF version");
    EXPECT_EQ(Refusal<TGIFImage>(std::vector<uint8_t>(good.begin(), good.begin() + 15)),
              "Invalid number of colors specified in Screen Descriptor");
    EXPECT_EQ(Refusal<TGIFImage>(std::vector<uint8_t>(good.begin(), good.begin() + 10)), "Invalid GIF data");
}

} // namespace
} // namespace pagelith
