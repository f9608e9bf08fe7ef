// Every length, stored or compressed, inflates back to the data with zlib.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <string>

#include "base/deflate.h"

namespace pagelith {
namespace {

std::string Inflate(std::string_view stream, std::size_t size) {
    std::string out(size + 1, '\0');
    uLongf length = static_cast<uLongf>(out.size());
    const int status =
        uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                   reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size()));
    EXPECT_EQ(status, Z_OK);
    out.resize(length);
    return out;
}

TEST(Deflate, EveryLengthAroundTheStoredLimitRoundTrips) {
    std::string data;
    uint32_t seed = 1;
    for (std::size_t n = 0; n <= kStoredBytes + 64; ++n) {
        for (int level : {kDeflateLevel, kImageDeflateLevel}) {
            const std::string stream = DeflateZlib(data, level);
            ASSERT_EQ(Inflate(stream, data.size()), data) << "length " << n << " level " << level;
            // Short data costs its length and eleven bytes of framing, never more.
            if (n <= kStoredBytes) {
                EXPECT_EQ(stream.size(), n + 11);
            }
        }
        data.push_back(static_cast<char>("q Q cm Do /Im1 0.5 \r"[(seed = seed * 1103515245 + 12345) >> 28]));
    }
}

TEST(Deflate, LongTextIsCompressed) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "10 0 0 10 56 790 Tm\r(A line of the report)Tj\r";
    const std::string stream = DeflateZlib(text);
    EXPECT_LT(stream.size(), text.size() / 10);
    EXPECT_EQ(Inflate(stream, text.size()), text);
}

// Data written piece by piece makes one zlib stream, whatever the pieces, and Size counts what went out.
TEST(Deflate, StreamOfPiecesRoundTrips) {
    std::string data;
    for (int i = 0; i < 40000; ++i) data += "10 0 0 10 56 " + std::to_string(i) + " Tm\r(line)Tj\r";
    const struct {
        std::size_t Length, Piece;
    } cases[] = {{0, 1}, {1, 1}, {5000, 7}, {data.size(), 100000}, {data.size(), data.size()}};
    for (const auto& c : cases) {
        std::string out;
        TDeflateStream stream(kDeflateLevel, [&](std::string_view bytes) { out.append(bytes); });
        const std::string_view part = std::string_view(data).substr(0, c.Length);
        for (std::size_t at = 0; at < part.size(); at += c.Piece) stream.Write(part.substr(at, c.Piece));
        stream.Finish();
        EXPECT_EQ(stream.Size(), out.size());
        EXPECT_EQ(Inflate(out, part.size()), part) << c.Length << " in pieces of " << c.Piece;
    }
}

} // namespace
} // namespace pagelith
