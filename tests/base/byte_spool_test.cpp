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

std::string ReadBack(const TSpooledRange& range, uint64_t offset, std::size_t n) {
    std::string out(n, '\0');
    if (!range.Read(offset, std::span<char>(out.data(), n))) return "<refused>";
    return out;
}

TEST(ByteSpool, AppendsReadBackWithinTheirRanges) {
    const auto spool = TByteSpool::Open();
    ASSERT_NE(spool, nullptr);
    const std::size_t sizes[] = {1, 0, 65535, 65536, 65537, 300000, 7};
    std::vector<std::pair<std::shared_ptr<const TSpooledRange>, std::string>> kept;
    for (std::size_t n : sizes) {
        std::string bytes = PatternBytes(n, static_cast<unsigned>(kept.size()));
        auto range = spool->Append(bytes);
        ASSERT_NE(range, nullptr);
        EXPECT_EQ(range->size(), n);
        kept.emplace_back(std::move(range), std::move(bytes));
    }
    // Backwards and in parts, as a save reads them.
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        EXPECT_EQ(ReadBack(*it->first, 0, it->second.size()), it->second);
        if (it->second.size() > 10) {
            EXPECT_EQ(ReadBack(*it->first, 3, 5), it->second.substr(3, 5));
        }
    }
    // Nothing past the range, however it is put.
    const TSpooledRange& last = *kept.back().first;
    EXPECT_EQ(ReadBack(last, 7, 0), "");
    EXPECT_EQ(ReadBack(last, 6, 2), "<refused>");
    EXPECT_EQ(ReadBack(last, 8, 0), "<refused>");
    EXPECT_EQ(ReadBack(last, UINT64_MAX, 1), "<refused>");
}

// One file serves the whole process; ranges let go of are used again, and a free end is cut off.
TEST(ByteSpool, IsSharedAndReusesTheRangesLetGo) {
    const auto spool = TByteSpool::Open();
    ASSERT_TRUE(spool && TByteSpool::Open() == spool);
    const uint64_t start = spool->FileBytes();
    std::vector<std::shared_ptr<const TSpooledRange>> held;
    for (unsigned i = 0; i < 4; ++i) held.push_back(spool->Append(PatternBytes(100000, i)));
    held[1].reset();
    held[2].reset();
    held.push_back(spool->Append(PatternBytes(150000, 9))); // in the joined gap
    EXPECT_EQ(spool->FileBytes(), start + 400000);
    held[3].reset(); // free down to the new range
    EXPECT_EQ(spool->FileBytes(), start + 250000);
    held[4].reset();
    EXPECT_EQ(spool->FileBytes(), start + 100000);
    EXPECT_EQ(ReadBack(*held[0], 0, 100000), PatternBytes(100000, 0));
}

TEST(ByteSpool, NoTemporaryFolderMeansNoSpool) {
    const testing::TScopedEnv folder("TMPDIR", testing::kMissingFolder);
    EXPECT_EQ(TByteSpool::Open(), nullptr);
    const THeldBytes held = THeldBytes::Keep(PatternBytes(100000, 1), nullptr);
    EXPECT_FALSE(held.Spooled());
    EXPECT_EQ(held.Bytes(), PatternBytes(100000, 1));
}

TEST(HeldBytes, SpooledBytesComeBackInPiecesAndAreShared) {
    const auto spool = TByteSpool::Open();
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
    const auto spool = TByteSpool::Open();
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
