// The process's font cache: a file is read again only when it changed, and the cache keeps within its bound.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/pdf_error.h"
#include "fonts/font_cache.h"
#include "fonts/font_program.h"
#include "fonts/synthetic_font.h"
#include "support/content.h"

namespace pagelith {
namespace {

namespace fs = std::filesystem;

// Names of equal length make files of equal size, so only the stamp's other fields tell them apart.
std::string Written(const std::string& file, const std::string& name) {
    fs::create_directories(PAGELITH_TEST_OUTPUT_DIR);
    const std::string path = std::string(PAGELITH_TEST_OUTPUT_DIR) + "/" + file;
    test::TSyntheticFont font;
    font.Names = {{1, 0, 0, 6, name}};
    font.WriteTo(path);
    return path;
}

TEST(FontCache, AFileIsReadAgainOnlyWhenItChanged) {
    const auto rewrite = [](const std::string& path, const std::string& name) {
        return Written(fs::path(path).filename().string(), name);
    };
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> changes = {
        {"Cache-A", [](const std::string&) {}},
        {"Cache-Longer", [rewrite](const std::string& p) { rewrite(p, "Cache-Longer"); }},
        {"Cache-B",
         [rewrite](const std::string& p) { // same size and inode, another time
             const auto time = fs::last_write_time(p);
             fs::last_write_time(rewrite(p, "Cache-B"), time + std::chrono::seconds(5));
         }},
        {"Cache-C",
         [rewrite](const std::string& p) { // same size and time, put in place by renaming
             fs::last_write_time(rewrite(p + ".new", "Cache-C"), fs::last_write_time(p));
             fs::rename(p + ".new", p);
         }},
    };
    for (const bool addFont : {true, false})
        for (const auto& [expected, change] : changes) {
            SCOPED_TRACE(expected + (addFont ? " AddFont" : " LoadFont"));
            const std::string path = Written("cache-" + expected + ".ttf", "Cache-A");
            TFontCache cache(1 << 20);
            const auto load = [&] {
                return addFont ? ReadFontFile(cache, path) : OpenFontFile(cache, path, 0);
            };
            const TicFont first = load();
            change(path);
            const TicFont second = load();
            EXPECT_EQ(second.Name(), expected);
            // A hit shares the bytes and the shaped runs; a changed file's entry replaces the old one.
            EXPECT_EQ(second.FileData().data() == first.FileData().data(), expected == "Cache-A");
            EXPECT_EQ(&second.Shapes() == &first.Shapes(), expected == "Cache-A");
            EXPECT_EQ(cache.Count(), 1u);
        }
}

TEST(FontCache, KeepsFacesApartNeitherFailuresNorMoreThanItsBound) {
    const std::string a = Written("cache-a.ttf", "Cache-A"), b = Written("cache-b.ttf", "Cache-B");
    TFontCache cache(2 * fs::file_size(a));
    const TicFont kept = ReadFontFile(cache, a); // AddFont's rules and face 0 are two entries
    OpenFontFile(cache, a, 0);
    EXPECT_THROW(OpenFontFile(cache, a, 1), EPDFError);
    EXPECT_FALSE(ReadFontFile(cache, a + ".missing").Valid());
    ReadFontFile(cache, a);    // now the most recently used
    OpenFontFile(cache, b, 0); // so face 0 of a goes
    EXPECT_EQ(cache.Count(), 2u);
    EXPECT_EQ(ReadFontFile(cache, a).FileData().data(), kept.FileData().data());
}

// Each glyph set and character map is packed once, and every copy of the cached font finds it; what
// is packed inflates to the program itself.
TEST(FontCache, PacksEachProgramOnceForEveryCopy) {
    const std::string path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (!fs::exists(path)) GTEST_SKIP() << path << " is not installed";
    TFontCache cache(64u << 20);
    const TicFont first = OpenFontFile(cache, path, 0), second = OpenFontFile(cache, path, 0);
    const uint16_t a = first.GlyphOfUnicode('a'), b = first.GlyphOfUnicode('b'),
                   c = first.GlyphOfUnicode('c');
    const std::vector<TCmapEntry> map = {{'a', a}, {'b', b}};
    struct TCase {
        const TicFont& Font;
        std::vector<uint16_t> Glyphs;
        std::vector<TCmapEntry> Cmap;
        int SameAs; // the earlier case whose program this one shares, or -1
    };
    const TCase cases[] = {
        {first, {0, a, b}, map, -1}, {second, {0, a, b}, map, 0}, {second, {0, a, b, c}, map, -1},
        {first, {0, a, b}, {}, -1},  {first, {}, {}, -1}, // the whole face
    };
    std::vector<std::shared_ptr<const TPackedProgram>> packed;
    for (const TCase& t : cases) {
        SCOPED_TRACE(packed.size());
        packed.push_back(PackedProgram(t.Font, t.Glyphs, t.Cmap, false, true));
        const TFontProgram program =
            t.Glyphs.empty() ? WholeProgram(t.Font) : SubsetProgram(t.Font, t.Glyphs, t.Cmap, false, true);
        const std::span<const uint8_t> bytes = program.Bytes();
        EXPECT_EQ(testing::Inflate(packed.back()->Deflated), std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(packed.back()->Length, bytes.size());
        EXPECT_EQ(packed.back()->Subset, !t.Glyphs.empty());
        for (std::size_t i = 0; i + 1 < packed.size(); ++i)
            EXPECT_EQ(packed[i] == packed.back(), static_cast<int>(i) == t.SameAs);
    }
}

// Memos keep within their own bound and, all together, within the process's: one that is full
// starts over. Each step keeps a value of some size in memo a (bound 16 MiB) or b (1 GiB).
TEST(FontMemo, KeepsWithinItsOwnBoundAndTheProcesses) {
    constexpr std::size_t kMiB = 1u << 20;
    ASSERT_EQ(kProcessMemoBytes, 32 * kMiB); // the steps are written for it
    if (!TakeMemoBytes(kProcessMemoBytes)) GTEST_SKIP() << "other memos of this process hold bytes";
    ReturnMemoBytes(kProcessMemoBytes);
    const struct {
        char Memo;
        std::string Key;
        std::size_t MiB;
        std::string A, B; // the keys each memo holds afterwards
    } steps[] = {
        {'a', "1", 4, "1", ""},    {'a', "2", 4, "12", ""}, {'a', "3", 4, "123", ""},
        {'a', "4", 4, "1234", ""}, {'a', "5", 4, "5", ""},  // a's own bound
        {'b', "6", 27, "5", "6"},  {'b', "7", 2, "5", "7"}, // the process's
        {'a', "8", 5, "5", "7"},                            // over a quarter
        {'a', "5", 1, "5", "7"},                            // kept already
    };
    {
        TFontMemo<int> a(16 * kMiB), b(1024 * kMiB);
        for (const auto& step : steps) {
            SCOPED_TRACE(step.Key);
            (step.Memo == 'a' ? a : b).Keep(step.Key, 0, step.MiB * kMiB);
            for (const auto& [memo, keys] : {std::pair{&a, step.A}, std::pair{&b, step.B}})
                for (const char* key : {"1", "2", "3", "4", "5", "6", "7", "8"})
                    EXPECT_EQ(memo->Visit(key, [](int) {}), keys.find(key) != std::string::npos) << key;
        }
    }
    EXPECT_TRUE(TakeMemoBytes(kProcessMemoBytes)); // gone memos gave their bytes back
    ReturnMemoBytes(kProcessMemoBytes);
}

} // namespace
} // namespace pagelith
