#include "platform/bstr_util.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeArray, BoundsForAnyLowerBound) {
    for (LONG lower : {1, 0, -5}) {
        SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, lower, 10);
        ASSERT_NE(psa, nullptr);
        LONG lb = 99, ub = 99;
        EXPECT_EQ(SafeArrayGetDim(psa), 1u);
        EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
        ASSERT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
        ASSERT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
        EXPECT_EQ(lb, lower);
        EXPECT_EQ(ub, lower + 9);
        EXPECT_EQ(ub - lb + 1, 10);
        EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lb), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetUBound(psa, 0, &ub), DISP_E_BADINDEX);
        VARTYPE vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
        EXPECT_EQ(vt, VT_UI1);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
}

TEST(SafeArray, EmptyArrayAndBadInput) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 1, 0);
    ASSERT_NE(psa, nullptr);
    LONG lb, ub;
    SafeArrayGetLBound(psa, 1, &lb);
    SafeArrayGetUBound(psa, 1, &ub);
    EXPECT_EQ(ub - lb + 1, 0);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 0, nullptr), nullptr);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &lb), E_INVALIDARG);
    // 2^32-1 elements in each of three dimensions cannot be held: refused, not wrapped around.
    SAFEARRAYBOUND huge[3] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 3, huge), nullptr);
}

TEST(SafeArray, LockingGuardsDestroy) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 1, 4);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    ASSERT_NE(data, nullptr);
    static_cast<BYTE*>(data)[3] = 0xAB;
    EXPECT_EQ(psa->cLocks, 1u);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED); // unbalanced
    VARIANT v;
    V_VT(&v) = VT_ARRAY | VT_UI1;
    V_ARRAY(&v) = psa;
    SafeArrayLock(psa);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(V_VT(&v), VT_ARRAY | VT_UI1); // still owned by the variant
    SafeArrayUnlock(psa);
    EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(SafeArray, MultiDimensionalIndexing) {
    SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, -1}}; // (1..2, -1..1)
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(psa, nullptr);
    LONG lb, ub;
    SafeArrayGetLBound(psa, 2, &lb);
    SafeArrayGetUBound(psa, 2, &ub);
    EXPECT_EQ(lb, -1);
    EXPECT_EQ(ub, 1);
    LONG index[2] = {2, 1};
    LONG value = 77;
    ASSERT_EQ(SafeArrayPutElement(psa, index, &value), S_OK);
    EXPECT_EQ(static_cast<LONG*>(psa->pvData)[5], 77); // the first index varies fastest
    LONG read = 0;
    ASSERT_EQ(SafeArrayGetElement(psa, index, &read), S_OK);
    EXPECT_EQ(read, 77);
    LONG outside[2] = {3, 0};
    EXPECT_EQ(SafeArrayGetElement(psa, outside, &read), DISP_E_BADINDEX);
    SafeArrayDestroy(psa);
}

TEST(SafeArray, OwnedElementsAreFreedAndCopied) {
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);
    LONG i = 1;
    BSTR s = SysAllocString(OLESTR("item"));
    ASSERT_EQ(SafeArrayPutElement(strings, &i, s), S_OK);
    SysFreeString(s);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(strings, &copy), S_OK);
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(copy, &i, &got), S_OK);
    EXPECT_EQ(pagelith::BstrToU16(got), u"item");
    SysFreeString(got);
    EXPECT_EQ(SafeArrayDestroy(strings), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    auto* cell = static_cast<VARIANT*>(variants->pvData);
    EXPECT_EQ(V_VT(cell), VT_EMPTY);
    V_VT(cell) = VT_BSTR;
    V_BSTR(cell) = SysAllocString(OLESTR("inside"));
    EXPECT_EQ(SafeArrayDestroy(variants), S_OK); // frees the string: ASan checks
}

} // namespace
