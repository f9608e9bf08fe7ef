#include "images/readers/ccitt_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "images/bilevel_pictures.h"
#include "images/group4_encoder.h"
#include "images/readers/image_error.h"

namespace pagelith {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kFixtures = std::string(PAGELITH_SOURCE_DIR) + "/tests/images/readers/ccitt_fixtures/";

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), {}};
}

// The fixtures' source picture as packed rows with 1 = white, no padding.
struct TPicture {
    int32_t Width = 0, Height = 0;
    Bytes Rows;
    std::size_t RowBytes() const { return (static_cast<std::size_t>(Width) + 7) / 8; }
};

TPicture ReadPbm(const std::string& path) {
    const Bytes file = ReadFile(path);
    std::istringstream header(
        std::string(file.begin(), file.begin() + std::min<std::size_t>(file.size(), 32)));
    std::string magic;
    TPicture p;
    header >> magic >> p.Width >> p.Height;
    EXPECT_EQ(magic, "P4");
    const std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
    p.Rows.assign(file.begin() + static_cast<std::ptrdiff_t>(start), file.end());
    EXPECT_EQ(p.Rows.size(), p.RowBytes() * static_cast<std::size_t>(p.Height));
    for (auto& b : p.Rows) b = static_cast<uint8_t>(~b);
    return p;
}

uint8_t Reversed(uint8_t b) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
    return r;
}

TCCITTCoding CodingNamed(const std::string& name) {
    if (name == "mh") return TCCITTCoding::ModifiedHuffman;
    if (name == "t4") return TCCITTCoding::T4;
    return TCCITTCoding::T6;
}

// Pixel bits of rows [from, to) of a decoded buffer compared with the picture, padding ignored.
int32_t FirstDifferentRow(const TPicture& want, const Bytes& got, std::size_t stride, bool invert) {
    for (int32_t y = 0; y < want.Height; ++y)
        for (int32_t x = 0; x < want.Width; ++x) {
            const int a = (want.Rows[want.RowBytes() * y + x / 8] >> (7 - x % 8)) & 1;
            const int b = (got[stride * y + x / 8] >> (7 - x % 8)) & 1;
            if (a != (invert ? b ^ 1 : b)) return y;
        }
    return -1;
}

// Strips written by libtiff (tiffcp) and Pillow: min-is-white and min-is-black, several
// strips, fill order 2, byte-aligned EOLs.
TEST(CCITTDecoder, DecodesStripsWrittenByOtherCoders) {
    const TPicture picture = ReadPbm(kFixtures + "picture.pbm");
    std::ifstream cases(kFixtures + "cases.txt");
    std::string name, coding;
    int32_t rowsPerStrip = 0, strips = 0, fillOrder = 0, whiteIsZero = 0;
    int count = 0;
    while (cases >> name >> coding >> rowsPerStrip >> strips >> fillOrder >> whiteIsZero) {
        ++count;
        const std::size_t stride = picture.RowBytes() + 3; // rows need not be packed tightly
        Bytes decoded(stride * static_cast<std::size_t>(picture.Height), 0x5A);
        for (int32_t s = 0; s < strips; ++s) {
            Bytes data = ReadFile(kFixtures + name + "." + std::to_string(s) + ".bin");
            if (fillOrder == 2) std::transform(data.begin(), data.end(), data.begin(), Reversed);
            const int32_t first = s * rowsPerStrip;
            const int32_t rows = std::min(rowsPerStrip, picture.Height - first);
            ASSERT_NO_THROW(DecodeCCITT(CodingNamed(coding), data, picture.Width, rows,
                                        std::span(decoded).subspan(stride * static_cast<std::size_t>(first)),
                                        stride))
                << name << " strip " << s;
        }
        EXPECT_EQ(FirstDifferentRow(picture, decoded, stride, whiteIsZero == 0), -1) << name;
    }
    EXPECT_EQ(count, 9);
}

Bytes Fixture(const std::string& name) {
    return ReadFile(kFixtures + name + ".0.bin");
}

// A failure leaves the rows decoded before it and makes the failing row and all after it white.
TEST(CCITTDecoder, TruncatedT4KeepsEarlierRowsAndWhitensTheRest) {
    const TPicture picture = ReadPbm(kFixtures + "picture.pbm");
    Bytes data = Fixture("t4_tiffcp");
    data.resize(data.size() / 2);
    const std::size_t stride = picture.RowBytes();
    Bytes decoded(stride * static_cast<std::size_t>(picture.Height), 0x00);
    EXPECT_THROW(DecodeCCITT(TCCITTCoding::T4, data, picture.Width, picture.Height, decoded, stride),
                 EInvalidGraphic);
    const int32_t bad = FirstDifferentRow(picture, decoded, stride, false);
    ASSERT_GT(bad, 10);
    for (int32_t y = bad; y < picture.Height; ++y)
        for (int32_t x = 0; x < picture.Width; ++x)
            ASSERT_EQ((decoded[stride * y + x / 8] >> (7 - x % 8)) & 1, 1);
}

std::string Message(TCCITTCoding coding, const Bytes& data, int32_t width, int32_t height) {
    const std::size_t stride = (static_cast<std::size_t>(width) + 7) / 8;
    Bytes dst(stride * static_cast<std::size_t>(height));
    try {
        DecodeCCITT(coding, data, width, height, dst, stride);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "decoded";
}

Bytes Append(Bytes data, std::initializer_list<uint8_t> more) {
    data.insert(data.end(), more);
    return data;
}

Bytes Truncated(Bytes data, std::size_t cut) {
    data.resize(data.size() - cut);
    return data;
}

struct TBadCase {
    const char* Name;
    TCCITTCoding Coding;
    Bytes Data;
    int32_t Width, Height;
    const char* Expected;
};

TEST(CCITTDecoder, DataErrors) {
    using enum TCCITTCoding;
    const char* corrupt = "TIFF file image data corrupted";
    const Bytes mh = Fixture("mh_pillow");
    const Bytes t4 = Fixture("t4_tiffcp");
    const Bytes t6 = Fixture("t6_tiffcp");
    const TBadCase cases[] = {
        {"no data, T.6", T6, {}, 8, 1, corrupt},
        {"no data, T.4", T4, {}, 8, 1, corrupt},
        {"no data, MH", ModifiedHuffman, {}, 8, 1, corrupt},
        {"only zero bits", T6, Bytes(40, 0), 30, 3, corrupt},
        {"EOFB before the last row", T6, {0xC0, 0x01, 0x00, 0x10}, 8, 3, corrupt},
        {"uncompressed-mode extension", T6, {0x03, 0xC0}, 8, 1, corrupt},
        {"VR3 past the line end", T6, {0x06}, 8, 1, corrupt},
        {"white make-up longer than the line", ModifiedHuffman, {0xD8}, 63, 1, corrupt}, // 11011: 64
        {"black run past the line end", ModifiedHuffman, {0xB3}, 8, 1, corrupt},         // white 4, black 5
        {"MH with a byte too many", ModifiedHuffman, Append(mh, {0x00}), 333, 97, corrupt},
        {"MH a byte short", ModifiedHuffman, Truncated(mh, 1), 333, 97, corrupt},
        {"T.4 cut short", T4, Truncated(t4, 40), 333, 97, corrupt},
        {"T.4 with a row too many", T4, t4, 333, 98, corrupt},
        {"T.6 with a row too many", T6, t6, 333, 98, corrupt},
        {"T.6 wider than coded", T6, t6, 340, 97, corrupt},
        {"MH fixture as it is", ModifiedHuffman, mh, 333, 97, "decoded"},
        {"T.6 without its EOFB", T6, Truncated(t6, 3), 333, 97, "decoded"},
        {"T.4 with trailing garbage", T4, Append(t4, {0xFF, 0x00, 0x12}), 333, 97, "decoded"},
    };
    for (const auto& c : cases) EXPECT_EQ(Message(c.Coding, c.Data, c.Width, c.Height), c.Expected) << c.Name;
}

// Rows of white runs only, for the end-of-line rules of T.4: "w8" is white 8 (10011).
TEST(CCITTDecoder, T4EndOfLinesAndFill) {
    using enum TCCITTCoding;
    struct TEolCase {
        const char* Name;
        Bytes Data;
        const char* Expected;
    };
    const TEolCase cases[] = {
        {"no EOLs", {0x9C, 0xC0}, "decoded"},
        {"EOL before each row", {0x00, 0x19, 0x80, 0x0C, 0xC0}, "decoded"},
        {"fill bits, EOL, two rows, RTC",
         {0x00, 0x01, 0x9C, 0xC0, 0x00, 0x08, 0x00, 0x80, 0x08, 0x00, 0x80, 0x08, 0x00, 0x80},
         "decoded"},
        {"EOL with 10 zeros is no EOL", {0x00, 0x33}, "TIFF file image data corrupted"},
        {"EOLs and nothing more", {0x00, 0x10, 0x01}, "TIFF file image data corrupted"},
    };
    for (const auto& c : cases) EXPECT_EQ(Message(T4, c.Data, 8, 2), c.Expected) << c.Name;
}

TEST(CCITTDecoder, NeverWritesOutsideItsRows) {
    const TBMPImage page = testing::ScannedPage(203, 150, 3);
    std::string coded;
    EncodeGroup4(page, coded);
    const Bytes data(coded.begin(), coded.end());
    const std::size_t stride = 40; // 26 bytes of pixels, 14 that belong to someone else
    for (const std::size_t cut : {std::size_t{0}, data.size() / 3, data.size() - 8}) {
        Bytes dst(stride * 150, 0xA5);
        const auto slice = std::span(data).first(data.size() - cut);
        if (cut == 0)
            DecodeCCITT(TCCITTCoding::T6, slice, 203, 150, dst, stride);
        else
            EXPECT_THROW(DecodeCCITT(TCCITTCoding::T6, slice, 203, 150, dst, stride), EInvalidGraphic);
        for (std::size_t y = 0; y < 150; ++y)
            for (std::size_t i = 26; i < stride; ++i) ASSERT_EQ(dst[y * stride + i], 0xA5) << cut;
        // Padding bits of the last pixel byte are 0.
        for (std::size_t y = 0; y < 150; ++y) ASSERT_EQ(dst[y * stride + 25] & 0x1F, 0);
    }
}

TEST(CCITTDecoder, RefusesDestinationsTooSmall) {
    const Bytes data = {0xFF};
    Bytes dst(10);
    EXPECT_THROW(DecodeCCITT(TCCITTCoding::T6, data, 8, 11, dst, 1), std::invalid_argument);
    EXPECT_THROW(DecodeCCITT(TCCITTCoding::T6, data, 17, 1, dst, 2), std::invalid_argument);
    EXPECT_THROW(DecodeCCITT(TCCITTCoding::T6, data, 0, 1, dst, 1), std::invalid_argument);
    EXPECT_NO_THROW(DecodeCCITT(TCCITTCoding::T6, data, 8, 8, std::span(dst).first(8), 1));
    EXPECT_NO_THROW(DecodeCCITT(TCCITTCoding::T6, data, 8, 0, {}, 1));
}

} // namespace
} // namespace pagelith
