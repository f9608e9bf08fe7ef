// Every length, stored or compressed, inflates back to the data with zlib.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/deflate.h"
#include "base/pdf_error.h"

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

// Results come back in the order pushed, as Deflate makes them, whoever compressed each; a bad level
// is refused at once.
TEST(DeflateQueue, ResultsComeBackInOrder) {
    std::vector<std::pair<std::string, int>> jobs;
    for (int i = 0; i < 24; ++i) {
        std::string data;
        for (int line = 0; line < i * 97; ++line)
            data += "10 0 0 10 56 " + std::to_string(line * i) + " Tm\r";
        jobs.emplace_back(data, i % 3 == 0 ? kDeflateLevel : kContentDeflateLevel);
    }
    TDeflateQueue queue;
    EXPECT_FALSE(queue.Take(true)); // nothing pushed
    std::size_t taken = 0;
    const auto check = [&](const std::optional<TDeflated>& done) {
        if (!done) return;
        const auto& [data, level] = jobs[taken++];
        EXPECT_EQ(done->View(), DeflateZlib(data, level)) << taken;
        EXPECT_EQ(Inflate(done->View(), data.size()), data);
    };
    for (const auto& [data, level] : jobs) {
        queue.Push(data, level);
        check(queue.Take(false));
    }
    while (taken < jobs.size()) check(queue.Take(true));
    EXPECT_THROW(queue.Push("data", 13), EPDFError);
    queue.Push(std::string(100000, 'x'), kDeflateLevel); // dropped with the queue, not waited for
}

} // namespace
} // namespace pagelith
