#include "images/group4_encoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "images/bilevel_pictures.h"
#include "images/group4_reference.h"
#include "images/readers/ccitt_decoder.h"
#include "images/readers/image_error.h"

namespace pagelith {
namespace {

using testing::NoisePicture;
using testing::RunPicture;
using testing::ScannedPage;
using testing::TReferenceGroup4;

std::string Encode(const TBMPImage& bitmap) {
    std::string out;
    EncodeGroup4(bitmap, out);
    return out;
}

// Bytes from a string of '0' and '1' (blanks ignored), the last byte padded with 0 bits.
std::string FromBits(std::string_view bits) {
    std::string out;
    int used = 0;
    for (const char c : bits) {
        if (c == ' ') continue;
        if (used % 8 == 0) out.push_back('\0');
        if (c == '1') out.back() = static_cast<char>(out.back() | (0x80 >> (used % 8)));
        ++used;
    }
    return out;
}

constexpr std::string_view kEofb = " 000000000001 000000000001";

TBMPImage FromRows(const std::vector<std::string>& rows) { // '#' black, '.' white
    TBMPImage bitmap;
    bitmap.SetSize(TPixelFormat::Indexed1, static_cast<int32_t>(rows[0].size()),
                   static_cast<int32_t>(rows.size()));
    for (int32_t y = 0; y < bitmap.Height(); ++y)
        for (int32_t x = 0; x < bitmap.Width(); ++x) testing::SetPixel(bitmap, x, y, rows[y][x] == '.');
    return bitmap;
}

// Pictures whose codes are worked out by hand from the coding rules.
struct THandCase {
    const char* Name;
    std::vector<std::string> Rows;
    std::string Bits;
};

TEST(Group4Encoder, HandCodedPictures) {
    const std::string longBlack(2600, '#');
    const THandCase cases[] = {
        {"all white 8x8: one V0 a row", std::vector<std::string>(8, "........"), "11111111"},
        {"all-black first row: white 0, black W", {"##########"}, "001 00110101 0000100"},
        {"run of exactly 64", {std::string(64, '#')}, "001 00110101 0000001111 0000110111"},
        {"run of 2600: make-up 2560, then 40", {longBlack}, "001 00110101 000000011111 000001101100"},
        {"run of 5200: make-up 2560 twice, then 80",
         {std::string(5200, '#')},
         "001 00110101 000000011111 000000011111 0000001111 0000010111"},
        // Row 2 ends with a white run over a reference that stays black: b1 lies beyond the
        // line, so horizontal mode (white 3, black 0) instead of V0.
        {"b1 beyond the end of the line",
         {"#####.####", "#######..."},
         "001 00110101 0011 001 000111 011"
         " 1 0001 0000010 001 1000 0000110111"},
    };
    for (const auto& c : cases) {
        const TBMPImage bitmap = FromRows(c.Rows);
        EXPECT_EQ(Encode(bitmap), FromBits(c.Bits + std::string(kEofb))) << c.Name;
        EXPECT_EQ(Encode(bitmap), TReferenceGroup4::Encode(bitmap)) << c.Name;
    }
}

TEST(Group4Encoder, AllWhite8x8IsFfThenEofb) {
    const TBMPImage bitmap = FromRows(std::vector<std::string>(8, "........"));
    EXPECT_EQ(Encode(bitmap), std::string("\xFF\x00\x10\x01", 4));
}

TEST(Group4Encoder, AppendsToWhatTheStreamHolds) {
    const TBMPImage bitmap = FromRows({"#"});
    std::string out = "head";
    EncodeGroup4(bitmap, out);
    EXPECT_EQ(out, "head" + Encode(bitmap));
}

TEST(Group4Encoder, RefusesPicturesItCannotCode) {
    TBMPImage empty;
    empty.SetSize(TPixelFormat::Indexed1, 0, 5);
    TBMPImage noRows;
    noRows.SetSize(TPixelFormat::Indexed1, 5, 0);
    TBMPImage gray;
    gray.SetSize(TPixelFormat::Indexed8, 4, 4);
    for (const TBMPImage* bitmap : {&empty, &noRows, &gray}) {
        std::string out;
        EXPECT_THROW(EncodeGroup4(*bitmap, out), EInvalidGraphic);
        EXPECT_TRUE(out.empty());
    }
}

// Decoding the bytes with the T.6 decoder gives the picture back.
void ExpectRoundTrip(const TBMPImage& bitmap, const std::string& coded, const std::string& name) {
    const std::size_t stride = bitmap.Stride();
    std::vector<uint8_t> back(stride * static_cast<std::size_t>(bitmap.Height()));
    const auto* bytes = reinterpret_cast<const uint8_t*>(coded.data());
    ASSERT_NO_THROW(
        DecodeCCITT(TCCITTCoding::T6, {bytes, coded.size()}, bitmap.Width(), bitmap.Height(), back, stride))
        << name;
    for (int32_t y = 0; y < bitmap.Height(); ++y)
        for (int32_t x = 0; x < bitmap.Width(); ++x)
            if (((back[stride * y + x / 8] >> (7 - x % 8)) & 1) != testing::WhiteAt(bitmap, x, y)) {
                ADD_FAILURE() << name << ": pixel " << x << "," << y;
                return;
            }
}

void ExpectLikeReference(const TBMPImage& bitmap, const std::string& name) {
    const std::string fast = Encode(bitmap);
    const std::string reference = TReferenceGroup4::Encode(bitmap);
    ASSERT_EQ(fast.size(), reference.size()) << name;
    ASSERT_TRUE(fast == reference) << name;
    ExpectRoundTrip(bitmap, fast, name);
}

TEST(Group4Encoder, NoiseMatchesReference) {
    const int32_t widths[] = {1, 2, 3, 5, 7, 8, 9, 15, 31, 33, 63, 64, 65, 127, 129, 200, 257, 1000};
    const int32_t heights[] = {1, 2, 7, 40};
    const double shares[] = {0.0, 0.002, 0.05, 0.3, 0.5, 0.8, 0.98, 1.0};
    uint32_t seed = 1;
    for (const int32_t w : widths)
        for (const int32_t h : heights)
            for (const double share : shares) {
                const auto name =
                    std::to_string(w) + "x" + std::to_string(h) + " black " + std::to_string(share);
                ExpectLikeReference(NoisePicture(w, h, share, seed++), name);
            }
}

TEST(Group4Encoder, LongRunsMatchReference) {
    const int32_t lengths[] = {1,    2,    3,    4,    63,   64,   65,   127, 128,
                               1728, 1791, 1792, 2559, 2560, 2561, 2600, 5200};
    const int32_t widths[] = {2559, 2560, 2561, 2600, 5121, 9000};
    uint32_t seed = 100;
    for (const int32_t w : widths)
        for (int k = 0; k < 3; ++k)
            ExpectLikeReference(RunPicture(w, 30, lengths, seed++), "runs " + std::to_string(w));
    const int32_t shortRuns[] = {1, 1, 2, 3, 4, 5, 7, 12, 30};
    for (int k = 0; k < 20; ++k)
        ExpectLikeReference(RunPicture(97 + k * 13, 60, shortRuns, seed++), "short runs");
}

TEST(Group4Encoder, ScannedPagesMatchReference) {
    for (uint32_t seed = 1; seed <= 3; ++seed) ExpectLikeReference(ScannedPage(1241, 1754, seed), "page");
    ExpectLikeReference(ScannedPage(2480, 700, 9), "full-width band");
    ExpectLikeReference(ScannedPage(603, 401, 10), "odd width");
}

TEST(Group4Encoder, EndsWithEofbOnAByteBoundary) {
    for (int32_t w = 1; w <= 24; ++w) {
        const std::string coded = Encode(NoisePicture(w, 3, 0.4, static_cast<uint32_t>(w)));
        ASSERT_GE(coded.size(), 3U);
        // EOFB is the last 24 coded bits, followed by fewer than 8 zero bits.
        uint64_t tail = 0;
        for (std::size_t i = coded.size() - 3 - (coded.size() > 3); i < coded.size(); ++i)
            tail = (tail << 8) | static_cast<uint8_t>(coded[i]);
        const int pad = std::countr_zero(tail);
        EXPECT_LT(pad, 8) << w;
        EXPECT_EQ((tail >> pad) & 0xFFFFFF, 0x001001U) << w;
    }
}

} // namespace
} // namespace pagelith
