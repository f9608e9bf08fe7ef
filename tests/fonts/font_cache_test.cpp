// The process's font cache: a font file is read once while it stays the same, read again when it
// changes, and kept within its byte bound.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "base/pdf_error.h"
#include "fonts/font_cache.h"
#include "fonts/synthetic_font.h"

namespace pagelith {
namespace {

namespace fs = std::filesystem;

std::string OutputPath(const std::string& name) {
    fs::create_directories(PAGELITH_TEST_OUTPUT_DIR);
    return std::string(PAGELITH_TEST_OUTPUT_DIR) + "/" + name;
}

// Names of equal length make files of equal size, so only the stamp's other fields can tell them apart.
void WriteNamed(const std::string& path, const std::string& name) {
    test::TSyntheticFont font;
    font.Names = {{1, 0, 0, 6, name}};
    font.WriteTo(path);
}

TicFont Load(TFontCache& cache, const std::string& path, bool addFont) {
    return addFont ? ReadFontFile(cache, path) : OpenFontFile(cache, path, 0);
}

struct TChangeCase {
    const char* Name;
    std::function<void(const std::string& path)> Change; // between the two loads
    std::string SecondName;                              // the face the second load sees
};

std::vector<TChangeCase> ChangeCases() {
    const auto later = [](const std::string& path) {
        fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(5));
    };
    return {
        {"Unchanged", [](const std::string&) {}, "Cache-A"},
        {"RewrittenLonger", [](const std::string& p) { WriteNamed(p, "Cache-Longer"); }, "Cache-Longer"},
        {"RewrittenSameSize",
         [later](const std::string& p) {
             WriteNamed(p, "Cache-B");
             later(p);
         },
         "Cache-B"},
        // Same size and time, another file: a copy put in place by renaming it, as installers do.
        {"ReplacedByRename",
         [](const std::string& p) {
             const auto time = fs::last_write_time(p);
             WriteNamed(p + ".new", "Cache-C");
             fs::last_write_time(p + ".new", time);
             fs::rename(p + ".new", p);
         },
         "Cache-C"},
    };
}

TEST(FontCache, AFileIsReadAgainOnlyWhenItChanged) {
    for (const bool addFont : {true, false})
        for (const TChangeCase& c : ChangeCases()) {
            SCOPED_TRACE(std::string(c.Name) + (addFont ? " AddFont" : " LoadFont"));
            const std::string path = OutputPath(std::string("cache-") + c.Name + ".ttf");
            WriteNamed(path, "Cache-A");
            TFontCache cache(1 << 20);
            const TicFont first = Load(cache, path, addFont);
            ASSERT_TRUE(first.Valid());
            c.Change(path);
            const TicFont second = Load(cache, path, addFont);
            EXPECT_EQ(second.Name(), c.SecondName);
            // A hit shares the bytes read the first time; a changed file's entry takes the old one's place.
            EXPECT_EQ(second.FileData().data() == first.FileData().data(), c.SecondName == "Cache-A");
            EXPECT_EQ(cache.Count(), 1u);
        }
}

TEST(FontCache, RulesAndFacesAreKeptApartAndFailuresAreNotKept) {
    const std::string path = OutputPath("cache-rules.ttf");
    WriteNamed(path, "Cache-A");
    TFontCache cache(1 << 20);
    EXPECT_TRUE(ReadFontFile(cache, path).Valid());
    const TicFont one = OpenFontFile(cache, path, 0), two = OpenFontFile(cache, path, 0);
    EXPECT_EQ(two.Name(), "Cache-A");
    EXPECT_EQ(cache.Count(), 2u);
    // Documents share the file's bytes, never the runs another one shaped.
    EXPECT_EQ(one.FileData().data(), two.FileData().data());
    EXPECT_NE(&one.Shapes(), &two.Shapes());
    EXPECT_THROW(OpenFontFile(cache, path, 1), EPDFError);
    EXPECT_THROW(OpenFontFile(cache, path, -1), EPDFError);
    EXPECT_THROW(OpenFontFile(cache, OutputPath("cache-missing.ttf"), 0), EPDFError);
    EXPECT_FALSE(ReadFontFile(cache, OutputPath("cache-missing.ttf")).Valid());
    EXPECT_EQ(cache.Count(), 2u);
}

TEST(FontCache, TheLeastRecentlyUsedGoBeyondTheBound) {
    const std::string a = OutputPath("cache-lru-a.ttf"), b = OutputPath("cache-lru-b.ttf"),
                      c = OutputPath("cache-lru-c.ttf");
    for (const auto& [path, name] : {std::pair{a, "Cache-A"}, {b, "Cache-B"}, {c, "Cache-C"}})
        WriteNamed(path, name);
    const std::size_t size = fs::file_size(a);
    TFontCache cache(2 * size); // room for two
    const TicFont kept = OpenFontFile(cache, a, 0);
    OpenFontFile(cache, b, 0);
    OpenFontFile(cache, a, 0); // a is now the most recent
    OpenFontFile(cache, c, 0); // so b goes
    EXPECT_EQ(cache.Count(), 2u);
    EXPECT_EQ(cache.Bytes(), 2 * size);
    EXPECT_EQ(OpenFontFile(cache, a, 0).FileData().data(), kept.FileData().data());
    EXPECT_EQ(cache.Count(), 2u);

    TFontCache tiny(size - 1); // a font larger than the bound is loaded but not kept
    EXPECT_TRUE(OpenFontFile(tiny, a, 0).Valid());
    EXPECT_EQ(tiny.Count(), 0u);
}

} // namespace
} // namespace pagelith
