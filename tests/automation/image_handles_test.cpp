// Image data through the automation boundary: global memory handles and byte arrays.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/bitmap_handles.h"
#include "script_host.h"

namespace pagelith::test {
namespace {

// A 24-bit packed bitmap of w × h pixels of one colour in global memory.
HGLOBAL PackedRgb(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
    const std::size_t stride = (3 * std::size_t(w) + 3) / 4 * 4;
    const std::size_t size = 40 + stride * std::size_t(h);
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* bytes = static_cast<uint8_t*>(GlobalLock(memory));
    bytes[0] = 40;
    std::memcpy(bytes + 4, &w, 4);
    std::memcpy(bytes + 8, &h, 4);
    bytes[12] = 1;
    bytes[14] = 24;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = bytes + 40 + stride * std::size_t(y) + 3 * std::size_t(x);
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    GlobalUnlock(memory);
    return memory;
}

TEST(GlobalMemory, HandlesLockUnlockAndFreeLikeTheSystemOnes) {
    HGLOBAL a = GlobalAlloc(GHND, 100);
    HGLOBAL b = GlobalAlloc(GMEM_FIXED, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    // Handles survive a trip through a signed 32-bit value.
    EXPECT_EQ(
        reinterpret_cast<HGLOBAL>(static_cast<intptr_t>(static_cast<int32_t>(reinterpret_cast<intptr_t>(a)))),
        a);
    EXPECT_EQ(GlobalSize(a), 100u);
    EXPECT_EQ(GlobalSize(b), 0u);
    auto* p = static_cast<uint8_t*>(GlobalLock(a));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[99], 0);
    EXPECT_EQ(GlobalLock(a), p); // movable memory stays put here
    EXPECT_NE(GlobalUnlock(a), 0);
    EXPECT_EQ(GlobalUnlock(a), 0);
    EXPECT_EQ(GlobalUnlock(a), 0); // not locked any more
    EXPECT_EQ(GlobalFree(a), nullptr);
    EXPECT_EQ(GlobalFree(a), a); // a second free fails
    EXPECT_EQ(GlobalLock(a), nullptr);
    EXPECT_EQ(GlobalSize(a), 0u);
    EXPECT_EQ(GlobalFree(b), nullptr);
    EXPECT_EQ(GlobalLock(reinterpret_cast<HGLOBAL>(intptr_t{12345})), nullptr);
}

// A packed bitmap handle serves one call: another thread's call while the first still reads finds
// nothing, instead of freeing the memory under it.
TEST(GlobalMemory, APackedBitmapHandleServesOneCallOnly) {
    HGLOBAL memory = PackedRgb(3, 2, 10, 20, 30);
    const auto handle = reinterpret_cast<intptr_t>(memory);
    TBitmapHandleSource& handles = PlatformBitmapHandles();
    bool second = true, secondRead = false;
    std::vector<uint8_t> read;
    EXPECT_TRUE(handles.UsePackedDIB(handle, [&](std::span<const uint8_t> dib) {
        std::thread([&] { second = handles.UsePackedDIB(handle, [&](auto) { secondRead = true; }); }).join();
        read.assign(dib.begin(), dib.end()); // after the other call is over
    }));
    EXPECT_FALSE(second || secondRead);
    ASSERT_EQ(read.size(), 64u);
    EXPECT_EQ(read[40] + 256 * read[42], 30 + 256 * 10); // blue and red of the first pixel
    EXPECT_EQ(GlobalLock(memory), nullptr);              // freed
}

TEST(ImageHandles, APackedBitmapInGlobalMemoryIsAddedAndItsMemoryFreed) {
    TScriptObject doc;
    doc.Put(u"CompressionRGB", {I4(0)});
    HGLOBAL memory = PackedRgb(3, 2, 10, 20, 30);
    const auto handle = static_cast<LONG>(reinterpret_cast<intptr_t>(memory));
    const TCall call = doc.Call(u"AddImageBMPHandle", {I4(handle)});
    ASSERT_EQ(call.Hr, S_OK) << std::string(call.Description.begin(), call.Description.end());
    EXPECT_EQ(call.Long(), 1);
    EXPECT_EQ(GlobalLock(memory), nullptr); // freed whatever ReleaseBMPHandle says
    EXPECT_EQ(doc.Get(u"ImageWidth", {I4(1)}).Double(), 3.0);
    EXPECT_EQ(doc.Get(u"ImageHeight", {I4(1)}).Double(), 2.0);

    // The same handle again names nothing any more.
    const TCall again = doc.Call(u"AddImageBMPHandle", {I4(handle)});
    EXPECT_EQ(again.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(again.Description, u"The handle is neither a bitmap nor global memory holding a packed bitmap");
    EXPECT_EQ(doc.Call(u"CreateText").Long(), 2);
}

TEST(ImageHandles, MemoryThatHoldsNoPictureIsFreedToo) {
    TScriptObject doc;
    for (const bool release : {true, false}) {
        doc.Put(u"ReleaseBMPHandle", {Bool(release ? VARIANT_TRUE : VARIANT_FALSE)});
        HGLOBAL memory = GlobalAlloc(GHND, 10);
        const TCall call =
            doc.Call(u"AddImageBMPHandle", {I4(static_cast<LONG>(reinterpret_cast<intptr_t>(memory)))});
        EXPECT_EQ(call.Description, u"Packed bitmap is shorter than its header");
        EXPECT_EQ(GlobalLock(memory), nullptr);
    }
}

// The array's first dimension decides how many bytes are the file.
TEST(ImageHandles, ByteArraysGiveTheirBoundsWorthOfBytes) {
    struct {
        LONG Lower;
        ULONG Count;
        const char16_t* Description;
    } const cases[] = {{1, 1, u"Stream read error"},
                       {1, 2, u"File is not a supported image format"},
                       {0, 1000, u"File is not a supported image format"},
                       {-5, 0, u"Stream read error"}};
    for (const auto& c : cases) {
        TScriptObject doc;
        TVariant array;
        array.get()->vt = VT_ARRAY | VT_UI1;
        array.get()->parray = SafeArrayCreateVector(VT_UI1, c.Lower, c.Count);
        void* data = nullptr;
        SafeArrayAccessData(array.get()->parray, &data);
        if (c.Count) std::memset(data, 'X', c.Count);
        SafeArrayUnaccessData(array.get()->parray);
        const TCall call = doc.Call(u"AddImageBytes", {array});
        EXPECT_EQ(call.Hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.Description, c.Description) << c.Count;
    }
    TScriptObject doc;
    EXPECT_EQ(doc.Call(u"AddImageBytes", {I4(7)}).Hr, DISP_E_EXCEPTION);
}

} // namespace
} // namespace pagelith::test
