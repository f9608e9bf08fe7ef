#include "fonts/truetype_subset.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "base/byte_reader.h"
#include "fonts/glyf_font.h"
#include "fonts/sfnt_view.h"
#include "fonts/ticfont.h"
#include "support/pdf_check.h"

namespace pagelith {
namespace {

using test::CompositeOutline;
using test::SimpleOutline;
using test::TGlyfFont;

const std::string kFontDir = "/usr/share/fonts/truetype/dejavu/";
const std::string kInvoiceText =
    "INVOICE No. 2024-0815 Date: 12/03/2024 Total due: $1,234.56 (net 30 days) "
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 #%&*+;=?@!";
const std::string kPython = "/usr/bin/python3";

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint16_t> GlyphsOf(const TicFont& font, std::string_view text) {
    std::set<uint16_t> glyphs;
    for (char c : text) glyphs.insert(font.GlyphOf(static_cast<uint8_t>(c)));
    return {glyphs.begin(), glyphs.end()};
}

uint16_t NumGlyphs(std::span<const uint8_t> font) {
    TByteReader r(font);
    const uint16_t tables = r.U16At(4).value_or(0);
    for (uint32_t i = 0; i < tables; ++i)
        if (r.U32At(12 + 16 * i) == 0x6D617870) // 'maxp'
            return r.U16At(*r.U32At(12 + 16 * i + 8) + 4).value_or(0);
    return 0;
}

// 'A', 'B', ... on glyphs 1, 2, ..., as the synthetic fonts map them.
std::vector<TCmapEntry> Alphabet() {
    std::vector<TCmapEntry> cmap;
    for (char32_t c = 'A'; c <= 'Z'; ++c) cmap.push_back({c, static_cast<uint16_t>(c - 'A' + 1)});
    return cmap;
}

std::vector<uint8_t> SubsetTrueType(std::span<const uint8_t> font, std::span<const uint16_t> glyphs,
                                    const std::vector<TCmapEntry>& cmap = Alphabet(), bool symbol = false) {
    const auto view = TSfntView::Face(font, 0);
    return view ? pagelith::SubsetTrueType(*view, glyphs, cmap, symbol) : std::vector<uint8_t>{};
}

// The text's characters on the glyphs the font maps them to.
std::vector<TCmapEntry> CmapOf(const TicFont& font, std::string_view text) {
    std::vector<TCmapEntry> cmap;
    for (char c : text) cmap.push_back({static_cast<uint8_t>(c), font.GlyphOf(static_cast<uint8_t>(c))});
    return cmap;
}

bool HaveFontTools() {
    return std::filesystem::exists(kPython) && testing::Run(kPython + " -c 'import fontTools'") == 0;
}

std::string HelperCommand(const std::string& mode) {
    return kPython + " '" + PAGELITH_SOURCE_DIR + "/tests/fonts/check_subset.py' " + mode;
}

class DejaVuSubset : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        path_ = kFontDir + GetParam();
        original_ = ReadFile(path_);
        if (original_.empty()) GTEST_SKIP() << path_ << " is not installed";
        ASSERT_TRUE(font_.LoadFromBytes(original_));
    }
    std::string path_;
    std::vector<uint8_t> original_;
    TicFont font_;
};

TEST_P(DejaVuSubset, KeepsGlyphIdsAndWidthsOfTheTextAndShrinks) {
    const auto glyphs = GlyphsOf(font_, kInvoiceText);
    const auto subset = SubsetTrueType(original_, glyphs, CmapOf(font_, kInvoiceText));
    TicFont reloaded;
    ASSERT_TRUE(reloaded.LoadFromBytes(subset));
    EXPECT_EQ(reloaded.Name(), font_.Name());
    EXPECT_EQ(reloaded.UnitsPerEm(), font_.UnitsPerEm());
    EXPECT_EQ(reloaded.Ascent(), font_.Ascent());
    for (char c : kInvoiceText) {
        const auto b = static_cast<uint8_t>(c);
        EXPECT_EQ(reloaded.GlyphOf(b), font_.GlyphOf(b)) << c;
        EXPECT_EQ(reloaded.CharWidth(b), font_.CharWidth(b)) << c;
    }
    EXPECT_EQ(reloaded.GlyphOf(0xE9), 0); // é is not in the text
    EXPECT_LT(subset.size() * 10, original_.size());
    EXPECT_EQ(NumGlyphs(subset), glyphs.back() + 1);
}

TEST_P(DejaVuSubset, IsStableAndIdempotent) {
    const auto glyphs = GlyphsOf(font_, "Hello, World");
    const auto cmap = CmapOf(font_, "Hello, World");
    const auto subset = SubsetTrueType(original_, glyphs, cmap);
    ASSERT_FALSE(subset.empty());
    EXPECT_EQ(SubsetTrueType(original_, glyphs, cmap), subset);
    EXPECT_EQ(SubsetTrueType(subset, glyphs, cmap), subset);
    // Out-of-range and repeated IDs change nothing.
    auto noisy = glyphs;
    noisy.insert(noisy.end(), {glyphs[0], 0xFFFF, static_cast<uint16_t>(font_.MetricsCount() + 100)});
    EXPECT_EQ(SubsetTrueType(original_, noisy, cmap), subset);
}

TEST_P(DejaVuSubset, FewGlyphsTakeWellUnderAMillisecond) {
    const auto glyphs = GlyphsOf(font_, "Total 42");
    constexpr int kRounds = 20;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        ASSERT_FALSE(SubsetTrueType(original_, glyphs, CmapOf(font_, "Total 42")).empty());
    const auto each = (std::chrono::steady_clock::now() - start) / kRounds;
    // Generous enough for a sanitized debug build on a busy machine.
    EXPECT_LT(each, std::chrono::milliseconds(20));
}

INSTANTIATE_TEST_SUITE_P(Fonts, DejaVuSubset, ::testing::Values("DejaVuSans.ttf", "DejaVuSans-Bold.ttf"),
                         [](const auto& info) {
                             return info.param == "DejaVuSans.ttf" ? "Sans" : "SansBold";
                         });

// Code points to keep, and whether the subset needs a format 12 subtable for them.
struct TFontToolsCase {
    const char* Name;
    const char* Font;
    std::vector<uint32_t> Codes;
};

class FontToolsCheck : public ::testing::TestWithParam<TFontToolsCase> {};

// fontTools reads the subset, its outlines, metrics and cmap agree with the original's, every other
// glyph is empty and the checksums hold.
TEST_P(FontToolsCheck, SubsetAgreesWithOriginal) {
    const TFontToolsCase& c = GetParam();
    const std::string path = kFontDir + c.Font;
    const auto original = ReadFile(path);
    if (original.empty()) GTEST_SKIP() << path << " is not installed";
    if (!HaveFontTools()) GTEST_SKIP() << "fontTools is not available to " << kPython;

    std::string codes, out;
    for (uint32_t code : c.Codes) codes += " " + std::to_string(code);
    ASSERT_EQ(testing::Run(HelperCommand("glyphs '" + path + "'" + codes), &out), 0) << out;
    std::vector<uint16_t> glyphs;
    std::istringstream lines(out);
    for (uint32_t g; lines >> g;) glyphs.push_back(static_cast<uint16_t>(g));
    ASSERT_EQ(glyphs.size(), c.Codes.size()) << out;

    std::vector<TCmapEntry> cmap;
    for (std::size_t i = 0; i < glyphs.size(); ++i) cmap.push_back({c.Codes[i], glyphs[i]});
    const auto subset = SubsetTrueType(original, glyphs, cmap);
    ASSERT_FALSE(subset.empty());
    const auto subsetPath = testing::OutputPath(std::string("subset-") + c.Name + ".ttf");
    std::ofstream(subsetPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(subset.data()), static_cast<std::streamsize>(subset.size()));
    EXPECT_EQ(testing::Run(HelperCommand("check '" + path + "' '" + subsetPath.string() + "'" + codes), &out),
              0)
        << out;
}

std::vector<uint32_t> Ascii(std::string_view text) {
    return {text.begin(), text.end()};
}

INSTANTIATE_TEST_SUITE_P(
    DejaVu, FontToolsCheck,
    ::testing::Values(TFontToolsCase{"Invoice", "DejaVuSans.ttf", Ascii(kInvoiceText)},
                      TFontToolsCase{"InvoiceBold", "DejaVuSans-Bold.ttf", Ascii(kInvoiceText)},
                      // Aringacute is Aring (simple) and acute; U+1FAD nests composites four deep.
                      TFontToolsCase{"Composites", "DejaVuSans.ttf", {0x1FA, 0xC9, 0x1FAD, 0x41}},
                      // Old Italic letters lie beyond the BMP.
                      TFontToolsCase{"Supplementary", "DejaVuSans.ttf", {0x10300, 0x10301, 0x41, 0x20AC}},
                      TFontToolsCase{"NotdefOnly", "DejaVuSans.ttf", {}}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Fonts no one would ship: the result is empty or a font that reads back the same way. ---

std::vector<uint8_t> WithBytes(std::vector<uint8_t> font, std::size_t pos, std::vector<uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size() && pos + i < font.size(); ++i) font[pos + i] = bytes[i];
    return font;
}

void ExpectEmptyOrReadable(std::span<const uint8_t> font, std::span<const uint16_t> glyphs,
                           const std::string& what) {
    const auto subset = SubsetTrueType(font, glyphs);
    if (subset.empty()) return;
    EXPECT_EQ(SubsetTrueType(subset, glyphs), subset) << what;
    EXPECT_LE(subset.size(), 4 * font.size() + 4096) << what;
}

TEST(TrueTypeSubset, SyntheticCompositesKeepTheirComponents) {
    TGlyfFont f;
    // 4 is a composite of 3 and 5, and 5 one of 1: keeping 4 keeps 1, 3 and 5 but not 2.
    f.Outlines = {SimpleOutline(),          SimpleOutline(),       SimpleOutline(), SimpleOutline(),
                  CompositeOutline({3, 5}), CompositeOutline({1}), SimpleOutline()};
    const auto font = f.Build();
    const std::vector<uint16_t> glyphs = {4};
    const auto subset = SubsetTrueType(font, glyphs);
    ASSERT_FALSE(subset.empty());
    EXPECT_EQ(NumGlyphs(subset), 6);
    TicFont reloaded;
    ASSERT_TRUE(reloaded.LoadFromBytes(subset));
    EXPECT_EQ(reloaded.GlyphOf('D'), 4);
    EXPECT_EQ(reloaded.GlyphOf('A'), 1); // a component, mapped as before
    EXPECT_EQ(reloaded.GlyphOf('B'), 0); // glyph 2 is dropped
    EXPECT_EQ(reloaded.GlyphOf('F'), 0); // beyond the new numGlyphs
    EXPECT_EQ(reloaded.CharWidth('D'), 504);
}

TEST(TrueTypeSubset, ShortLocaAndSharedLastMetric) {
    TGlyfFont f;
    f.Outlines = {SimpleOutline(), SimpleOutline(), SimpleOutline(), SimpleOutline()};
    f.LocFormat = 0;
    f.LongMetrics = 2; // glyphs 2 and 3 share glyph 1's advance
    const std::vector<uint16_t> glyphs = {3};
    const auto subset = SubsetTrueType(f.Build(), glyphs);
    TicFont reloaded;
    ASSERT_TRUE(reloaded.LoadFromBytes(subset));
    EXPECT_EQ(reloaded.MetricsCount(), 2);
    EXPECT_EQ(reloaded.CharWidth('C'), 501); // the shared advance stays, though glyph 1 is dropped
}

TEST(TrueTypeSubset, SymbolFontKeepsItsSymbolMap) {
    TGlyfFont f;
    f.Outlines = {SimpleOutline(), SimpleOutline(), SimpleOutline(), SimpleOutline()};
    f.Cmap = test::Format4Cmap({{0xF041, 0xF043, static_cast<uint16_t>(1 - 0xF041)}}, 0);
    const std::vector<uint16_t> glyphs = {2};
    const auto subset = SubsetTrueType(f.Build(), glyphs, {{0xF041, 1}, {0xF042, 2}}, true);
    TicFont reloaded;
    ASSERT_TRUE(reloaded.LoadFromBytes(subset));
    EXPECT_EQ(reloaded.GlyphOf('B'), 2);
    EXPECT_EQ(reloaded.GlyphOf('A'), 0); // its glyph is not kept
    // One (3,0) record and no Unicode one: the cmap has a single subtable.
    const TByteReader r(subset);
    std::optional<uint32_t> cmap;
    for (uint32_t i = 0; i < r.U16At(4).value_or(0); ++i)
        if (r.U32At(12 + 16 * i) == 0x636D6170) cmap = r.U32At(12 + 16 * i + 8); // 'cmap'
    ASSERT_TRUE(cmap);
    EXPECT_EQ(r.U16At(*cmap + 2), 1);
    EXPECT_EQ(r.U16At(*cmap + 4), 3);
    EXPECT_EQ(r.U16At(*cmap + 6), 0);
}

TEST(TrueTypeSubset, LastOfRepeatedTablesCounts) {
    TGlyfFont f;
    f.Outlines = {SimpleOutline(), SimpleOutline(), SimpleOutline()};
    auto font = f.Build();
    // The first entry, the cmap, renamed: a head table too short to be one comes before the real one.
    font = WithBytes(font, 12, {'h', 'e', 'a', 'd'});
    const std::vector<uint16_t> glyphs = {1};
    EXPECT_FALSE(SubsetTrueType(font, glyphs).empty());
}

struct TBrokenCase {
    const char* Name;
    std::vector<uint8_t> Font;
    std::vector<uint16_t> Glyphs;
    bool Empty; // otherwise the subset must be readable
};

std::vector<uint8_t> Chain(uint16_t length) {
    TGlyfFont f;
    f.Outlines = {SimpleOutline(), SimpleOutline()};
    for (uint16_t i = 2; i < length + 2; ++i)
        f.Outlines.push_back(CompositeOutline({static_cast<uint16_t>(i - 1)}));
    return f.Build();
}

// Changes to a small good font: a plain glyph 1, glyph 2 a composite of it, a plain glyph 3.
struct TChange {
    const char* Name;
    void (*Change)(TGlyfFont&);
    std::vector<uint16_t> Glyphs;
    bool Empty;
};

const TChange kChanges[] = {
    {"Good", [](TGlyfFont&) {}, {2}, false},
    {"Cycle", [](TGlyfFont& f) { f.Outlines[1] = CompositeOutline({2}); }, {2}, true},
    {"SelfReference", [](TGlyfFont& f) { f.Outlines[2] = CompositeOutline({2}); }, {2}, true},
    {"ComponentOutsideFont",
     [](TGlyfFont& f) {
         f.Outlines[2] = CompositeOutline({1, 999});
     },
     {2},
     true},
    // Word arguments announced, two bytes present.
    {"TruncatedComposite",
     [](TGlyfFont& f) { f.Outlines[2] = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1}; },
     {2},
     true},
    {"OutlineShorterThanHeader", [](TGlyfFont& f) { f.Outlines[1].resize(4); }, {1}, true},
    {"BrokenUnusedGlyph", [](TGlyfFont& f) { f.Outlines[3].resize(4); }, {2}, false},
    {"HugeNumGlyphs", [](TGlyfFont& f) { f.NumGlyphs = 0xFFFF; }, {2}, true},
    {"NumGlyphsZero", [](TGlyfFont& f) { f.Extra["maxp"] = {0, 1, 0, 0, 0, 0}; }, {2}, true},
    {"LongMetricsBeyondHmtx",
     [](TGlyfFont& f) {
         f.Extra["hmtx"] = {0, 1};
     },
     {2},
     true},
    {"LocaFormat2", [](TGlyfFont& f) { f.LocFormat = 2; }, {2}, true},
    // The caller subsets by the outlines a face has, whatever its header says.
    {"CffHeader", [](TGlyfFont& f) { f.Version = 0x4F54544F; }, {2}, false},
    {"Collection", [](TGlyfFont& f) { f.Version = 0x74746366; }, {2}, true},
    {"AppleTrue", [](TGlyfFont& f) { f.Version = 0x74727565; }, {2}, false},
    {"NoGlyf", [](TGlyfFont& f) { f.Extra["glyf"] = {}; }, {2}, true},
    {"NoCmap", [](TGlyfFont& f) { f.Extra["cmap"] = {}; }, {2}, false},
    {"ShortHead", [](TGlyfFont& f) { f.Extra["head"] = std::vector<uint8_t>(40, 0); }, {2}, true},
    {"ShortPost",
     [](TGlyfFont& f) {
         f.Extra["post"] = {0, 3};
     },
     {2},
     false},
    // Overlapping and whole-plane cmap ranges are read within bounds and without long walks.
    {"OverlappingFormat4",
     [](TGlyfFont& f) {
         f.Cmap = test::Format4Cmap({{0, 0xFFFE, 2}, {5, 0xFFFE, 1}});
     },
     {2},
     false},
    {"Format12WholePlane",
     [](TGlyfFont& f) {
         f.Cmap = test::Format12Cmap({{0, 0x10FFFF, 0}, {0x110000, 0x110001, 1}});
     },
     {1, 2, 3},
     false},
    {"CmapOffsetsPastEnd",
     [](TGlyfFont& f) { f.Cmap = {0, 0, 0xFF, 0xFF, 0, 3, 0, 1, 0xFF, 0xFF, 0xFF, 0xF0}; },
     {2},
     false},
};

std::vector<TBrokenCase> BrokenCases() {
    TGlyfFont base;
    base.Outlines = {SimpleOutline(), SimpleOutline(), CompositeOutline({1}), SimpleOutline()};
    std::vector<TBrokenCase> cases;
    for (const TChange& c : kChanges) {
        TGlyfFont f = base;
        c.Change(f);
        cases.push_back({c.Name, f.Build(), c.Glyphs, c.Empty});
    }
    const auto good = base.Build();
    // The first directory entry (cmap) points far past the end: the subset writes a map of its own.
    cases.push_back({"TableOutsideFile", WithBytes(good, 12 + 8, {0x7F, 0, 0, 0}), {2}, false});
    cases.push_back({"EmptyFile", {}, {2}, true});
    cases.push_back({"HeaderOnly", std::vector<uint8_t>(good.begin(), good.begin() + 12), {2}, true});
    cases.push_back({"DepthWithinLimit", Chain(10), {11}, false});
    cases.push_back({"DepthBomb", Chain(2000), {2001}, true});
    return cases;
}

void PrintTo(const TBrokenCase& c, std::ostream* os) {
    *os << c.Name;
}

class BrokenFont : public ::testing::TestWithParam<TBrokenCase> {};

TEST_P(BrokenFont, GivesAnEmptyResultOrAReadableFont) {
    const TBrokenCase& c = GetParam();
    const auto subset = SubsetTrueType(c.Font, c.Glyphs);
    EXPECT_EQ(subset.empty(), c.Empty);
    if (subset.empty()) return;
    EXPECT_EQ(SubsetTrueType(subset, c.Glyphs), subset);
    EXPECT_LE(subset.size(), 4 * c.Font.size() + 4096);
    const auto kept = NumGlyphs(subset);
    EXPECT_EQ(kept, *std::max_element(c.Glyphs.begin(), c.Glyphs.end()) + 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenFont, ::testing::ValuesIn(BrokenCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(TrueTypeSubset, LocaPastGlyfGivesNothing) {
    TGlyfFont f;
    f.Outlines = {SimpleOutline(), SimpleOutline(), SimpleOutline()};
    auto font = f.Build();
    // The loca entry that ends glyph 1, found by value (16) in the long loca table.
    std::optional<uint32_t> loca;
    const TByteReader r(font);
    for (uint32_t i = 0; i < r.U16At(4).value_or(0); ++i)
        if (r.U32At(12 + 16 * i) == 0x6C6F6361) loca = r.U32At(12 + 16 * i + 8); // 'loca'
    ASSERT_TRUE(loca);
    font = WithBytes(font, *loca + 8, {0, 1, 0, 0});
    const std::vector<uint16_t> one = {1}, two = {2};
    EXPECT_TRUE(SubsetTrueType(font, one).empty());
    EXPECT_TRUE(SubsetTrueType(font, two).empty());
}

TEST(TrueTypeSubset, TruncatedFontsNeverReadPastTheirEnd) {
    TGlyfFont f;
    f.Outlines = {SimpleOutline(), CompositeOutline({2}), SimpleOutline(), SimpleOutline()};
    const auto small = f.Build();
    const std::vector<uint16_t> glyphs = {1, 3};
    for (std::size_t n = 0; n < small.size(); ++n) {
        // A copy of exactly n bytes, so that the sanitizer sees any read past it.
        const std::vector<uint8_t> cut(small.begin(), small.begin() + static_cast<std::ptrdiff_t>(n));
        ExpectEmptyOrReadable(cut, glyphs, "synthetic cut at " + std::to_string(n));
    }
    const auto dejaVu = ReadFile(kFontDir + "DejaVuSans.ttf");
    if (dejaVu.empty()) return;
    const std::vector<uint16_t> text = {36, 68, 444, 3000};
    for (std::size_t n = 0; n < dejaVu.size(); n += 7919) {
        const std::vector<uint8_t> cut(dejaVu.begin(), dejaVu.begin() + static_cast<std::ptrdiff_t>(n));
        ExpectEmptyOrReadable(cut, text, "DejaVuSans cut at " + std::to_string(n));
    }
}

} // namespace
} // namespace pagelith
