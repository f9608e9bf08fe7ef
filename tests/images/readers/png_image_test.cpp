#include "images/readers/png_image.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "images/readers/png_test_writer.h"

namespace pagelith {
namespace {

using namespace test_png;

const std::string kBadSignature = "Image does not have a valid PNG signature.";
const std::string kInvalid = "Image is not a valid PNG.";
const std::string kBadCrc = "Invalid CRC in PNG image.";
const std::string kNoData = "Image is not a valid PNG - no image data.";
const std::string kCorrupt = "Invalid compressed data in PNG image.";

// Index of pixel x in an indexed row, or -1 for 24-bit.
uint32_t IndexAt(const TBMPImage& b, int32_t x, int32_t y) {
    const auto row = b.Row(y);
    switch (b.Format()) {
    case TPixelFormat::Indexed1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case TPixelFormat::Indexed4:
        return (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
    case TPixelFormat::Indexed8:
        return row[x];
    default:
        return 0;
    }
}

TRGB RgbAt(const TBMPImage& b, int32_t x, int32_t y) {
    const auto row = b.Row(y);
    return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
}

// Loads and assigns; returns the message of a failure, empty on success.
std::string Decode(std::span<const uint8_t> file, TBMPImage& bitmap, TtsPNGImage& png) {
    try {
        png.LoadFromBytes(file);
        png.AssignTo(bitmap);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return {};
}

std::string Decode(std::span<const uint8_t> file) {
    TtsPNGImage png;
    TBMPImage bitmap;
    return Decode(file, bitmap, png);
}

// ---------------------------------------------------------------- conformance with PngSuite

std::filesystem::path SuiteDir() {
    for (const char* rel : {"/../shared/corpus/pngsuite", "/../../shared/corpus/pngsuite"}) {
        const std::filesystem::path dir = std::string(PAGELITH_SOURCE_DIR) + rel;
        if (std::filesystem::is_directory(dir)) return dir;
    }
    return {};
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Crc(const std::vector<uint8_t>& bytes) {
    char text[9];
    std::snprintf(text, sizeof text, "%08lx", crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
    return text;
}

// The picture's pixels and palette as the expected-value generator dumps them.
void Dump(const TBMPImage& b, std::string& format, std::string& palette, std::string& pixels) {
    std::vector<uint8_t> pal, pix;
    const bool rgb = b.Format() == TPixelFormat::Rgb24;
    format = rgb ? "RGB" : "I" + std::to_string(TBMPImage::BitsOf(b.Format()));
    for (const TRGB& c : b.Palette) pal.insert(pal.end(), {c.R, c.G, c.B});
    for (int32_t y = 0; y < b.Height(); ++y)
        for (int32_t x = 0; x < b.Width(); ++x) {
            if (rgb) {
                const TRGB c = RgbAt(b, x, y);
                pix.insert(pix.end(), {c.R, c.G, c.B});
            } else {
                pix.push_back(static_cast<uint8_t>(IndexAt(b, x, y)));
            }
        }
    palette = rgb ? "-" : Crc(pal);
    pixels = Crc(pix);
}

TEST(PngSuite, EveryPictureDecodesToTheReferencePixels) {
    const auto dir = SuiteDir();
    if (dir.empty()) GTEST_SKIP() << "PngSuite not present";
    std::ifstream expected(std::string(PAGELITH_SOURCE_DIR) + "/tests/images/readers/png_expected.txt");
    ASSERT_TRUE(expected) << "png_expected.txt missing";
    std::string line;
    int checked = 0;
    while (std::getline(expected, line)) {
        std::istringstream fields(line);
        std::string name, format, width, height, palette, pixels, mask;
        fields >> name >> format >> width >> height >> palette >> pixels >> mask;
        SCOPED_TRACE(name);
        const auto file = ReadFile(dir / name);
        ASSERT_FALSE(file.empty());
        TtsPNGImage png;
        TBMPImage bitmap;
        ASSERT_EQ(Decode(file, bitmap, png), "");
        std::string gotFormat, gotPalette, gotPixels;
        Dump(bitmap, gotFormat, gotPalette, gotPixels);
        EXPECT_EQ(gotFormat, format);
        EXPECT_EQ(std::to_string(bitmap.Width()), width);
        EXPECT_EQ(std::to_string(bitmap.Height()), height);
        EXPECT_EQ(gotPalette, palette);
        EXPECT_EQ(gotPixels, pixels);
        EXPECT_EQ(png.AlphaMask().empty() ? "-" : Crc(png.AlphaMask()), mask);
        if (!png.AlphaMask().empty()) {
            EXPECT_EQ(png.MaskWidth(), bitmap.Width());
            EXPECT_EQ(png.MaskHeight(), bitmap.Height());
        }
        ++checked;
    }
    EXPECT_GE(checked, 60);
}

// ---------------------------------------------------------------- the fifteen pixel kinds

struct TKindCase {
    uint8_t ColorType, Depth;
    TPixelFormat Format;
};

const TKindCase kKinds[] = {
    {0, 1, TPixelFormat::Indexed1},  {0, 2, TPixelFormat::Indexed4},  {0, 4, TPixelFormat::Indexed4},
    {0, 8, TPixelFormat::Indexed8},  {0, 16, TPixelFormat::Indexed8}, {2, 8, TPixelFormat::Rgb24},
    {2, 16, TPixelFormat::Rgb24},    {3, 1, TPixelFormat::Indexed1},  {3, 2, TPixelFormat::Indexed4},
    {3, 4, TPixelFormat::Indexed4},  {3, 8, TPixelFormat::Indexed8},  {4, 8, TPixelFormat::Indexed8},
    {4, 16, TPixelFormat::Indexed8}, {6, 8, TPixelFormat::Rgb24},     {6, 16, TPixelFormat::Rgb24},
};

uint8_t High(uint16_t v, uint8_t depth) {
    return static_cast<uint8_t>(depth == 16 ? v >> 8 : v);
}

// Checks every pixel, the palette and the mask against the samples, by the working-format rules.
void ExpectPicture(const TPicture& p, const TBMPImage& b, const TtsPNGImage& png, const TChunks& chunks) {
    ASSERT_EQ(b.Width(), int32_t(p.Width));
    ASSERT_EQ(b.Height(), int32_t(p.Height));
    const bool alpha = p.ColorType == 4 || p.ColorType == 6;
    ASSERT_EQ(png.AlphaMask().size(), alpha ? std::size_t(p.Width) * p.Height : 0);
    for (uint32_t y = 0; y < p.Height; ++y)
        for (uint32_t x = 0; x < p.Width; ++x) {
            SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
            const int32_t xi = int32_t(x), yi = int32_t(y);
            if (p.ColorType == 2 || p.ColorType == 6) {
                const TRGB want{High(p.At(x, y, 0), p.Depth), High(p.At(x, y, 1), p.Depth),
                                High(p.At(x, y, 2), p.Depth)};
                ASSERT_EQ(RgbAt(b, xi, yi), want);
            } else {
                uint32_t want = High(p.At(x, y, 0), p.Depth);
                if (p.ColorType == 0 && p.Depth == 2) want *= 5;
                ASSERT_EQ(IndexAt(b, xi, yi), want);
            }
            if (alpha) {
                ASSERT_EQ(png.AlphaMask()[std::size_t(y) * p.Width + x],
                          High(p.At(x, y, p.ColorType == 6 ? 3 : 1), p.Depth));
            }
        }
    if (p.ColorType == 3) {
        const auto& plte = chunks.at(0).second;
        for (std::size_t i = 0; i < b.Palette.size(); ++i) {
            const TRGB want =
                3 * i + 2 < plte.size() ? TRGB{plte[3 * i], plte[3 * i + 1], plte[3 * i + 2]} : TRGB{};
            ASSERT_EQ(b.Palette[i], want) << "entry " << i;
        }
    } else if (p.ColorType != 2 && p.ColorType != 6) {
        const uint32_t n = uint32_t(b.Palette.size());
        for (uint32_t i = 0; i < n; ++i) {
            const auto level = static_cast<uint8_t>(n == 2 ? 255 * i : n == 16 ? 17 * i : i);
            ASSERT_EQ(b.Palette[i], (TRGB{level, level, level})) << "entry " << i;
        }
    }
}

TEST(PngKinds, EveryKindDecodesWithEveryFilterAndInterlace) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {3, 2}, {13, 7}, {17, 9}, {33, 5}};
    for (const TKindCase& k : kKinds)
        for (uint8_t interlace : {0, 1})
            for (const auto& [w, h] : sizes)
                for (uint8_t first : {0, 1, 2, 3, 4}) {
                    SCOPED_TRACE(testing::Message()
                                 << "type " << int(k.ColorType) << " depth " << int(k.Depth) << " interlace "
                                 << int(interlace) << " size " << w << "x" << h << " filter " << int(first));
                    const TPicture p =
                        RandomPicture(w, h, k.Depth, k.ColorType, interlace, w * 31 + h + first);
                    TChunks chunks;
                    if (k.ColorType == 3) {
                        // One entry short of the full table: the last index must read as black.
                        std::vector<uint8_t> plte;
                        for (uint32_t i = 0; i + 1 < (1u << k.Depth); ++i)
                            plte.insert(plte.end(), {uint8_t(i * 7 + 1), uint8_t(255 - i), uint8_t(i * 3)});
                        chunks.push_back({"PLTE", plte});
                    }
                    TtsPNGImage png;
                    TBMPImage bitmap;
                    ASSERT_EQ(Decode(EncodePng(p, chunks, first), bitmap, png), "");
                    ASSERT_EQ(bitmap.Format(), k.Format);
                    ExpectPicture(p, bitmap, png, chunks);
                }
}

// The file's rows are wider or narrower than the working rows, and the two share one buffer while
// decoding: the bytes that pad each working row to four must still come out zero.
TEST(PngKinds, WorkingRowPaddingIsZero) {
    const std::pair<uint8_t, uint8_t> kinds[] = {{0, 8}, {0, 16}, {2, 8}, {2, 16}, {4, 8}, {6, 8}, {0, 2}};
    for (const auto& [colorType, depth] : kinds)
        for (const uint32_t width : {1u, 3u, 5u, 6u}) {
            SCOPED_TRACE(testing::Message()
                         << "type " << int(colorType) << " depth " << int(depth) << " width " << width);
            const TPicture p = RandomPicture(width, 9, depth, colorType, 0, width + depth);
            TtsPNGImage png;
            TBMPImage bitmap;
            ASSERT_EQ(Decode(EncodePng(p, {}, 4), bitmap, png), "");
            const std::size_t used = (std::size_t{width} * TBMPImage::BitsOf(bitmap.Format()) + 7) / 8;
            for (int32_t y = 0; y < bitmap.Height(); ++y) {
                const auto row = bitmap.Row(y);
                for (std::size_t i = used; i < row.size(); ++i)
                    ASSERT_EQ(row[i], 0) << "row " << y << " byte " << i;
            }
        }
}

TEST(PngKinds, ImageDataSplitOverManySmallIdatChunks) {
    const TPicture p = RandomPicture(40, 30, 8, 2, 1, 7);
    TtsPNGImage png;
    TBMPImage bitmap;
    ASSERT_EQ(Decode(EncodePng(p, {}, 4, 3), bitmap, png), "");
    ExpectPicture(p, bitmap, png, {});
}

// ---------------------------------------------------------------- transparency and ancillary chunks

TEST(PngChunks, TransparencyKindsAndMasks) {
    struct TCase {
        const char* Name;
        uint8_t ColorType, Depth;
        std::vector<uint8_t> Trns;
        TAlpha::TKind Kind;
        bool Mask;
    };
    const TCase cases[] = {
        {"palette, one clear entry", 3, 8, {255, 0, 255}, TAlpha::SingleColor, false},
        {"palette, all opaque", 3, 8, {255, 255}, TAlpha::SingleColor, false},
        {"palette, two clear entries", 3, 8, {0, 0}, TAlpha::PaletteAlpha, false},
        {"palette, partial alpha", 3, 4, {255, 128}, TAlpha::PaletteAlpha, false},
        {"gray 8, key", 0, 8, {0, 7}, TAlpha::SingleColor, false},
        {"gray 16, key", 0, 16, {0x12, 0x34}, TAlpha::Mask, true},
        {"gray 16, wrong length", 0, 16, {0x12}, TAlpha::SingleColor, false},
        {"rgb 8, key", 2, 8, {0, 1, 0, 2, 0, 3}, TAlpha::TransparentRGB, true},
        {"rgb 16, key", 2, 16, {0, 1, 0, 2, 0, 3}, TAlpha::Mask, true},
        {"rgb 16, wrong length", 2, 16, {0, 1, 0, 2}, TAlpha::SingleColor, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPicture p = RandomPicture(5, 4, c.Depth, c.ColorType);
        TChunks chunks;
        if (c.ColorType == 3) chunks.push_back({"PLTE", std::vector<uint8_t>(3 * 16, 9)});
        chunks.push_back({"tRNS", c.Trns});
        TtsPNGImage png;
        TBMPImage bitmap;
        ASSERT_EQ(Decode(EncodePng(p, chunks), bitmap, png), "");
        EXPECT_EQ(png.Alpha().Kind, c.Kind);
        EXPECT_EQ(png.AlphaMask().empty(), !c.Mask);
    }
    // The palette's classification keeps the one clear entry.
    TtsPNGImage png;
    const TPicture p = RandomPicture(2, 2, 8, 3);
    ASSERT_EQ(Decode(EncodePng(p, {{"PLTE", std::vector<uint8_t>(9, 1)}, {"tRNS", {255, 0, 255}}})), "");
    png.LoadFromBytes(EncodePng(p, {{"PLTE", std::vector<uint8_t>(9, 1)}, {"tRNS", {255, 0, 255}}}));
    EXPECT_EQ(png.Alpha().TransparentIndex, 1);
    EXPECT_EQ(png.Alpha().PaletteCount, 3u);
}

TEST(PngChunks, SixteenBitKeyMatchesWholeSamplesOnly) {
    // Samples that share the key's high byte but not its low byte stay opaque.
    TPicture p{4, 1, 16,
               2, 0, {0x1234, 0x5678, 0x9ABC, 0x1234, 0x5678, 0x9ABD, 0x1200, 0x5600, 0x9A00, 0, 0, 0}};
    TtsPNGImage png;
    TBMPImage bitmap;
    ASSERT_EQ(Decode(EncodePng(p, {{"tRNS", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}}}), bitmap, png), "");
    EXPECT_EQ(png.AlphaMask(), (std::vector<uint8_t>{0, 255, 255, 255}));

    TPicture g{3, 1, 16, 0, 0, {0xABCD, 0xABCC, 0x00CD}};
    ASSERT_EQ(Decode(EncodePng(g, {{"tRNS", {0xAB, 0xCD}}}), bitmap, png), "");
    EXPECT_EQ(png.AlphaMask(), (std::vector<uint8_t>{0, 255, 255}));
    EXPECT_EQ(bitmap.Row(0)[0], 0xAB);
}

TEST(PngChunks, PhysicalSizeAndBackground) {
    const TPicture p = RandomPicture(3, 3, 8, 2);
    std::vector<uint8_t> metres, inches;
    PutU32(metres, 3780);
    PutU32(metres, 2835);
    metres.push_back(1);
    inches = metres;
    inches.back() = 0;
    TtsPNGImage png;
    png.LoadFromBytes(EncodePng(p, {{"pHYs", metres}, {"bKGD", {0, 10, 0, 20, 0, 30}}}));
    EXPECT_EQ(png.PhysicalX(), 3780);
    EXPECT_EQ(png.PhysicalY(), 2835);
    EXPECT_TRUE(png.BackgroundPresent());
    EXPECT_EQ(png.BackgroundColor(), 0x1E140Au);
    png.LoadFromBytes(EncodePng(p, {{"pHYs", inches}, {"bKGD", {1, 2}}}));
    EXPECT_EQ(png.PhysicalX(), 0);
    EXPECT_EQ(png.PhysicalY(), 0);
    EXPECT_FALSE(png.BackgroundPresent()); // a 2-byte background does not fit an RGB picture
    EXPECT_EQ(png.BackgroundColor(), 0xFFFFFFu);
}

TEST(PngChunks, AncillaryAndIgnoredChunksLoad) {
    const TPicture p = RandomPicture(4, 4, 8, 0);
    const TChunks accepted[] = {
        {{"tEXt", {'a', 0, 'b'}}},
        {{"tIME", {7, 234, 1, 1, 0, 0, 0}}},
        {{"zzzz", {}}},
        {{"PLTE", std::vector<uint8_t>(10, 1)}}, // not a palette picture: ignored whatever its length
        {{"pHYs", {1, 2, 3}}},
    };
    for (const TChunks& c : accepted) {
        SCOPED_TRACE(c[0].first);
        EXPECT_EQ(Decode(EncodePng(p, c)), "");
    }
}

// ---------------------------------------------------------------- refused files

TEST(PngRefused, BadSignature) {
    const TPicture p = RandomPicture(2, 2, 8, 0);
    const auto good = EncodePng(p);
    for (std::size_t i = 0; i < 8; ++i) {
        auto bad = good;
        bad[i] ^= 0x20;
        EXPECT_EQ(Decode(bad), kBadSignature) << "byte " << i;
    }
    EXPECT_EQ(Decode({}), kBadSignature);
    EXPECT_EQ(Decode(std::span(good).first(7)), kBadSignature);
}

// Offsets of every chunk start of a file.
std::vector<std::size_t> ChunkStarts(const std::vector<uint8_t>& png) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        starts.push_back(at);
        const uint32_t len = (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        at += 12 + len;
    }
    return starts;
}

TEST(PngRefused, TruncationAtEveryChunkBoundaryAndInside) {
    const TPicture p = RandomPicture(20, 20, 8, 3);
    const auto file = EncodePng(p, {{"PLTE", std::vector<uint8_t>(30, 5)}, {"tEXt", {'k', 0, 'v'}}}, 0, 100);
    const auto starts = ChunkStarts(file);
    ASSERT_GE(starts.size(), 6u);
    for (std::size_t start : starts)
        for (std::size_t cut : {start, start + 1, start + 4, start + 8, start + 11, start + 12})
            if (cut < file.size()) {
                EXPECT_EQ(Decode(std::span(file).first(cut)), kInvalid) << "cut at " << cut;
            }
    // Cut inside a chunk's data or its CRC.
    for (std::size_t cut = starts[1] + 9; cut < starts[2]; cut += 7)
        EXPECT_EQ(Decode(std::span(file).first(cut)), kInvalid) << "cut at " << cut;
    EXPECT_EQ(Decode(std::span(file).first(file.size() - 1)), kInvalid);
    EXPECT_EQ(Decode(file), "");
}

TEST(PngRefused, CrcErrorInAnyChunk) {
    const TPicture p = RandomPicture(6, 6, 8, 2);
    const auto file = EncodePng(p, {{"tEXt", {'k', 0, 'v'}}});
    for (std::size_t start : ChunkStarts(file)) {
        for (std::size_t offset : {std::size_t{4}, std::size_t{8}}) { // a type byte, a data or CRC byte
            auto bad = file;
            bad[start + offset] ^= 0x01;
            EXPECT_EQ(Decode(bad), kBadCrc) << "chunk at " << start << " byte " << offset;
        }
    }
}

TEST(PngRefused, MalformedStructure) {
    const TPicture p = RandomPicture(4, 4, 8, 2);
    const auto data = Deflate(FilteredData(p));
    const auto header = Ihdr(4, 4, 8, 2);
    auto iend = [](std::vector<uint8_t>& f) { AddChunk(f, "IEND", {}); };

    struct TCase {
        const char* Name;
        std::vector<uint8_t> File;
        std::string Message;
    };
    std::vector<TCase> cases;
    {
        auto f = Signature();
        AddChunk(f, "tEXt", std::vector<uint8_t>{'a', 0});
        AddChunk(f, "IHDR", header);
        AddChunk(f, "IDAT", data);
        iend(f);
        cases.push_back({"ancillary chunk before IHDR", f, kInvalid});
    }
    {
        auto f = Signature();
        AddChunk(f, "IDAT", data);
        AddChunk(f, "IHDR", header);
        iend(f);
        cases.push_back({"IDAT before IHDR", f, kInvalid});
    }
    {
        auto f = Signature();
        AddChunk(f, "IDAT", data);
        iend(f);
        cases.push_back({"no IHDR", f, kInvalid});
    }
    {
        auto f = Signature();
        AddChunk(f, "IHDR", header);
        AddChunk(f, "IHDR", header);
        AddChunk(f, "IDAT", data);
        iend(f);
        cases.push_back({"second IHDR", f, kInvalid});
    }
    {
        auto f = Signature();
        AddChunk(f, "IHDR", std::span(header).first(12));
        AddChunk(f, "IDAT", data);
        iend(f);
        cases.push_back({"short IHDR", f, kInvalid});
    }
    cases.push_back({"unknown critical chunk", AssemblePng(header, {{"QUUX", {1, 2}}}, data), kInvalid});
    cases.push_back({"unknown critical chunk, empty", AssemblePng(header, {{"Zz9z", {}}}, data), kInvalid});
    cases.push_back({"interlace 2", AssemblePng(Ihdr(4, 4, 8, 2, 2), {}, data), kInvalid});
    cases.push_back({"width 0", AssemblePng(Ihdr(0, 4, 8, 2), {}, data), kInvalid});
    cases.push_back({"height 0", AssemblePng(Ihdr(4, 0, 8, 2), {}, data), kInvalid});
    cases.push_back({"width 2^31", AssemblePng(Ihdr(0x80000000u, 1, 8, 2), {}, data), kInvalid});
    const auto paletteHeader = Ihdr(4, 4, 8, 3);
    cases.push_back({"PLTE of 257 entries",
                     AssemblePng(paletteHeader, {{"PLTE", std::vector<uint8_t>(771, 1)}}, data), kInvalid});
    cases.push_back({"PLTE not whole entries",
                     AssemblePng(paletteHeader, {{"PLTE", std::vector<uint8_t>(10, 1)}}, data), kInvalid});
    cases.push_back({"empty IDAT", AssemblePng(header, {}, {}), kNoData});
    {
        auto f = Signature();
        AddChunk(f, "IHDR", header);
        AddChunk(f, "IDAT", {});
        AddChunk(f, "IDAT", {});
        iend(f);
        cases.push_back({"several empty IDAT", f, kNoData});
    }
    {
        auto f = Signature();
        AddChunk(f, "IHDR", header);
        AddChunk(f, "IDAT", data);
        f.insert(f.end(), {0, 0, 0, 0, 'I', 'E', 'N'});
        cases.push_back({"IEND cut", f, kInvalid});
    }
    {
        auto f = Signature();
        AddChunk(f, "IHDR", header);
        PutU32(f, 0xFFFFFFF0u); // a length far beyond the file
        f.insert(f.end(), {'I', 'D', 'A', 'T', 0, 0, 0, 0, 0, 0, 0, 0});
        cases.push_back({"chunk length beyond the file", f, kInvalid});
    }
    {
        auto f = Signature();
        AddChunk(f, "IHDR", header);
        AddChunk(f, "IDAT", data);
        PutU32(f, 4); // data of 4 bytes, but the file ends before the CRC
        f.insert(f.end(), {'I', 'E', 'N', 'D', 0, 0, 0, 0});
        cases.push_back({"CRC beyond the file", f, kInvalid});
    }
    for (const TCase& c : cases) EXPECT_EQ(Decode(c.File), c.Message) << c.Name;
}

TEST(PngRefused, EveryColourTypeAndDepthOutsideTheTable) {
    const auto data = Deflate(std::vector<uint8_t>(64, 0));
    int refused = 0;
    for (int type = 0; type < 8; ++type)
        for (int depth = 0; depth <= 17; ++depth) {
            const bool valid =
                (type == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)) ||
                (type == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) ||
                ((type == 2 || type == 4 || type == 6) && (depth == 8 || depth == 16));
            if (valid) continue;
            const auto file = AssemblePng(Ihdr(2, 2, uint8_t(depth), uint8_t(type)), {}, data);
            EXPECT_EQ(Decode(file), kInvalid) << "type " << type << " depth " << depth;
            ++refused;
        }
    EXPECT_EQ(refused, 8 * 18 - 15);
}

TEST(PngRefused, BrokenCompressedData) {
    const TPicture p = RandomPicture(16, 16, 8, 2);
    const auto good = Deflate(FilteredData(p));
    const auto header = Ihdr(16, 16, 8, 2);
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Data;
        std::string Message;
    };
    std::vector<TCase> cases;
    auto badHeader = good;
    badHeader[1] ^= 0x01; // header check fails
    cases.push_back({"bad zlib header", badHeader, kCorrupt});
    cases.push_back({"not zlib at all", std::vector<uint8_t>(40, 0xFF), kCorrupt});
    cases.push_back({"reserved block type", {0x78, 0x9C, 0x07, 0, 0, 0}, kCorrupt});
    cases.push_back({"preset dictionary", {0x78, 0xBB, 0, 0, 0, 1, 0x03, 0}, kCorrupt});
    // A stored block whose length and its complement disagree.
    cases.push_back(
        {"bad stored length", {0x78, 0x01, 0x01, 0x05, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5}, kCorrupt});
    cases.push_back({"a stream of nothing", Deflate({}), kNoData});
    cases.push_back({"header only", {0x78, 0x9C}, kNoData});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TtsPNGImage png;
        TBMPImage bitmap;
        bitmap.SetSize(TPixelFormat::Indexed8, 3, 3);
        bitmap.Row(1)[1] = 77;
        EXPECT_EQ(Decode(AssemblePng(header, {}, c.Data), bitmap, png), c.Message);
        // A failed decode leaves the caller's bitmap as it was.
        EXPECT_EQ(bitmap.Width(), 3);
        EXPECT_EQ(bitmap.Row(1)[1], 77);
    }
}

TEST(PngRefused, FailedLoadKeepsNothing) {
    const TPicture p = RandomPicture(4, 4, 8, 2);
    TtsPNGImage png;
    png.LoadFromBytes(EncodePng(p));
    auto bad = EncodePng(p);
    bad[20] ^= 1;
    EXPECT_THROW(png.LoadFromBytes(bad), EInvalidGraphic);
    TBMPImage bitmap;
    try {
        png.AssignTo(bitmap);
        FAIL() << "assigned after a failed load";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(std::string(e.what()), kInvalid);
    }
    EXPECT_TRUE(bitmap.Empty());
}

// ---------------------------------------------------------------- bounded decoding

TEST(PngBounds, PictureBeyondTheWorkingBoundIsRefusedBeforeDecoding) {
    const auto data = Deflate(std::vector<uint8_t>(100, 0));
    EXPECT_EQ(Decode(AssemblePng(Ihdr(100000, 100000, 8, 2), {}, data)), "Image is too large");
    EXPECT_EQ(Decode(AssemblePng(Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 1, 0), {}, data)), "Image is too large");
    // One row of 40 million 16-bit RGBA pixels: the picture fits, the file's rows (320 MB) do not.
    EXPECT_EQ(Decode(AssemblePng(Ihdr(40000000, 1, 16, 6), {}, data)), "Image is too large");
}

TEST(PngBounds, MaskCountsAgainstTheWorkingBound) {
    // 16-bit gray+alpha of 2^30 pixels: a 1 GiB picture, and its mask beside it only when wanted.
    const auto data = Deflate(std::vector<uint8_t>(100, 0));
    const auto file = AssemblePng(Ihdr(32768, 32768, 16, 4), {}, data);
    EXPECT_EQ(Decode(file), "Image is too large");
    TtsPNGImage png;
    png.WantMask = false;
    TBMPImage bitmap;
    EXPECT_EQ(Decode(file, bitmap, png), kInvalid); // past the bound check, refused for its short data
}

TEST(PngBounds, DeclaredSizeThatTheDataCannotFillIsRefused) {
    // 20000 × 20000 gray fits the working bound (400 MB) but a few KB of deflate data cannot hold it:
    // no picture is allocated for it.
    const auto data = Deflate(std::vector<uint8_t>(4 << 20, 0), 9);
    ASSERT_LT(data.size(), 8000u);
    EXPECT_EQ(Decode(AssemblePng(Ihdr(20000, 20000, 8, 0), {}, data)), kInvalid);
}

TEST(PngBounds, DataBeyondThePictureIsNotInflated) {
    // 16 MB of zeros in about 16 KB: a picture of 8 × 8 takes its 72 bytes and stops.
    std::vector<uint8_t> raw(16u << 20, 0);
    const auto bomb = Deflate(raw, 9);
    raw.clear();
    raw.shrink_to_fit();
    TtsPNGImage png;
    TBMPImage bitmap;
    ASSERT_EQ(Decode(AssemblePng(Ihdr(8, 8, 8, 0), {}, bomb), bitmap, png), "");
    EXPECT_EQ(bitmap.Width(), 8);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(bitmap.Row(y)[x], 0);
}

TEST(PngBounds, RowsAfterABadFilterTypeAndMissingRowsAreZero) {
    const TPicture p = RandomPicture(7, 6, 8, 6, 0, 3);
    const auto filtered = FilteredData(p);
    const std::size_t rowSize = 1 + 7 * 4;
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Compressed;
        int32_t GoodRows;
    };
    auto badFilter = filtered;
    badFilter[3 * rowSize] = 5;
    auto completeButShort = Deflate(std::span(filtered).first(2 * rowSize + 10));
    auto cutStream = Deflate(filtered, 0); // stored blocks: a cut keeps the rows before it
    cutStream.resize(2 + 5 + 4 * rowSize + 3);
    const TCase cases[] = {
        {"filter type 5 at row 3", Deflate(badFilter), 3},
        {"stream ends after two rows and a half", completeButShort, 2},
        {"stream cut inside row 4", cutStream, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TtsPNGImage png;
        TBMPImage bitmap;
        ASSERT_EQ(Decode(AssemblePng(Ihdr(7, 6, 8, 6), {}, c.Compressed), bitmap, png), "");
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x = 0; x < 7; ++x) {
                const uint32_t ux = uint32_t(x), uy = uint32_t(y);
                const bool good = y < c.GoodRows;
                const TRGB want =
                    good ? TRGB{uint8_t(p.At(ux, uy, 0)), uint8_t(p.At(ux, uy, 1)), uint8_t(p.At(ux, uy, 2))}
                         : TRGB{};
                ASSERT_EQ(RgbAt(bitmap, x, y), want) << x << "," << y;
                ASSERT_EQ(png.AlphaMask()[std::size_t(y) * 7 + std::size_t(x)], good ? p.At(ux, uy, 3) : 0);
            }
    }
}

TEST(PngBounds, InterlacedPictureWithABadFilterStopsThere) {
    // Pass 1 decodes; a bad filter in pass 2 leaves every other pixel zero.
    TPicture p = RandomPicture(16, 16, 8, 0, 1, 5);
    for (auto& v : p.Samples) v |= 1; // no sample is zero
    auto filtered = FilteredData(p);
    filtered[2 * 3] = 9; // pass 1 has 2 rows of 2 pixels (3 bytes each); then pass 2 begins
    TBMPImage bitmap;
    TtsPNGImage png;
    ASSERT_EQ(Decode(AssemblePng(Ihdr(16, 16, 8, 0, 1), {}, Deflate(filtered)), bitmap, png), "");
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const bool pass1 = x % 8 == 0 && y % 8 == 0;
            EXPECT_EQ(bitmap.Row(y)[x], pass1 ? p.At(uint32_t(x), uint32_t(y), 0) : 0) << x << "," << y;
        }
}

} // namespace
} // namespace pagelith
