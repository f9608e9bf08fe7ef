#include "fake_dispatch.h"
#include "platform/bstr_util.h"

#include <cstddef>
#include <gtest/gtest.h>

namespace {

static_assert(sizeof(VARIANT) == 24);
static_assert(offsetof(VARIANT, vt) == 0);
static_assert(offsetof(VARIANT, lVal) == 8 && offsetof(VARIANT, bstrVal) == 8 &&
              offsetof(VARIANT, parray) == 8);
static_assert(offsetof(VARIANT, pRecInfo) == 16);
static_assert(sizeof(SAFEARRAY) == 32 && offsetof(SAFEARRAY, pvData) == 16);
static_assert(sizeof(DISPPARAMS) == 24 && sizeof(EXCEPINFO) == 64);
static_assert(sizeof(VARIANT_BOOL) == 2 && VARIANT_TRUE == -1);
static_assert(sizeof(HRESULT) == 4 && E_UNEXPECTED == static_cast<HRESULT>(0x8000FFFF));
static_assert(DISPID_PROPERTYPUT == -3 && VT_ARRAY == 0x2000 && VT_BYREF == 0x4000);

// The vtable must be the COM one: QueryInterface, AddRef, Release, then IDispatch's four.
TEST(Variant, InterfaceVtableOrder) {
    pagelith::test::FakeDispatch fake;
    using Slot = ULONG (*)(IDispatch*);
    auto** vtable = *reinterpret_cast<void***>(static_cast<IDispatch*>(&fake));
    EXPECT_EQ(reinterpret_cast<Slot>(vtable[1])(&fake), 2u); // AddRef
    EXPECT_EQ(reinterpret_cast<Slot>(vtable[2])(&fake), 1u); // Release
}

TEST(Variant, ClearFreesStringsAndReleasesInterfaces) {
    pagelith::test::FakeDispatch fake;
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = &fake;
    fake.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(fake.refs, 1u);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);

    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(OLESTR("text"));
    EXPECT_EQ(VariantClear(&v), S_OK); // ASan reports a leak otherwise

    V_VT(&v) = 0x7F; // no such type
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(Variant, ClearLeavesByrefTargetsAlone) {
    BSTR s = SysAllocString(OLESTR("kept"));
    VARIANT v;
    V_VT(&v) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&v) = &s;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(pagelith::BstrToU16(s), u"kept");
    SysFreeString(s);
}

TEST(Variant, CopyDuplicatesAndCopyIndDereferences) {
    pagelith::test::FakeDispatch fake;
    VARIANT src, dst;
    VariantInit(&src);
    VariantInit(&dst);
    V_VT(&src) = VT_BSTR;
    V_BSTR(&src) = SysAllocString(OLESTR("abc"));
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    EXPECT_NE(V_BSTR(&dst), V_BSTR(&src));
    EXPECT_EQ(pagelith::BstrToU16(V_BSTR(&dst)), u"abc");

    // Copying over a string frees it; an interface is AddRef'd once.
    VARIANT unk;
    V_VT(&unk) = VT_DISPATCH;
    V_DISPATCH(&unk) = &fake;
    ASSERT_EQ(VariantCopy(&dst, &unk), S_OK);
    EXPECT_EQ(fake.refs, 2u);
    VariantClear(&dst);
    EXPECT_EQ(fake.refs, 1u);

    VARIANT ref;
    V_VT(&ref) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&ref) = &V_BSTR(&src);
    ASSERT_EQ(VariantCopy(&dst, &ref), S_OK); // shallow: still a reference
    EXPECT_EQ(V_VT(&dst), VT_BSTR | VT_BYREF);
    ASSERT_EQ(VariantCopyInd(&dst, &ref), S_OK);
    EXPECT_EQ(V_VT(&dst), VT_BSTR);
    EXPECT_EQ(pagelith::BstrToU16(V_BSTR(&dst)), u"abc");
    EXPECT_NE(V_BSTR(&dst), V_BSTR(&src));

    VARIANT inner, outer;
    V_VT(&inner) = VT_I4;
    V_I4(&inner) = 42;
    V_VT(&outer) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&outer) = &inner;
    ASSERT_EQ(VariantCopyInd(&dst, &outer), S_OK);
    EXPECT_EQ(V_VT(&dst), VT_I4);
    EXPECT_EQ(V_I4(&dst), 42);

    VariantClear(&src);
    VariantClear(&dst);
}

TEST(Variant, CopyOfArrayIsDeep) {
    VARIANT src, dst;
    VariantInit(&dst);
    V_VT(&src) = VT_ARRAY | VT_UI1;
    V_ARRAY(&src) = SafeArrayCreateVector(VT_UI1, 1, 3);
    static_cast<BYTE*>(V_ARRAY(&src)->pvData)[2] = 7;
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    ASSERT_NE(V_ARRAY(&dst), V_ARRAY(&src));
    EXPECT_EQ(static_cast<BYTE*>(V_ARRAY(&dst)->pvData)[2], 7);
    LONG lb = 0;
    EXPECT_EQ(SafeArrayGetLBound(V_ARRAY(&dst), 1, &lb), S_OK);
    EXPECT_EQ(lb, 1);
    VariantClear(&src);
    VariantClear(&dst);
}

} // namespace
