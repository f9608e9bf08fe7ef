// The document's image members: properties, sizes, files, bytes and bitmap handles, with the PDF
// images read back by an independent decoder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/pdf_error.h"
#include "document/pagelith.h"
#include "images/bitmap_handle_source.h"
#include "images/image_res.h"
#include "images/image_test_support.h"
#include "text/text_res.h"

namespace pagelith {
namespace {

using namespace pagelith::testing;

// Global memory blocks and bitmap objects by handle, recording what the document does with them.
class TFakeHandles final : public TBitmapHandleSource {
public:
    std::map<intptr_t, std::vector<uint8_t>> Memory;
    std::map<intptr_t, TBMPImage> Bitmaps;
    std::vector<intptr_t> Freed;
    std::vector<std::pair<intptr_t, bool>> Done;

    bool ReadBitmap(intptr_t handle, TBMPImage& bitmap) override {
        const auto it = Bitmaps.find(handle);
        if (it == Bitmaps.end()) return false;
        bitmap = it->second;
        return true;
    }
    void DoneWithBitmap(intptr_t handle, bool destroy) override {
        Done.emplace_back(handle, destroy);
        if (destroy) Bitmaps.erase(handle);
    }
    bool UsePackedDIB(intptr_t handle, const std::function<void(std::span<const uint8_t>)>& use) override {
        Freed.push_back(handle);
        const auto it = Memory.find(handle);
        if (it == Memory.end()) return false;
        const std::vector<uint8_t> bytes = std::move(it->second);
        Memory.erase(it);
        use(bytes);
        return true;
    }
};

void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A packed bitmap: header, colour table, rows bottom-up with padding bytes of 0xEE. pixel(x, y)
// gives a palette index or 0xRRGGBB; y = 0 is the top row.
template <class F>
std::vector<uint8_t> PackedDIB(uint16_t bits, int32_t w, int32_t h, const std::vector<TRGB>& palette,
                               F&& pixel, uint32_t pixelsPerMetre = 0) {
    const std::size_t entries = bits == 24 ? 0 : std::size_t{1} << bits;
    const std::size_t rowBytes = (std::size_t(w) * bits + 7) / 8, stride = (rowBytes + 3) / 4 * 4;
    std::vector<uint8_t> b(40 + 4 * entries + stride * std::size_t(h), 0xEE);
    std::fill(b.begin(), b.begin() + 40, 0);
    Put32(b, 0, 40);
    Put32(b, 4, uint32_t(w));
    Put32(b, 8, uint32_t(h));
    b[12] = 1;
    b[14] = uint8_t(bits);
    Put32(b, 24, pixelsPerMetre);
    Put32(b, 28, pixelsPerMetre);
    for (std::size_t i = 0; i < entries; ++i) {
        const TRGB c = i < palette.size() ? palette[i] : TRGB{};
        b[40 + 4 * i] = c.B;
        b[41 + 4 * i] = c.G;
        b[42 + 4 * i] = c.R;
        b[43 + 4 * i] = 0;
    }
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = b.data() + 40 + 4 * entries + stride * std::size_t(h - 1 - y);
        std::fill(row, row + rowBytes, 0);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t v = pixel(x, y);
            if (bits == 1)
                row[x / 8] |= uint8_t((v & 1) << (7 - x % 8));
            else if (bits == 4)
                row[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4));
            else if (bits == 8)
                row[x] = uint8_t(v);
            else {
                row[3 * x] = uint8_t(v);
                row[3 * x + 1] = uint8_t(v >> 8);
                row[3 * x + 2] = uint8_t(v >> 16);
            }
        }
    }
    return b;
}

// The colours a reader of the source would see.
template <class F>
std::string SourceRgb(uint16_t bits, int32_t w, int32_t h, const std::vector<TRGB>& palette, F&& pixel) {
    std::string out;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t v = pixel(x, y);
            const TRGB c = bits == 24 ? TRGB{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)} : palette.at(v);
            out += char(c.R);
            out += char(c.G);
            out += char(c.B);
        }
    return out;
}

std::vector<TRGB> Colours(std::size_t n) {
    std::vector<TRGB> p;
    for (std::size_t i = 0; i < n; ++i)
        p.push_back({uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 5 + 3)});
    return p;
}

const TPDFImageRes& ImageAt(const TPagelith& doc, int32_t n) {
    return dynamic_cast<const TPDFImageRes&>(*doc.Resource(n));
}

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(ImageMembers, CompressionSettersKeepTheLowByteAndIgnoreCodesTheClassCannotUse) {
    struct {
        void (TPagelith::*Set)(int32_t);
        uint8_t TPagelith::*Field;
        int32_t Value;
        uint8_t Want; // starting from 0
    } const cases[] = {
        {&TPagelith::SetCompressionBW, &TPagelith::CompressionBW, 1, 1},
        {&TPagelith::SetCompressionBW, &TPagelith::CompressionBW, 2, 2},
        {&TPagelith::SetCompressionBW, &TPagelith::CompressionBW, 3, 0},
        {&TPagelith::SetCompressionBW, &TPagelith::CompressionBW, 4, 0},
        {&TPagelith::SetCompressionBW, &TPagelith::CompressionBW, 0x101, 1},
        {&TPagelith::SetCompressionBW, &TPagelith::CompressionBW, -1, 0},
        {&TPagelith::SetCompressionIndexed, &TPagelith::CompressionIndexed, 1, 0},
        {&TPagelith::SetCompressionIndexed, &TPagelith::CompressionIndexed, 2, 2},
        {&TPagelith::SetCompressionIndexed, &TPagelith::CompressionIndexed, 3, 0},
        {&TPagelith::SetCompressionIndexed, &TPagelith::CompressionIndexed, 200, 0},
        {&TPagelith::SetCompressionRGB, &TPagelith::CompressionRGB, 1, 0},
        {&TPagelith::SetCompressionRGB, &TPagelith::CompressionRGB, 3, 3},
        {&TPagelith::SetCompressionRGB, &TPagelith::CompressionRGB, 0x203, 3},
        {&TPagelith::SetCompressionRGB, &TPagelith::CompressionRGB, 5, 0},
        {&TPagelith::SetCompressionGray, &TPagelith::CompressionGray, 1, 0},
        {&TPagelith::SetCompressionGray, &TPagelith::CompressionGray, 2, 2},
        {&TPagelith::SetCompressionGray, &TPagelith::CompressionGray, 3, 3},
        {&TPagelith::SetCompressionGray, &TPagelith::CompressionGray, 255, 0},
    };
    for (const auto& c : cases) {
        TPagelith doc;
        doc.*c.Field = 0;
        (doc.*c.Set)(c.Value);
        EXPECT_EQ(doc.*c.Field, c.Want) << c.Value;
    }
    TPagelith doc;
    for (const int32_t n : {0, -5, INT32_MIN}) doc.SetImageReadNumber(n);
    EXPECT_EQ(doc.ImageReadNumber, 1);
    doc.SetImageReadNumber(3);
    EXPECT_EQ(doc.ImageReadNumber, 3);
}

TEST(ImageMembers, SizeIsPixelsOverResolutionInTheCurrentUnit) {
    TPagelith doc;
    for (const uint32_t dpi : {72u, 144u}) {
        auto image = std::make_unique<TPDFImageRes>();
        image->Width = 720;
        image->Height = 360;
        image->XResolution = dpi;
        image->YResolution = 72;
        doc.Resources.Append(std::move(image));
    }
    doc.CreateText();
    EXPECT_EQ(doc.ImageWidth(1), 720.0);
    EXPECT_EQ(doc.ImageWidth(2), 360.0);
    EXPECT_EQ(doc.ImageHeight(2), 360.0);
    doc.Units = 1; // inches
    EXPECT_DOUBLE_EQ(doc.ImageWidth(1), 10.0);
    EXPECT_DOUBLE_EQ(doc.ImageHeight(1), 5.0);
    for (const int32_t n : {0, -1, 3, 4, INT32_MAX}) {
        EXPECT_EQ(doc.ImageWidth(n), 0.0) << n;
        EXPECT_EQ(doc.ImageHeight(n), 0.0) << n;
    }
}

TEST(ImageMembers, PackedBitmapsOfEveryDepthBecomeTheirRows) {
    const auto pixel = [](int x, int y) { return uint32_t(x * 3 + y * 5); };
    struct {
        uint16_t Bits;
        int32_t Width;
        std::size_t RowBytes;
    } const cases[] = {{1, 13, 2}, {4, 5, 3}, {8, 7, 7}, {24, 3, 9}, {24, 4, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bits);
        const std::size_t entries = c.Bits == 24 ? 0 : std::size_t{1} << c.Bits;
        const auto palette = Colours(entries);
        const auto mask = [&](int x, int y) {
            const uint32_t v = pixel(x, y);
            return c.Bits == 24 ? v * 0x010307 : v % entries;
        };
        TFakeHandles handles;
        handles.Memory[0x40] = PackedDIB(c.Bits, c.Width, 3, palette, mask, 3780);
        TPagelith doc;
        doc.CompressionIndexed = doc.CompressionRGB = 0;
        ASSERT_EQ(doc.AddImageBMPHandle(0x40, handles), 1);
        const TPDFImageRes& image = ImageAt(doc, 1);
        EXPECT_EQ(image.Width, uint32_t(c.Width));
        EXPECT_EQ(image.Height, 3u);
        // The header's resolution stays in the bitmap, not in the resource.
        EXPECT_EQ(image.XResolution, 72u);
        EXPECT_EQ(image.YResolution, 72u);
        EXPECT_EQ(image.Data.size(), c.RowBytes * 3);
        EXPECT_EQ(image.Data.Bytes().find('\xEE'), std::string::npos); // no padding byte was copied
        EXPECT_EQ(handles.Freed, std::vector<intptr_t>{0x40});

        // Decoded by an independent reader, the PDF image shows the source's colours.
        doc.AddPage(0);
        doc.ApplyResource(1, 1);
        const std::string name =
            "packed-dib-" + std::to_string(c.Bits) + "-" + std::to_string(c.Width) + ".pdf";
        const std::string pdf = SavePdf(doc);
        EXPECT_TRUE(ReadersAccept(name, pdf));
        const auto images = ExtractImages(name, pdf);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].Rgb, SourceRgb(c.Bits, c.Width, 3, palette, mask));
    }
}

TEST(ImageMembers, Packed24BitRowsAreReadFromTheirPaddedStride) {
    // Three pixels: 9 bytes of each row are copied from rows 12 bytes apart; the top row's padding
    // may be missing from the memory.
    // The first samples are a line feed and a carriage return: they must reach the file unchanged.
    const auto pixel = [](int x, int y) { return uint32_t(0x0A0D20 + 0x111111 * x + y); };
    auto dib = PackedDIB(24, 3, 2, {}, pixel);
    ASSERT_EQ(dib.size(), 40u + 24u);
    dib.resize(dib.size() - 3);
    TFakeHandles handles;
    handles.Memory[8] = dib;
    TPagelith doc;
    doc.CompressionRGB = 0;
    ASSERT_EQ(doc.AddImageBMPHandle(8, handles), 1);
    EXPECT_EQ(ImageAt(doc, 1).Data.Bytes(), SourceRgb(24, 3, 2, {}, pixel));
    EXPECT_EQ(ImageAt(doc, 1).Data.Bytes().substr(0, 2), "\x0A\x0D");
    doc.AddPage(0);
    doc.ApplyResource(1, 1);
    const std::string pdf = SavePdf(doc);
    // A line feed right after "stream" is taken as part of the keyword unless the keyword ends in CR LF.
    // (The page's content stream comes first and starts with a zlib header, never a line feed.)
    const std::size_t keyword = pdf.find("stream\r");
    ASSERT_NE(keyword, std::string::npos);
    ASSERT_EQ(pdf[keyword + 7], '\n');
    EXPECT_TRUE(ReadersAccept("packed-24-stride.pdf", pdf));
    const auto images = ExtractImages("packed-24-stride.pdf", pdf);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].Rgb, SourceRgb(24, 3, 2, {}, pixel));
}

TEST(ImageMembers, TopDownPackedBitmapsKeepTheirRowOrder) {
    const auto pixel = [](int x, int y) { return uint32_t(x + 4 * y); };
    auto dib = PackedDIB(8, 4, 3, Colours(256), pixel);
    // The same memory read top-down is the picture upside down.
    Put32(dib, 8, uint32_t(-3));
    TFakeHandles handles;
    handles.Memory[8] = dib;
    TPagelith doc;
    doc.CompressionIndexed = 0;
    ASSERT_EQ(doc.AddImageBMPHandle(8, handles), 1);
    EXPECT_EQ(ImageAt(doc, 1).Data.Bytes(),
              std::string("\x08\x09\x0A\x0B\x04\x05\x06\x07\x00\x01\x02\x03", 12));
}

// A light first entry makes the palette black then white; the picture must keep its look.
TEST(ImageMembers, OneBitPackedBitmapWithWhiteFirstKeepsItsLook) {
    const auto pixel = [](int x, int y) { return uint32_t((x + y) % 3 == 0); };
    const std::vector<TRGB> whiteFirst{{255, 255, 255}, {0, 0, 0}};
    for (const uint8_t code : {0, 2, 1}) { // Group 4 last: it needs the encoder
        SCOPED_TRACE(int(code));
        TFakeHandles handles;
        handles.Memory[16] = PackedDIB(1, 21, 5, whiteFirst, pixel);
        TPagelith doc;
        doc.CompressionBW = code;
        int32_t n = 0;
        n = doc.AddImageBMPHandle(16, handles);
        ASSERT_EQ(n, 1);
        doc.AddPage(0);
        doc.ApplyResource(1, 1);
        const std::string pdf = SavePdf(doc);
        EXPECT_TRUE(ReadersAccept("packed-white-first-" + std::to_string(code) + ".pdf", pdf));
        const auto images = ExtractImages("packed-white-first-" + std::to_string(code) + ".pdf", pdf);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].Rgb, SourceRgb(1, 21, 5, whiteFirst, pixel));
    }
}

TEST(ImageMembers, HandleZeroAddsNothingAndTouchesNothing) {
    TFakeHandles handles;
    TPagelith doc;
    EXPECT_EQ(doc.AddImageBMPHandle(0, handles), 0);
    EXPECT_EQ(doc.Resources.Count(), 0u);
    EXPECT_TRUE(handles.Freed.empty());
}

TEST(ImageMembers, UnusableHandlesFailClearlyAddNothingAndAreFreed) {
    std::vector<uint8_t> header(40, 0);
    Put32(header, 4, 5);
    Put32(header, 8, 5);
    header[14] = 8;
    auto shortRows = PackedDIB(24, 10, 10, {}, [](int, int) { return 0u; });
    shortRows.resize(shortRows.size() - 10);
    auto bits32 = PackedDIB(24, 2, 2, {}, [](int, int) { return 0u; });
    bits32[14] = 32;
    auto noWidth = PackedDIB(8, 1, 1, {}, [](int, int) { return 0u; });
    Put32(noWidth, 4, 0);
    auto noHeight = PackedDIB(8, 1, 1, {}, [](int, int) { return 0u; });
    Put32(noHeight, 8, 0);
    auto huge = PackedDIB(24, 1, 1, {}, [](int, int) { return 0u; });
    Put32(huge, 4, 0x7FFFFFFF);
    Put32(huge, 8, 0x7FFFFFFF);
    struct {
        const char* Name;
        std::vector<uint8_t> Memory;
        const char* Message;
    } const cases[] = {
        {"short header", std::vector<uint8_t>(39, 0), "Packed bitmap is shorter than its header"},
        {"no colour table", header, "Packed bitmap is shorter than its header says"},
        {"rows cut short", shortRows, "Packed bitmap is shorter than its header says"},
        {"32 bits", bits32, "Packed bitmaps of 32 bits per pixel are not supported"},
        {"no columns", noWidth, "Packed bitmap has no rows or columns"},
        {"no rows", noHeight, "Packed bitmap has no rows or columns"},
        {"too large", huge, "Image is too large"},
    };
    for (const auto& c : cases) {
        TFakeHandles handles;
        handles.Memory[24] = c.Memory;
        TPagelith doc;
        EXPECT_EQ(ErrorOf([&] { doc.AddImageBMPHandle(24, handles); }), c.Message) << c.Name;
        EXPECT_EQ(doc.Resources.Count(), 0u);
        EXPECT_EQ(handles.Freed, std::vector<intptr_t>{24});
    }
    // Neither a bitmap nor memory: the argument arrives sign-extended.
    TFakeHandles handles;
    TPagelith doc;
    EXPECT_EQ(ErrorOf([&] { doc.AddImageBMPHandle(-8, handles); }),
              "The handle is neither a bitmap nor global memory holding a packed bitmap");
    EXPECT_EQ(handles.Freed, std::vector<intptr_t>{-8});
    EXPECT_EQ(doc.Resources.Count(), 0u);
}

TEST(ImageMembers, BitmapHandlesAreReleasedOrDestroyedByTheFlag) {
    for (const bool release : {true, false}) {
        TFakeHandles handles;
        handles.Bitmaps[0x1234] =
            MakeBitmap(TPixelFormat::Rgb24, 4, 2, [](int x, int) { return uint32_t(x * 0x40); });
        TPagelith doc;
        doc.ReleaseBMPHandle = release;
        ASSERT_EQ(doc.AddImageBMPHandle(0x1234, handles), 1);
        EXPECT_EQ(handles.Done, (std::vector<std::pair<intptr_t, bool>>{{0x1234, !release}}));
        EXPECT_EQ(handles.Bitmaps.count(0x1234), release ? 1u : 0u);
        EXPECT_TRUE(handles.Freed.empty()); // never taken for memory
        EXPECT_EQ(ImageAt(doc, 1).Width, 4u);
        EXPECT_EQ(ImageAt(doc, 1).XResolution, 72u);
    }
}

TEST(ImageMembers, FilesThatAreMissingOrNotPicturesAddNothing) {
    TPagelith doc;
    EXPECT_EQ(ErrorOf([&] { doc.AddImageFile("/no/such/dir/picture.png"); }), "File not found");
    EXPECT_EQ(ErrorOf([&] { doc.AddImageFile(std::string(PAGELITH_TEST_OUTPUT_DIR)); }), "File not found");
    EXPECT_EQ(ErrorOf([&] { doc.AddImageFile(std::string("/etc/hostname\0x", 15)); }), "File not found");
    const auto text = WriteFile("not-a-picture.png", "%PDF-1.2 this is no picture");
    EXPECT_EQ(ErrorOf([&] { doc.AddImageFile(text.string()); }), "File is not a supported image format");
    const uint8_t one = 'B';
    EXPECT_EQ(ErrorOf([&] { doc.AddImageBytes({&one, 1}); }), "Stream read error");
    EXPECT_EQ(doc.Resources.Count(), 0u);
}

TEST(ImageMembers, ImageCountLooksAtTheFirstByteOnly) {
    TPagelith doc;
    EXPECT_EQ(ErrorOf([&] { doc.ImageCount("/no/such/file.tif"); }), "File not found: /no/such/file.tif");
    for (const char first : {'\x00', '\x0A', '8', 'B', 'G', '\x89', '\xFF'}) {
        // Only the first byte counts, so a file the adding members refuse still counts as one.
        const auto path = WriteFile("count-one.bin", std::string(1, first) + "zz");
        EXPECT_EQ(doc.ImageCount(path.string()), 1) << int(first);
    }
    for (const std::string& content : {std::string("XY"), std::string("%PDF"), std::string()}) {
        const auto path = WriteFile("count-none.bin", content);
        EXPECT_EQ(ErrorOf([&] { doc.ImageCount(path.string()); }), "File is not a supported graphics format");
    }
}

} // namespace
} // namespace pagelith
