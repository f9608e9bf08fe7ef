// AddImageBMPHandle with the system's own handles: DIB sections and packed bitmaps in global memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document/pagelith.h"
#include "images/image_res.h"
#include "platform/bitmap_handles.h"
#include "platform/com.h"

namespace pagelith {
namespace {

struct TDib {
    BITMAPINFOHEADER Header;
    RGBQUAD Colors[256];
};

// Pixel (x, y) of the test pattern: a palette index, or a 24-bit colour.
uint32_t Pattern(int bits, int x, int y) {
    const uint32_t v = uint32_t(x * 3 + y * 5);
    return bits == 24 ? v * 0x010307 : v % (1u << bits);
}

TDib InfoFor(int bits, int w, int h) {
    TDib dib{};
    dib.Header.biSize = sizeof(BITMAPINFOHEADER);
    dib.Header.biWidth = w;
    dib.Header.biHeight = h;
    dib.Header.biPlanes = 1;
    dib.Header.biBitCount = WORD(bits);
    dib.Header.biCompression = BI_RGB;
    for (int i = 0; i < (bits == 24 ? 0 : 1 << bits); ++i)
        dib.Colors[i] = RGBQUAD{BYTE(i * 5 + 3), BYTE(255 - i * 11), BYTE(i * 37), 0};
    return dib;
}

// Rows bottom-up, each padded to four bytes, as both kinds of handle hold them.
std::vector<uint8_t> Rows(int bits, int w, int h) {
    const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
    std::vector<uint8_t> rows(stride * std::size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = rows.data() + stride * std::size_t(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const uint32_t v = Pattern(bits, x, y);
            if (bits == 1) row[x / 8] |= uint8_t((v & 1) << (7 - x % 8));
            if (bits == 4) row[x / 2] |= uint8_t(v << (x % 2 ? 0 : 4));
            if (bits == 8) row[x] = uint8_t(v);
            if (bits == 24) {
                row[3 * x] = uint8_t(v);
                row[3 * x + 1] = uint8_t(v >> 8);
                row[3 * x + 2] = uint8_t(v >> 16);
            }
        }
    }
    return rows;
}

// The samples raw encoding writes: rows top-down without padding, red first for 24 bits.
std::string Expected(int bits, int w, int h) {
    std::string out;
    const std::size_t rowBytes = (std::size_t(w) * bits + 7) / 8;
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    const std::vector<uint8_t> rows = Rows(bits, w, h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = rows.data() + stride * std::size_t(h - 1 - y);
        for (std::size_t i = 0; i < rowBytes; i += bits == 24 ? 3 : rowBytes) {
            if (bits == 24) {
                out += char(row[i + 2]);
                out += char(row[i + 1]);
                out += char(row[i]);
            } else {
                out.append(reinterpret_cast<const char*>(row), rowBytes);
            }
        }
    }
    return out;
}

TPagelith& RawDocument(TPagelith& doc) {
    doc.CompressionBW = doc.CompressionIndexed = doc.CompressionRGB = doc.CompressionGray = 0;
    return doc;
}

int32_t AsArgument(HANDLE handle) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(handle));
}

TEST(BitmapHandles, DibSectionsAreReadAndOwnedByTheFlag) {
    for (const int bits : {1, 4, 8, 24}) {
        for (const bool release : {true, false}) {
            SCOPED_TRACE(bits);
            const int w = 13, h = 3;
            TDib info = InfoFor(bits, w, h);
            void* pixels = nullptr;
            HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                              &pixels, nullptr, 0);
            ASSERT_NE(bitmap, nullptr);
            const std::vector<uint8_t> rows = Rows(bits, w, h);
            std::memcpy(pixels, rows.data(), rows.size());
            TPagelith doc;
            RawDocument(doc).ReleaseBMPHandle = release;
            ASSERT_EQ(doc.AddImageBMPHandle(AsArgument(bitmap), PlatformBitmapHandles()), 1);
            const auto& image = dynamic_cast<const TPDFImageRes&>(*doc.Resource(1));
            EXPECT_EQ(image.Width, uint32_t(w));
            EXPECT_EQ(image.Height, uint32_t(h));
            EXPECT_EQ(image.XResolution, 72u);
            EXPECT_EQ(image.Data.Bytes(), Expected(bits, w, h));
            // The caller's bitmap survives exactly when the flag says so.
            EXPECT_EQ(GetObjectType(bitmap) == OBJ_BITMAP, release);
            if (release) DeleteObject(bitmap);
        }
    }
}

TEST(BitmapHandles, PackedBitmapsInGlobalMemoryAreReadAndFreed) {
    for (const int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        const int w = 3, h = 4;
        const TDib info = InfoFor(bits, w, h);
        const std::size_t table = bits == 24 ? 0 : 4u << bits;
        const std::vector<uint8_t> rows = Rows(bits, w, h);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 40 + table + rows.size());
        auto* bytes = static_cast<uint8_t*>(GlobalLock(memory));
        std::memcpy(bytes, &info.Header, 40);
        std::memcpy(bytes + 40, info.Colors, table);
        std::memcpy(bytes + 40 + table, rows.data(), rows.size());
        GlobalUnlock(memory);
        TPagelith doc;
        ASSERT_EQ(RawDocument(doc).AddImageBMPHandle(AsArgument(memory), PlatformBitmapHandles()), 1);
        const auto& image = dynamic_cast<const TPDFImageRes&>(*doc.Resource(1));
        EXPECT_EQ(image.Data.Bytes(), Expected(bits, w, h));
        EXPECT_EQ(GlobalSize(memory), 0u); // freed
    }
}

TEST(BitmapHandles, AHandleThatIsNeitherFailsClearly) {
    TPagelith doc;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 16);
    GlobalFree(memory);
    try {
        doc.AddImageBMPHandle(AsArgument(memory), PlatformBitmapHandles());
        ADD_FAILURE() << "a freed handle was read";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The handle is neither a bitmap nor global memory holding a packed bitmap");
    }
    EXPECT_EQ(doc.AddImageBMPHandle(0, PlatformBitmapHandles()), 0);
    EXPECT_EQ(doc.Resources.Count(), 0u);
}

} // namespace
} // namespace pagelith
