// TIFF reader: fixture pictures decoded pixel by pixel, every message of the tag and picture
// checks, picture selection and counting, and bounds against hostile headers.
#include "images/readers/tif_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "images/readers/ccitt_decoder.h"
#include "images/readers/tif_lzw.h"
#include "images/readers/tif_packbits.h"

namespace pagelith {
namespace {

using TBytes = std::vector<uint8_t>;

std::string FixturePath(const std::string& name) {
    return std::string(PAGELITH_SOURCE_DIR) + "/tests/images/readers/tif/" + name;
}

TBytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), {});
}

struct TRgbPicture {
    int32_t width = 0, height = 0;
    TBytes rgb; // red, green, blue per pixel, rows top down
};

TRgbPicture ReadPpm(const std::string& name) {
    const TBytes file = ReadFile(FixturePath(name + ".ppm"));
    TRgbPicture p;
    std::string head(file.begin(), file.begin() + std::min<std::size_t>(file.size(), 32));
    int consumed = 0;
    std::sscanf(head.c_str(), "P6\n%d %d\n255\n%n", &p.width, &p.height, &consumed);
    p.rgb.assign(file.begin() + consumed, file.end());
    return p;
}

// The bitmap's colours, whatever its pixel format.
TRgbPicture ToRgb(const TBMPImage& bmp) {
    TRgbPicture p{bmp.Width(), bmp.Height(), {}};
    const uint32_t bits = TBMPImage::BitsOf(bmp.Format());
    for (int32_t y = 0; y < bmp.Height(); ++y) {
        const auto row = bmp.Row(y);
        for (int32_t x = 0; x < bmp.Width(); ++x) {
            if (bits == 24) {
                p.rgb.insert(p.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
                continue;
            }
            uint32_t index = bits == 8   ? row[x]
                             : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                         : (row[x / 8] >> (7 - x % 8)) & 1;
            const TRGB c = index < bmp.Palette.size() ? bmp.Palette[index] : TRGB{1, 2, 3};
            p.rgb.insert(p.rgb.end(), {c.R, c.G, c.B});
        }
    }
    return p;
}

std::string ErrorOf(auto&& action) {
    try {
        action();
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "";
}

// ---------------------------------------------------------------------------------------------
// Fixtures made by make_tif_fixtures.py, each compared with the picture it was made from.

struct TFixture {
    const char* file;
    const char* expected;
    TPixelFormat format;
    uint16_t compression;
    uint32_t strips;
};

class TifFixture : public testing::TestWithParam<TFixture> {};

TEST_P(TifFixture, DecodesToThePictureItWasMadeFrom) {
    const TFixture& f = GetParam();
    TTIFImage tif;
    tif.LoadFromBytes(ReadFile(FixturePath(std::string(f.file) + ".tif")));
    EXPECT_EQ(tif.Compression(), f.compression);
    EXPECT_EQ(tif.StripCount(), f.strips);
    TBMPImage bmp;
    tif.AssignTo(bmp);
    EXPECT_EQ(bmp.Format(), f.format);
    const TRgbPicture want = ReadPpm(f.expected);
    const TRgbPicture got = ToRgb(bmp);
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    ASSERT_EQ(got.rgb.size(), want.rgb.size());
    for (std::size_t i = 0; i < want.rgb.size(); ++i)
        ASSERT_EQ(got.rgb[i], want.rgb[i]) << "pixel " << i / 3 / want.width << "," << i / 3 % want.width;
}

constexpr TPixelFormat k1 = TPixelFormat::Indexed1, k4 = TPixelFormat::Indexed4, k8 = TPixelFormat::Indexed8,
                       k24 = TPixelFormat::Rgb24;

const TFixture kFixtures[] = {
    {"bw_none", "bw", k1, 1, 1},
    {"bw_mw_none", "bw", k1, 1, 1},
    {"bw_none_lsb", "bw", k1, 1, 1},
    {"bw_lzw", "bw", k1, 5, 4},
    {"bw_mw_lzw", "bw", k1, 5, 4},
    {"bw_packbits_lsb", "bw", k1, 32773, 1},
    {"bw_lzw_lsb", "bw", k1, 5, 1},
    {"bw_mw_lzw_lsb", "bw", k1, 5, 1},
    {"bw_mw_packbits_lsb", "bw", k1, 32773, 1},
    {"bw_mh_pil", "bw", k1, 2, 1},
    {"bw_g3", "bw", k1, 3, 1},
    {"bw_mw_g3", "bw", k1, 3, 1},
    {"bw_g3_fill", "bw", k1, 3, 1},
    {"bw_mw_g3_fill", "bw", k1, 3, 1},
    {"bw_g3_2d", "bw", k1, 3, 1},
    {"bw_mw_g3_2d", "bw", k1, 3, 1},
    {"bw_g3_2d_fill", "bw", k1, 3, 5},
    {"bw_mw_g3_2d_fill", "bw", k1, 3, 5},
    {"bw_g4", "bw", k1, 4, 1},
    {"bw_mw_g4", "bw", k1, 4, 1},
    {"bw_g4_lsb", "bw", k1, 4, 1},
    {"bw_mw_g4_lsb", "bw", k1, 4, 1},
    {"bw_g4_strips", "bw", k1, 4, 5},
    {"bw_mw_g4_strips", "bw", k1, 4, 5},
    {"bw_g4_pil", "bw", k1, 4, 1},
    {"gray8_none", "gray8", k8, 1, 1},
    {"gray8_mw_none", "gray8", k8, 1, 1},
    {"gray8_lzw", "gray8", k8, 5, 4},
    {"gray8_mw_lzw", "gray8", k8, 5, 4},
    {"gray8_lzw2", "gray8", k8, 5, 1},
    {"gray8_mw_lzw2", "gray8", k8, 5, 1},
    {"gray8_packbits", "gray8", k8, 32773, 1},
    {"gray8_mw_packbits", "gray8", k8, 32773, 1},
    {"gray8_alpha_none", "gray8", k8, 1, 1},
    {"gray8_alpha_lzw", "gray8", k8, 5, 4},
    {"gray8_alpha_lzw2", "gray8", k8, 5, 1},
    {"gray8_alpha_packbits", "gray8", k8, 32773, 1},
    {"gray4_none", "gray4", k4, 1, 1},
    {"gray4_mw_none", "gray4", k4, 1, 1},
    {"gray4_lzw", "gray4", k4, 5, 4},
    {"gray4_mw_lzw", "gray4", k4, 5, 4},
    {"gray4_packbits", "gray4", k4, 32773, 1},
    {"gray4_mw_packbits", "gray4", k4, 32773, 1},
    {"rgb_none", "rgb", k24, 1, 1},
    {"rgb_none_be", "rgb", k24, 1, 6},
    {"rgb_lzw", "rgb", k24, 5, 1},
    {"rgb_lzw2", "rgb", k24, 5, 5},
    {"rgb_packbits", "rgb", k24, 32773, 4},
    {"rgb_lzw_pil", "rgb", k24, 5, 1},
    {"rgba_none", "rgb", k24, 1, 1},
    {"rgba_none_be", "rgb", k24, 1, 6},
    {"rgba_lzw", "rgb", k24, 5, 1},
    {"rgba_lzw2", "rgb", k24, 5, 5},
    {"rgba_packbits", "rgb", k24, 32773, 4},
    {"rgb16_le", "rgb", k24, 1, 1},
    {"rgb16_be", "rgb", k24, 1, 1},
    {"pal1_none", "pal1", k1, 1, 1},
    {"pal1_lzw", "pal1", k1, 5, 1},
    {"pal1_packbits", "pal1", k1, 32773, 8},
    {"pal4_none", "pal4", k4, 1, 1},
    {"pal4_lzw", "pal4", k4, 5, 1},
    {"pal4_packbits", "pal4", k4, 32773, 8},
    {"pal8_none", "pal8", k8, 1, 1},
    {"pal8_lzw", "pal8", k8, 5, 1},
    {"pal8_lzw2", "pal8", k8, 5, 1},
    {"pal8_packbits", "pal8", k8, 32773, 8},
    {"pal8_levels8", "pal8", k8, 1, 1},
    {"cmyk_none", "cmyk", k24, 1, 1},
    {"cmyk_lzw2", "cmyk", k24, 5, 1},
    {"cmyk_packbits", "cmyk", k24, 32773, 12},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, TifFixture, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<TFixture>& info) {
                             return std::string(info.param.file);
                         });

TEST(TifFixtures, SeveralPicturesAreSelectedAndCounted) {
    const char* expected[] = {"bw", "gray8", "rgb"};
    for (const char* file : {"multi3", "multi3_be", "multi3_pil"}) {
        SCOPED_TRACE(file);
        const TBytes bytes = ReadFile(FixturePath(std::string(file) + ".tif"));
        EXPECT_EQ(TTIFImage::CountPictures(bytes), 3u);
        for (int32_t n = 1; n <= 3; ++n) {
            TTIFImage tif;
            tif.PictureNumber = n;
            tif.LoadFromBytes(bytes);
            TBMPImage bmp;
            tif.AssignTo(bmp);
            EXPECT_EQ(ToRgb(bmp).rgb, ReadPpm(expected[n - 1]).rgb) << "picture " << n;
        }
        TTIFImage fourth;
        fourth.PictureNumber = 4;
        EXPECT_EQ(ErrorOf([&] { fourth.LoadFromBytes(bytes); }),
                  "TIFF file error - cannot find requested page");
    }
    EXPECT_EQ(TTIFImage::CountPictures(ReadFile(FixturePath("rgb_lzw.tif"))), 1u);
}

TEST(TifFixtures, GroupFourPassThroughFields) {
    const TBytes file = ReadFile(FixturePath("bw_g4.tif"));
    TTIFImage tif;
    tif.LoadFromBytes(file);
    EXPECT_EQ(tif.Width(), 203u);
    EXPECT_EQ(tif.Height(), 37u);
    EXPECT_EQ(tif.FillOrder(), 1);
    EXPECT_EQ(tif.Photometric(), 1);
    EXPECT_EQ(tif.XResolution(), 300u);
    EXPECT_EQ(tif.YResolution(), 300u);
    const auto strip = tif.StripData();
    ASSERT_FALSE(strip.empty());
    EXPECT_NE(std::search(file.begin(), file.end(), strip.begin(), strip.end()), file.end());

    TTIFImage lsb;
    lsb.LoadFromBytes(ReadFile(FixturePath("bw_g4_lsb.tif")));
    EXPECT_EQ(lsb.FillOrder(), 2);

    TTIFImage strips;
    strips.LoadFromBytes(ReadFile(FixturePath("bw_g4_strips.tif")));
    EXPECT_EQ(strips.StripCount(), 5u);
    EXPECT_GT(strips.StripData().size(), strip.size() / 2);
}

// ---------------------------------------------------------------------------------------------
// Files built here, for the checks no encoder would produce.

constexpr uint16_t kShort = 3, kLong = 4, kRational = 5;

struct TTag {
    uint16_t tag, type;
    std::vector<uint32_t> values; // RATIONAL: numerator, denominator pairs
};

struct TPicture {
    std::vector<TTag> tags;
    std::vector<TBytes> strips;
    bool stripTags = true; // adds StripOffsets and StripByteCounts as LONGs
};

struct TBuilt {
    TBytes bytes;
    std::vector<uint32_t> ifds;
};

class TWriter {
public:
    explicit TWriter(bool big) : big_(big) {}
    TBytes bytes;
    void Put16(uint32_t v) { Put(v, 2); }
    void Put32(uint32_t v) { Put(v, 4); }
    void Set32(std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (big_ ? 24 - 8 * i : 8 * i));
    }
    void Pad() {
        if (bytes.size() % 2) bytes.push_back(0);
    }

private:
    void Put(uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (big_ ? 8 * (n - 1 - i) : 8 * i)));
    }
    bool big_;
};

TBuilt Build(std::vector<TPicture> pictures, bool big = false) {
    TWriter w(big);
    w.bytes = big ? TBytes{'M', 'M'} : TBytes{'I', 'I'};
    w.Put16(42);
    w.Put32(0);
    TBuilt built;
    std::vector<std::size_t> nextFields;
    for (TPicture& p : pictures) {
        std::vector<uint32_t> offsets, counts;
        for (const TBytes& s : p.strips) {
            offsets.push_back(static_cast<uint32_t>(w.bytes.size()));
            counts.push_back(static_cast<uint32_t>(s.size()));
            w.bytes.insert(w.bytes.end(), s.begin(), s.end());
        }
        w.Pad();
        if (p.stripTags) {
            p.tags.push_back({273, kLong, offsets});
            p.tags.push_back({279, kLong, counts});
        }
        std::sort(p.tags.begin(), p.tags.end(), [](const TTag& a, const TTag& b) { return a.tag < b.tag; });
        std::vector<uint32_t> fields;
        for (const TTag& t : p.tags) {
            const std::size_t size = t.type == kShort ? 2 : 4;
            if (t.values.size() * size <= 4) {
                fields.push_back(UINT32_MAX);
                continue;
            }
            fields.push_back(static_cast<uint32_t>(w.bytes.size()));
            for (uint32_t v : t.values) size == 2 ? w.Put16(v) : w.Put32(v);
            w.Pad();
        }
        built.ifds.push_back(static_cast<uint32_t>(w.bytes.size()));
        w.Put16(static_cast<uint32_t>(p.tags.size()));
        for (std::size_t i = 0; i < p.tags.size(); ++i) {
            const TTag& t = p.tags[i];
            w.Put16(t.tag);
            w.Put16(t.type);
            w.Put32(static_cast<uint32_t>(t.type == kRational ? t.values.size() / 2 : t.values.size()));
            if (fields[i] != UINT32_MAX) {
                w.Put32(fields[i]);
            } else if (t.type == kShort) {
                w.Put16(t.values.empty() ? 0 : t.values[0]);
                w.Put16(t.values.size() > 1 ? t.values[1] : 0);
            } else {
                w.Put32(t.values.empty() ? 0 : t.values[0]);
            }
        }
        nextFields.push_back(w.bytes.size());
        w.Put32(0);
    }
    w.Set32(4, built.ifds.empty() ? 0 : built.ifds[0]);
    for (std::size_t i = 0; i + 1 < nextFields.size(); ++i) w.Set32(nextFields[i], built.ifds[i + 1]);
    built.bytes = std::move(w.bytes);
    return built;
}

// Points the next-IFD field of picture i (entry count known from the file) at target.
void SetNext(TBuilt& b, std::size_t i, uint32_t target, bool big = false) {
    const uint32_t at = b.ifds[i];
    const uint32_t entries =
        big ? (b.bytes[at] << 8) | b.bytes[at + 1] : b.bytes[at] | (b.bytes[at + 1] << 8);
    TWriter w(big);
    w.bytes = b.bytes;
    w.Set32(at + 2 + 12 * entries, target);
    b.bytes = w.bytes;
}

// A bilevel picture of 8 × rows pixels; one byte per row.
TPicture Bilevel(TBytes rows, std::vector<TTag> extra = {}) {
    TPicture p;
    p.tags = {{256, kShort, {8}}, {257, kShort, {static_cast<uint32_t>(rows.size())}}, {262, kShort, {1}}};
    p.tags.insert(p.tags.end(), extra.begin(), extra.end());
    p.strips = {std::move(rows)};
    return p;
}

// Replaces (or adds) a tag.
TPicture With(TPicture p, TTag tag) {
    std::erase_if(p.tags, [&](const TTag& t) { return t.tag == tag.tag; });
    p.tags.push_back(std::move(tag));
    return p;
}
TPicture Without(TPicture p, uint16_t tag) {
    std::erase_if(p.tags, [&](const TTag& t) { return t.tag == tag; });
    if (tag == 273 || tag == 279) {
        p.stripTags = false;
        p.tags.push_back({static_cast<uint16_t>(tag == 273 ? 279 : 273), kLong, {8}});
    }
    return p;
}

std::string LoadError(const TBytes& bytes, int32_t picture = 1) {
    TTIFImage tif;
    tif.PictureNumber = picture;
    return ErrorOf([&] { tif.LoadFromBytes(bytes); });
}

std::string AssignError(const TBytes& bytes) {
    TTIFImage tif;
    tif.LoadFromBytes(bytes);
    TBMPImage bmp;
    return ErrorOf([&] { tif.AssignTo(bmp); });
}

TBMPImage Decode(const TBytes& bytes) {
    TTIFImage tif;
    tif.LoadFromBytes(bytes);
    TBMPImage bmp;
    tif.AssignTo(bmp);
    return bmp;
}

TEST(TifHeader, RefusesWhatIsNotTiff) {
    const TBytes good = Build({Bilevel({0xF0})}).bytes;
    TBytes wrongOrder = good, wrongVersion = good;
    wrongOrder[1] = 'M';
    wrongVersion[2] = 43;
    for (const TBytes& bytes : {TBytes{}, TBytes{'I', 'I', 42}, wrongOrder, wrongVersion}) {
        EXPECT_EQ(LoadError(bytes), "File is not TIFF format");
        EXPECT_EQ(ErrorOf([&] { TTIFImage::CountPictures(bytes); }), "Data is not in TIFF format");
    }
    EXPECT_EQ(LoadError(good), "");
}

TEST(TifHeader, BothByteOrdersReadAlike) {
    for (bool big : {false, true}) {
        TPicture p = Bilevel({0xF0, 0x3C}, {{282, kRational, {300, 1}}, {283, kRational, {150, 1}}});
        TTIFImage tif;
        tif.LoadFromBytes(Build({p}, big).bytes);
        EXPECT_EQ(tif.Width(), 8u);
        EXPECT_EQ(tif.Height(), 2u);
        EXPECT_EQ(tif.XResolution(), 300u);
        EXPECT_EQ(tif.YResolution(), 150u);
        TBMPImage bmp;
        tif.AssignTo(bmp);
        EXPECT_EQ(bmp.Row(0)[0], 0xF0);
        EXPECT_EQ(bmp.Row(1)[0], 0x3C);
    }
}

struct TBadTag {
    TTag tag;
    const char* message;
};

TEST(TifTags, WrongFormsGiveTheTagsMessage) {
    const TBadTag cases[] = {
        {{256, kRational, {1, 1}}, "Error in TIFF file ImageWidth data"},
        {{256, kShort, {8, 8}}, "Error in TIFF file ImageWidth data"},
        {{257, 1, {2}}, "Error in TIFF file ImageLength data"},
        {{258, kLong, {1}}, "Error in TIFF file BitsPerSample data"},
        {{258, kShort, {}}, "Error in TIFF file BitsPerSample data"},
        {{259, kLong, {1}}, "Error in TIFF file Compression data"},
        {{259, kShort, {1, 1}}, "Error in TIFF file Compression data"},
        {{262, kLong, {1}}, "Error in TIFF file PhotometricInterpretation data"},
        {{266, kLong, {1}}, "Error in TIFF file FillOrder data"},
        {{273, kRational, {8, 1}}, "Error in TIFF file StripOffsets data"},
        {{277, kLong, {1}}, "Error in TIFF file SamplesPerPixel data"},
        {{278, kRational, {1, 1}}, "Error in TIFF file RowsPerStrip data"},
        {{279, 1, {1}}, "Error in TIFF file StripByteCounts data"},
        {{282, kLong, {300}}, "Error in TIFF file XResolution data"},
        {{283, kShort, {300}}, "Error in TIFF file YResolution data"},
        {{284, kLong, {1}}, "Error in TIFF file PlanarConfiguration data"},
        {{296, kLong, {2}}, "Error in TIFF file ResolutionUnit data"},
        {{296, kShort, {4}}, "Error in TIFF file ResolutionUnit data"},
        {{317, kLong, {2}}, "Error in TIFF file Predictor data"},
        {{320, kLong, {0, 0, 0, 0, 0, 0}}, "Error in TIFF file ColorMap data"},
        {{332, kLong, {1}}, "Error in TIFF file InkSet data"},
        {{334, kLong, {4}}, "Error in TIFF file NumberOfInks data"},
    };
    for (const TBadTag& c : cases) {
        SCOPED_TRACE(c.tag.tag);
        TPicture p = With(Bilevel({0xF0}), c.tag);
        if (c.tag.tag == 273 || c.tag.tag == 279) {
            p.stripTags = false;
            p.tags.push_back({static_cast<uint16_t>(c.tag.tag == 273 ? 279 : 273), kLong, {1}});
        }
        EXPECT_EQ(LoadError(Build({p}).bytes), c.message);
    }
}

TEST(TifTags, MissingTagsAndDefaults) {
    const TPicture p = Bilevel({0xF0});
    EXPECT_EQ(LoadError(Build({Without(p, 256)}).bytes), "TIFF file has missing image Width/Height");
    EXPECT_EQ(LoadError(Build({Without(p, 257)}).bytes), "TIFF file has missing image Width/Height");
    EXPECT_EQ(LoadError(Build({With(p, {256, kShort, {0}})}).bytes),
              "TIFF file has missing image Width/Height");
    EXPECT_EQ(LoadError(Build({Without(p, 273)}).bytes), "TIFF file has missing StripOffsets data");
    EXPECT_EQ(LoadError(Build({Without(p, 279)}).bytes), "TIFF file has missing StripByteCounts data");
    EXPECT_EQ(LoadError(Build({With(Without(p, 262), {258, kShort, {8}})}).bytes),
              "TIFF file has missing PhotometricInterpretation data");

    // A bilevel picture without PhotometricInterpretation is white-is-zero.
    TTIFImage tif;
    tif.LoadFromBytes(Build({Without(p, 262)}).bytes);
    EXPECT_EQ(tif.Photometric(), 0);
    EXPECT_EQ(tif.Compression(), 1);
    EXPECT_EQ(tif.FillOrder(), 1);
    EXPECT_EQ(tif.StripCount(), 1u);
    TBMPImage bmp;
    tif.AssignTo(bmp);
    EXPECT_EQ(bmp.Row(0)[0], 0x0F);

    // FillOrder values other than 1 and 2 count as absent.
    TTIFImage odd;
    odd.LoadFromBytes(Build({With(p, {266, kShort, {3}})}).bytes);
    EXPECT_EQ(odd.FillOrder(), 1);
}

struct TResolutionCase {
    std::vector<uint32_t> x;
    uint32_t unit;
    uint32_t dpi;
};

TEST(TifTags, ResolutionUnits) {
    const TResolutionCase cases[] = {
        {{300, 1}, 2, 300}, {{11811, 100}, 3, 300}, {{72, 1}, 1, 0},         {{1, 0}, 2, 0},
        {{599, 2}, 2, 300}, {{0, 1}, 2, 0},         {{UINT32_MAX, 1}, 3, 0},
    };
    for (const auto& c : cases) {
        TTIFImage tif;
        tif.LoadFromBytes(
            Build({Bilevel({0}, {{282, kRational, c.x}, {283, kRational, c.x}, {296, kShort, {c.unit}}})})
                .bytes);
        EXPECT_EQ(tif.XResolution(), c.dpi) << c.x[0] << "/" << c.x[1] << " unit " << c.unit;
        EXPECT_EQ(tif.YResolution(), c.dpi);
    }
}

TEST(TifTags, ValuesOutsideTheFileAreRefused) {
    TPicture p = Bilevel({0xF0});
    p.stripTags = false;
    // Strip lists and rationals whose offsets point past the end.
    TBuilt b = Build({With(With(p, {273, kLong, {8, 8}}), {279, kLong, {1, 1}})});
    EXPECT_EQ(LoadError(b.bytes), "");
    const std::size_t ifd = b.ifds[0];
    for (std::size_t e = 0; e < 5; ++e) {
        TBytes bytes = b.bytes;
        const std::size_t entry = ifd + 2 + 12 * e;
        const uint16_t tag = bytes[entry] | (bytes[entry + 1] << 8);
        if (tag != 273 && tag != 279) continue;
        bytes[entry + 10] = 0x7F; // offset far beyond the end
        EXPECT_EQ(LoadError(bytes), tag == 273 ? "Error in TIFF file StripOffsets data"
                                               : "Error in TIFF file StripByteCounts data");
    }
    TBuilt r = Build({Bilevel({0xF0}, {{282, kRational, {300, 1}}})});
    for (std::size_t e = 0;; ++e) {
        const std::size_t entry = r.ifds[0] + 2 + 12 * e;
        if ((r.bytes[entry] | (r.bytes[entry + 1] << 8)) != 282) continue;
        r.bytes[entry + 11] = 0x40;
        break;
    }
    EXPECT_EQ(LoadError(r.bytes), "Error in TIFF file XResolution data");
    // A ColorMap whose count runs past the end of the file.
    TPicture pal = Bilevel({0}, {{320, kShort, {0, 0, 0, 0, 0, 0}}});
    pal = With(pal, {262, kShort, {3}});
    TBuilt c = Build({pal});
    for (std::size_t e = 0;; ++e) {
        const std::size_t entry = c.ifds[0] + 2 + 12 * e;
        if ((c.bytes[entry] | (c.bytes[entry + 1] << 8)) != 320) continue;
        c.bytes[entry + 7] = 0x10; // count 2^28
        break;
    }
    EXPECT_EQ(LoadError(c.bytes), "Error in TIFF file ColorMap data");
}

TEST(TifStrips, CountsAndRows) {
    // Three strips of two rows, the last one short.
    TPicture p;
    p.tags = {{256, kShort, {8}}, {257, kShort, {5}}, {262, kShort, {1}}, {278, kShort, {2}}};
    p.strips = {{0x01, 0x02}, {0x03, 0x04}, {0x05}};
    const TBMPImage bmp = Decode(Build({p}).bytes);
    for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(bmp.Row(y)[0], y + 1);

    TPicture fewer = p;
    fewer.strips.pop_back();
    EXPECT_EQ(LoadError(Build({fewer}).bytes), "TIFF file has errors in strip counts");
    TPicture mismatch = p;
    mismatch.stripTags = false;
    mismatch.tags.push_back({273, kLong, {8, 9, 10}});
    mismatch.tags.push_back({279, kLong, {1, 1, 1, 1}});
    EXPECT_EQ(LoadError(Build({mismatch}).bytes), "TIFF file has errors in strip counts");
    // More listed strips than rows need: the extra ones are not read.
    TPicture more = With(p, {278, kShort, {5}});
    EXPECT_EQ(LoadError(Build({more}).bytes), "");
    // RowsPerStrip 0 is read as one strip.
    TPicture zero = With(p, {278, kShort, {0}});
    zero.strips = {{1, 2, 3, 4, 5}};
    EXPECT_EQ(Decode(Build({zero}).bytes).Row(4)[0], 5);
}

TEST(TifStrips, UncompressedStripsThatEndEarly) {
    // Rows the strips do not hold are refused before anything is allocated for them.
    TPicture p;
    p.tags = {{256, kShort, {8}}, {257, kShort, {3}}, {262, kShort, {0}}};
    p.strips = {{0x0F}};
    EXPECT_EQ(AssignError(Build({p}).bytes), "TIFF file image data is shorter than the picture");
    // So are those of a full byte count cut off by the end of the file.
    TPicture cut = p;
    cut.strips = {{0x0F, 0x0F, 0x0F}};
    TBuilt b = Build({cut});
    TBytes moved = b.bytes;
    const std::size_t ifd = b.ifds[0];
    for (std::size_t e = 0;; ++e) {
        const std::size_t entry = ifd + 2 + 12 * e;
        if ((moved[entry] | (moved[entry + 1] << 8)) != 273) continue;
        const uint32_t last = static_cast<uint32_t>(moved.size() - 1);
        std::memcpy(&moved[entry + 8], &last, 4); // the strip starts at the file's last byte
        break;
    }
    EXPECT_EQ(AssignError(moved), "TIFF file image data is shorter than the picture");
}

struct TAssignCase {
    const char* name;
    std::vector<TTag> tags;
    const char* message;
};

TEST(TifPictures, UnsupportedFormsGiveTheirMessages) {
    const TAssignCase cases[] = {
        {"bilevel two samples", {{277, kShort, {2}}}, "TIFF file error in bilevel image data"},
        {"bilevel two depths", {{258, kShort, {1, 1}}}, "TIFF file error in bilevel image data"},
        {"gray three samples",
         {{258, kShort, {8, 8, 8}}, {277, kShort, {3}}},
         "TIFF file error in grayscale image data"},
        {"gray count differs",
         {{258, kShort, {8}}, {277, kShort, {2}}},
         "TIFF file error in grayscale image data"},
        {"gray 2 bits", {{258, kShort, {2}}}, "TIFF file has unknown or unsupported format"},
        {"gray 16 bits", {{258, kShort, {16}}}, "TIFF file has unknown or unsupported format"},
        {"rgb two samples",
         {{262, kShort, {2}}, {258, kShort, {8, 8}}, {277, kShort, {2}}},
         "TIFF file error in RGB image data"},
        {"rgb 4 bits",
         {{262, kShort, {2}}, {258, kShort, {4, 4, 4}}, {277, kShort, {3}}},
         "TIFF file error in RGB image data"},
        {"rgb 16 bits lzw",
         {{262, kShort, {2}}, {258, kShort, {16, 16, 16}}, {277, kShort, {3}}, {259, kShort, {5}}},
         "TIFF file error in RGB image data"},
        {"palette without map",
         {{262, kShort, {3}}, {258, kShort, {8}}},
         "TIFF file error in palette image data"},
        {"palette short map",
         {{262, kShort, {3}}, {258, kShort, {1}}, {320, kShort, {0, 1, 2, 3, 4}}},
         "TIFF file error in palette image data"},
        {"palette 2 bits",
         {{262, kShort, {3}}, {258, kShort, {2}}, {320, kShort, std::vector<uint32_t>(12, 1)}},
         "TIFF file error in palette image data"},
        {"cmyk ink set 2",
         {{262, kShort, {5}}, {258, kShort, {8, 8, 8, 8}}, {277, kShort, {4}}, {332, kShort, {2}}},
         "TIFF file Separated image format not supported"},
        {"cmyk five inks",
         {{262, kShort, {5}}, {258, kShort, {8, 8, 8, 8}}, {277, kShort, {4}}, {334, kShort, {5}}},
         "TIFF file Separated image format not supported"},
        {"cmyk three samples",
         {{262, kShort, {5}}, {258, kShort, {8, 8, 8}}, {277, kShort, {3}}},
         "TIFF file Separated image format not supported"},
        {"ycbcr", {{262, kShort, {6}}}, "TIFF file YCbCr format not supported"},
        {"mask", {{262, kShort, {4}}}, "TIFF file PhotometricInterpretation value not supported"},
        {"jpeg", {{259, kShort, {6}}}, "JPEG Compression not supported"},
        {"deflate", {{259, kShort, {8}}}, "Unknown or unsupported Compression method"},
        {"fax gray", {{259, kShort, {4}}, {258, kShort, {8}}}, "TIFF file colour depth not supported"},
    };
    for (const TAssignCase& c : cases) {
        SCOPED_TRACE(c.name);
        TPicture p = Bilevel(TBytes(64, 0));
        for (const TTag& t : c.tags) p = With(p, t);
        EXPECT_EQ(AssignError(Build({p}).bytes), c.message);
    }
}

// Packs codes of the given widths most significant bit first.
TBytes PackCodes(const std::vector<std::pair<uint32_t, uint32_t>>& codes) {
    TBytes out;
    uint64_t acc = 0;
    uint32_t bits = 0;
    for (auto [code, width] : codes) {
        acc = (acc << width) | code;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc >> (bits - 8)));
            bits -= 8;
        }
    }
    if (bits) out.push_back(static_cast<uint8_t>(acc << (8 - bits)));
    return out;
}

TEST(TifPictures, CompressedStripsMustDecodeExactly) {
    // PackBits: a run of 4 bytes where 2 rows of one byte are expected, then a short one.
    for (const TBytes& strip : {TBytes{0xFD, 0x55}, TBytes{0x00, 0x55}, TBytes{0x01, 0x55}}) {
        TPicture p = With(Bilevel({0, 0}), {259, kShort, {32773}});
        p.strips = {strip};
        EXPECT_EQ(AssignError(Build({p}).bytes), "TIFF file image data corrupted");
    }
    TPicture good = With(Bilevel({0, 0}), {259, kShort, {32773}});
    good.strips = {{0xFF, 0x55}};
    EXPECT_EQ(Decode(Build({good}).bytes).Row(1)[0], 0x55);
    // LZW: clear, 'A', end with nine-bit codes is one byte where two are expected.
    TPicture lzw = With(Bilevel({0, 0}), {259, kShort, {5}});
    lzw.strips = {PackCodes({{256, 9}, {'A', 9}, {257, 9}})};
    EXPECT_EQ(AssignError(Build({lzw}).bytes), "TIFF file image data corrupted");
}

TEST(TifPictures, PaletteLevels) {
    // All values below 256 are 8-bit levels; otherwise each is scaled from 16 bits.
    std::vector<uint32_t> small = {10, 255, 20, 0, 30, 128};
    std::vector<uint32_t> wide = {10, 65535, 20, 0, 30 * 257, 128 * 257 + 200};
    for (const auto& [map, r0, r1, b1] : {std::tuple{small, 10, 255, 128}, std::tuple{wide, 0, 255, 129}}) {
        TPicture p = With(With(Bilevel({0x80}), {262, kShort, {3}}), {320, kShort, map});
        const TBMPImage bmp = Decode(Build({p}).bytes);
        ASSERT_EQ(bmp.Palette.size(), 2u);
        EXPECT_EQ(bmp.Palette[0].R, r0);
        EXPECT_EQ(bmp.Palette[1].R, r1);
        EXPECT_EQ(bmp.Palette[1].B, b1);
    }
}

TEST(TifPictures, CmykConversion) {
    struct {
        uint8_t c, m, y, k;
        TRGB want;
    } cases[] = {{0, 0, 0, 0, {255, 255, 255}},
                 {255, 255, 255, 0, {0, 0, 0}},
                 {0, 0, 0, 255, {0, 0, 0}},
                 {255, 0, 128, 0, {0, 255, 127}},
                 {100, 50, 0, 100, {}}};
    for (const auto& c : cases) {
        TPicture p;
        p.tags = {{256, kShort, {1}},
                  {257, kShort, {1}},
                  {262, kShort, {5}},
                  {258, kShort, {8, 8, 8, 8}},
                  {277, kShort, {4}}};
        p.strips = {{c.c, c.m, c.y, c.k}};
        const TBMPImage bmp = Decode(Build({p}).bytes);
        const double k = 255.0 - c.k;
        auto expect = [&](uint8_t ink) {
            return static_cast<uint8_t>(255 - std::min<long>(std::lround(ink / 255.0 * k + c.k), 255));
        };
        EXPECT_EQ(bmp.Row(0)[2], expect(c.c));
        EXPECT_EQ(bmp.Row(0)[1], expect(c.m));
        EXPECT_EQ(bmp.Row(0)[0], expect(c.y));
        if (c.k == 0 || c.k == 255) {
            EXPECT_EQ((TRGB{bmp.Row(0)[2], bmp.Row(0)[1], bmp.Row(0)[0]}), c.want);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Picture selection and counting over hand-made IFD chains.

TEST(TifChain, SelectionAndCountingEndOnLoops) {
    const TPicture a = Bilevel({0x11}), b = Bilevel({0x22}), c = Bilevel({0x33});
    TBuilt three = Build({a, b, c});
    EXPECT_EQ(TTIFImage::CountPictures(three.bytes), 3u);
    EXPECT_EQ(Decode(three.bytes).Row(0)[0], 0x11);
    for (int32_t n : {0, -5}) EXPECT_EQ(LoadError(three.bytes, n), "") << n;

    // The last picture points back at the first, or at itself.
    for (uint32_t back : {0u, 2u}) {
        TBuilt loop = three;
        SetNext(loop, 2, loop.ifds[back]);
        EXPECT_EQ(TTIFImage::CountPictures(loop.bytes), 3u) << back;
        EXPECT_EQ(LoadError(loop.bytes, 3), "");
        EXPECT_EQ(LoadError(loop.bytes, 4), "TIFF file error - cannot find requested page");
        EXPECT_EQ(LoadError(loop.bytes, INT32_MAX), "TIFF file error - cannot find requested page");
    }
    TBuilt self = Build({a});
    SetNext(self, 0, self.ifds[0], false);
    EXPECT_EQ(TTIFImage::CountPictures(self.bytes), 1u);
    EXPECT_EQ(LoadError(self.bytes, 2), "TIFF file error - cannot find requested page");

    // A next offset beyond the end: the walk fails, the count leaves that IFD out.
    TBuilt beyond = Build({a, b});
    SetNext(beyond, 1, 0x7FFFFFF0);
    EXPECT_EQ(TTIFImage::CountPictures(beyond.bytes), 1u);
    EXPECT_EQ(LoadError(beyond.bytes, 3), "TIFF file error - cannot find requested page");
    EXPECT_EQ(LoadError(Build({a}).bytes, 2), "TIFF file error - cannot find requested page");
}

TEST(TifChain, CountingStopsAtBadByteCounts) {
    TPicture bad = Bilevel({0x22});
    bad.stripTags = false;
    bad.tags.push_back({273, kLong, {8}});
    bad.tags.push_back({279, kRational, {1, 1}});
    EXPECT_EQ(TTIFImage::CountPictures(Build({Bilevel({1}), bad, Bilevel({2})}).bytes), 1u);
    EXPECT_EQ(TTIFImage::CountPictures(Build({Bilevel({1}), bad}).bytes), 2u);
    // The first IFD offset beyond the end: no picture.
    TBytes none = Build({Bilevel({1})}).bytes;
    none[4] = 0xFF;
    none[5] = 0xFF;
    EXPECT_EQ(TTIFImage::CountPictures(none), 0u);
    EXPECT_EQ(LoadError(none), "Stream read error");
}

// ---------------------------------------------------------------------------------------------
// Hostile sizes: nothing is allocated that the file cannot justify.

TEST(TifBounds, HugeDimensionsInATinyFile) {
    for (uint32_t side : {0xFFFFFFFFu, 0x80000000u, 0x00100000u}) {
        TPicture p;
        p.tags = {{256, kLong, {side}}, {257, kLong, {side}}, {262, kShort, {1}}};
        p.strips = {{0}};
        EXPECT_EQ(LoadError(Build({p}).bytes), "Image is too large") << side;
    }
    // Fits the bound as 1 bit per pixel, but not as 24-bit.
    TPicture rgb;
    rgb.tags = {{256, kLong, {20000}},
                {257, kLong, {20000}},
                {262, kShort, {2}},
                {258, kShort, {8, 8, 8}},
                {277, kShort, {3}}};
    rgb.strips = {{0}};
    EXPECT_EQ(AssignError(Build({rgb}).bytes), "Image is too large");
    // Many samples per pixel make a row longer than any working bitmap.
    TPicture wide = rgb;
    wide = With(With(wide, {277, kShort, {65535}}), {258, kShort, std::vector<uint32_t>(65535, 16)});
    wide = With(With(wide, {256, kLong, {10000}}), {257, kLong, {1}});
    EXPECT_EQ(AssignError(Build({wide}).bytes), "Image is too large");
    // A compressed strip of a few bytes cannot fill 64 MB of rows.
    TPicture lzw;
    lzw.tags = {{256, kLong, {65536}}, {257, kLong, {8192}}, {262, kShort, {1}}, {259, kShort, {5}}};
    lzw.strips = {{0x80, 0x00, 0x00, 0x00}};
    EXPECT_EQ(AssignError(Build({lzw}).bytes), "TIFF file image data corrupted");
    // Strip and IFD counts from the header are checked against the file before use.
    TPicture strips = Bilevel({0});
    strips.stripTags = false;
    strips.tags.push_back({273, kLong, std::vector<uint32_t>(3, 8)});
    strips.tags.push_back({279, kLong, std::vector<uint32_t>(3, 1)});
    TBuilt b = Build({strips});
    for (std::size_t e = 0;; ++e) {
        const std::size_t entry = b.ifds[0] + 2 + 12 * e;
        if ((b.bytes[entry] | (b.bytes[entry + 1] << 8)) != 279) continue;
        b.bytes[entry + 7] = 0x40; // a billion byte counts
        break;
    }
    EXPECT_EQ(LoadError(b.bytes), "Error in TIFF file StripByteCounts data");
    TBytes entries = Build({Bilevel({0})}).bytes;
    const uint32_t ifd = entries[4] | (entries[5] << 8);
    entries[ifd] = entries[ifd + 1] = 0xFF;
    EXPECT_EQ(LoadError(entries), "Stream read error");
}

TEST(TifBounds, FailedLoadKeepsNothing) {
    TTIFImage tif;
    tif.LoadFromBytes(Build({Bilevel({1, 2, 3})}).bytes);
    EXPECT_EQ(tif.Height(), 3u);
    EXPECT_NE(ErrorOf([&] { tif.LoadFromBytes(Build({Without(Bilevel({1}), 257)}).bytes); }), "");
    EXPECT_EQ(tif.Width(), 0u);
    EXPECT_EQ(tif.StripCount(), 0u);
    TBMPImage bmp;
    EXPECT_NE(ErrorOf([&] { tif.AssignTo(bmp); }), "");
}

// ---------------------------------------------------------------------------------------------
// The strip decoders on their own.

struct TPackBitsCase {
    TBytes in;
    std::size_t outSize;
    std::optional<TBytes> out; // nothing: refused
};

TEST(TifDecoders, PackBits) {
    const TPackBitsCase cases[] = {
        {{0x02, 1, 2, 3}, 3, TBytes{1, 2, 3}},
        {{0xFE, 7}, 3, TBytes{7, 7, 7}},
        {{0x80, 0x00, 9, 0x80}, 1, TBytes{9}},
        {{0x81, 4}, 128, TBytes(128, 4)},
        {{0x7F}, 128, std::nullopt},           // literal cut short
        {{0xFE}, 3, std::nullopt},             // run without its byte
        {{0xFE, 7}, 2, std::nullopt},          // more output than room
        {{0x00, 1}, 2, std::nullopt},          // less output
        {{0x00, 1, 0x00, 2}, 1, std::nullopt}, // input left over
        {{}, 0, TBytes{}},
    };
    for (const auto& c : cases) {
        TBytes out(c.outSize, 0xEE);
        const bool ok = DecodePackBits(c.in, out);
        EXPECT_EQ(ok, c.out.has_value());
        EXPECT_EQ(PackBitsLength(c.in) == c.outSize, ok);
        if (ok) {
            EXPECT_EQ(out, *c.out);
        }
    }
}

TEST(TifDecoders, Lzw) {
    // "ABABABA": A, B, AB(258), ABA(260, the code not yet in the table).
    const TBytes kwkwk = PackCodes({{256, 9}, {'A', 9}, {'B', 9}, {258, 9}, {260, 9}, {257, 9}});
    TBytes out(7);
    EXPECT_TRUE(DecodeTIFFLZW(kwkwk, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "ABABABA");
    // Without the end code, the data ending is the end.
    const TBytes noEnd = PackCodes({{'X', 9}, {'Y', 9}});
    TBytes two(2);
    EXPECT_TRUE(DecodeTIFFLZW(noEnd, two));
    // A clear in the middle resets the table.
    const TBytes cleared = PackCodes({{'A', 9}, {'B', 9}, {256, 9}, {'C', 9}, {'D', 9}, {258, 9}, {257, 9}});
    TBytes six(6);
    EXPECT_TRUE(DecodeTIFFLZW(cleared, six));
    EXPECT_EQ(std::string(six.begin(), six.end()), "ABCDCD");
    // Codes beyond the table, a first code that is no byte, and bytes after the end are refused.
    TBytes three(3);
    EXPECT_FALSE(DecodeTIFFLZW(PackCodes({{'A', 9}, {300, 9}, {257, 9}}), three));
    EXPECT_FALSE(DecodeTIFFLZW(PackCodes({{258, 9}, {257, 9}}), three));
    TBytes trailing = PackCodes({{'A', 9}, {257, 9}});
    trailing.push_back(0);
    TBytes one(1);
    EXPECT_FALSE(DecodeTIFFLZW(trailing, one));
    EXPECT_FALSE(DecodeTIFFLZW(kwkwk, one));
    // The length alone, without a place for the bytes.
    EXPECT_EQ(TIFFLZWLength(kwkwk), 7u);
    EXPECT_EQ(TIFFLZWLength(trailing), std::nullopt);
    // The k-th code stands for k bytes at most, and none for more than 3839.
    EXPECT_EQ(MaxTIFFLZWOutput(9), 36u);
    EXPECT_EQ(MaxTIFFLZWOutput(9000), 3839u * 3840 / 2 + (8000 - 3839) * 3839u);
}

TEST(TifDecoders, LzwCodeWidthGrowsOneCodeEarly) {
    // 253 new codes take the table to 511, after which codes are 10 bits wide.
    std::vector<std::pair<uint32_t, uint32_t>> codes = {{256, 9}};
    std::string want;
    for (uint32_t i = 0; i < 254; ++i) {
        codes.push_back({i % 2 ? 'b' : 'a', 9});
        want += i % 2 ? 'b' : 'a';
    }
    // Table now ends at 258 + 253 = 511; the next code is 10 bits.
    codes.push_back({258, 10});
    want += "ab";
    codes.push_back({257, 10});
    const TBytes data = PackCodes(codes);
    TBytes out(want.size());
    ASSERT_TRUE(DecodeTIFFLZW(data, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), want);
}

} // namespace
} // namespace pagelith
