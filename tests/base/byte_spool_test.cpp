// Picture data parked in a temporary file: what goes in comes back, in order and whole, and data
// the file will not take stays in memory.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

#include "base/byte_spool.h"
#include "base/held_bytes.h"
#include "support/scoped_env.h"
#include "support/spool_data.h"

namespace pagelith {
namespace {

using testing::PatternBytes;

std::string ReadBack(const TByteSpool& spool, uint64_t offset, std::size_t n) {
    std::string out(n, '\0');
    if (!spool.Read(offset, std::span<char>(out.data(), n))) return "<refused>";
    return out;
}

TEST(ByteSpool, AppendsReadBackByPosition) {
    const auto spool = TByteSpool::Create();
    ASSERT_NE(spool, nullptr);
    const std::size_t sizes[] = {1, 0, 65535, 65536, 65537, 300000, 7};
    std::vector<std::pair<uint64_t, std::string>> kept;
    uint64_t expected = 0;
    for (std::size_t n : sizes) {
        std::string bytes = PatternBytes(n, static_cast<unsigned>(kept.size()));
        const auto at = spool->Append(bytes);
        ASSERT_TRUE(at.has_value());
        EXPECT_EQ(*at, expected);
        expected += n;
        kept.emplace_back(*at, std::move(bytes));
    }
    // Backwards and in parts, as a save reads them.
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        EXPECT_EQ(ReadBack(*spool, it->first, it->second.size()), it->second);
        if (it->second.size() > 10) {
            EXPECT_EQ(ReadBack(*spool, it->first + 3, 5), it->second.substr(3, 5));
        }
    }
    // Nothing past what was appended, however the range is put.
    EXPECT_EQ(ReadBack(*spool, expected, 0), "");
    EXPECT_EQ(ReadBack(*spool, expected - 1, 2), "<refused>");
    EXPECT_EQ(ReadBack(*spool, expected + 1, 0), "<refused>");
    EXPECT_EQ(ReadBack(*spool, UINT64_MAX, 1), "<refused>");
}

TEST(ByteSpool, NoTemporaryFolderMeansNoSpool) {
    const testing::TScopedEnv folder("TMPDIR", testing::kMissingFolder);
    EXPECT_EQ(TByteSpool::Create(), nullptr);
    const THeldBytes held = THeldBytes::Keep(PatternBytes(100000, 1), nullptr);
    EXPECT_FALSE(held.Spooled());
    EXPECT_EQ(held.Bytes(), PatternBytes(100000, 1));
}

TEST(HeldBytes, SpooledBytesComeBackInPiecesAndAreShared) {
    const auto spool = TByteSpool::Create();
    ASSERT_NE(spool, nullptr);
    const std::size_t sizes[] = {THeldBytes::kSpoolBytes, THeldBytes::kPieceBytes + 1,
                                 3 * THeldBytes::kPieceBytes - 5};
    std::vector<THeldBytes> held;
    for (std::size_t n : sizes) {
        held.push_back(THeldBytes::Keep(PatternBytes(n, static_cast<unsigned>(n)), spool));
        ASSERT_TRUE(held.back().Spooled());
        EXPECT_EQ(held.back().size(), n);
    }
    for (std::size_t i = 0; i < held.size(); ++i) {
        const THeldBytes copy = held[i]; // a copy reads the same range
        std::vector<std::size_t> pieces;
        std::string joined;
        copy.ForEachPiece([&](std::string_view piece) {
            pieces.push_back(piece.size());
            joined.append(piece);
        });
        EXPECT_EQ(joined, PatternBytes(sizes[i], static_cast<unsigned>(sizes[i])));
        EXPECT_EQ(pieces.size(), (sizes[i] + THeldBytes::kPieceBytes - 1) / THeldBytes::kPieceBytes);
        for (std::size_t p = 0; p + 1 < pieces.size(); ++p) EXPECT_EQ(pieces[p], THeldBytes::kPieceBytes);
    }
    // Small bytes stay in memory, one piece.
    const THeldBytes small = THeldBytes::Keep(PatternBytes(THeldBytes::kSpoolBytes - 1, 2), spool);
    EXPECT_FALSE(small.Spooled());
    int pieces = 0;
    small.ForEachPiece([&](std::string_view) { ++pieces; });
    EXPECT_EQ(pieces, 1);
    EXPECT_EQ(small.Bytes(), PatternBytes(THeldBytes::kSpoolBytes - 1, 2));
    THeldBytes empty;
    empty.ForEachPiece([&](std::string_view) { ++pieces; });
    EXPECT_EQ(pieces, 1);
}

// A file size limit stands in for a full disk: what does not fit stays in memory, and the spool
// goes on taking what does.
TEST(HeldBytes, AFullSpoolLeavesTheBytesInMemory) {
    const auto spool = TByteSpool::Create();
    ASSERT_NE(spool, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit limit{230000, old.rlim_max}; // the soft limit only, so that it can be put back
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);

    const THeldBytes first = THeldBytes::Keep(PatternBytes(150000, 1), spool);
    const THeldBytes second = THeldBytes::Keep(PatternBytes(100000, 2), spool); // half of it would fit
    const THeldBytes third = THeldBytes::Keep(PatternBytes(70000, 3), spool);
    EXPECT_TRUE(first.Spooled());
    EXPECT_FALSE(second.Spooled());
    EXPECT_TRUE(third.Spooled()); // written over what the refused one left
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(first.Bytes(), PatternBytes(150000, 1));
    EXPECT_EQ(second.Bytes(), PatternBytes(100000, 2));
    EXPECT_EQ(third.Bytes(), PatternBytes(70000, 3));
}

} // namespace
} // namespace pagelith
