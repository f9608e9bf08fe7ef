#include "platform/bstr_util.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

namespace {

std::uint32_t PrefixOf(BSTR b) {
    std::uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
    return prefix;
}

TEST(Bstr, CarriesByteLengthPrefixAndTerminator) {
    BSTR b = SysAllocString(OLESTR("abc"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(PrefixOf(b), 6u);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(SysStringByteLen(b), 6u);
    EXPECT_EQ(b[3], 0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 8, 0u);
    SysFreeString(b);
}

TEST(Bstr, KeepsEmbeddedNuls) {
    const OLECHAR text[] = {u'a', 0, u'b', 0, u'c'};
    BSTR b = SysAllocStringLen(text, 5);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 5u);
    EXPECT_EQ(pagelith::BstrToU16(b), std::u16string(text, 5));
    EXPECT_EQ(b[5], 0);
    SysFreeString(b);
}

TEST(Bstr, NullReadsAsEmpty) {
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    EXPECT_EQ(pagelith::BstrToU16(nullptr), u"");
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
    BSTR zeroed = SysAllocStringLen(nullptr, 4); // buffer without a source
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(SysStringLen(zeroed), 4u);
    EXPECT_EQ(zeroed[0], 0);
    SysFreeString(zeroed);
}

TEST(Bstr, ReallocCopiesEvenFromItsOwnBuffer) {
    BSTR b = SysAllocString(OLESTR("hello world"));
    ASSERT_TRUE(SysReAllocStringLen(&b, b + 6, 5));
    EXPECT_EQ(pagelith::BstrToU16(b), u"world");
    ASSERT_TRUE(SysReAllocString(&b, OLESTR("x")));
    EXPECT_EQ(SysStringLen(b), 1u);
    SysFreeString(b);
}

TEST(Bstr, ByteLengthAndOddSizes) {
    BSTR b = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringByteLen(b), 3u);
    EXPECT_EQ(SysStringLen(b), 1u);
    SysFreeString(b);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr); // byte length beyond 32 bits
}

TEST(Bstr, U16RoundTripAndOwningHandle) {
    const std::u16string text = u"Gr\u00fc\u00dfe \U0001F600";
    pagelith::UniqueBstr b(pagelith::U16ToBstr(text));
    EXPECT_EQ(SysStringLen(b.get()), text.size());
    EXPECT_EQ(pagelith::BstrToU16(b.get()), text);
    pagelith::UniqueBstr empty(pagelith::U16ToBstr(u""));
    ASSERT_NE(empty.get(), nullptr); // an empty string is still a string
    EXPECT_EQ(SysStringLen(empty.get()), 0u);
}

TEST(Guid, RegistryText) {
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(IID_IDispatch, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{00020400-0000-0000-C000-000000000046}");
    ASSERT_EQ(StringFromGUID2(IID_IErrorInfo, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
    EXPECT_EQ(StringFromGUID2(IID_IDispatch, text, 38), 0);
    EXPECT_TRUE(IsEqualGUID(IID_IUnknown, IID_IUnknown));
    EXPECT_FALSE(IID_IUnknown == IID_IDispatch);
}

} // namespace
