#include "fake_dispatch.h"
#include "platform/bstr_util.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};

VARIANT Text(const char16_t* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = pagelith::U16ToBstr(s);
    return v;
}
VARIANT R8(double d) {
    VARIANT v;
    V_VT(&v) = VT_R8;
    V_R8(&v) = d;
    return v;
}
VARIANT I4(LONG l) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = l;
    return v;
}
VARIANT Bool(bool b) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// Converts src (cleared afterwards) and returns the HRESULT; out receives the result.
HRESULT Change(VARIANT src, VARTYPE vt, Var& out, USHORT flags = 0) {
    const HRESULT hr = VariantChangeType(&out.v, &src, flags, vt);
    VariantClear(&src);
    return hr;
}

std::u16string AsText(VARIANT src, USHORT flags = 0) {
    Var out;
    const HRESULT hr = Change(src, VT_BSTR, out, flags);
    return hr == S_OK ? pagelith::BstrToU16(V_BSTR(&out.v)) : u"<failed>";
}

TEST(ChangeType, FloatToIntegerRoundsHalfToEven) {
    const struct {
        double in;
        LONG out;
    } cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {1.4999, 1}, {0.5, 0}, {1.5, 2}, {-0.6, -1}};
    for (const auto& c : cases) {
        Var out;
        ASSERT_EQ(Change(R8(c.in), VT_I4, out), S_OK) << c.in;
        EXPECT_EQ(V_I4(&out.v), c.out) << c.in;
    }
    Var cy;
    VARIANT src;
    V_VT(&src) = VT_CY;
    V_CY(&src).int64 = 25000; // 2.5
    ASSERT_EQ(Change(src, VT_I2, cy), S_OK);
    EXPECT_EQ(V_I2(&cy.v), 2);
}

TEST(ChangeType, OverflowIsReportedAndLeavesTheTarget) {
    Var out;
    EXPECT_EQ(Change(I4(256), VT_UI1, out), DISP_E_OVERFLOW);
    EXPECT_EQ(V_VT(&out.v), VT_EMPTY);
    EXPECT_EQ(Change(I4(-1), VT_UI4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(I4(40000), VT_I2, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(R8(2147483647.5), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(R8(1e300), VT_R4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(R8(1e300), VT_CY, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(Text(u"99999999999"), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(R8(-2147483648.5), VT_I4, out), S_OK); // rounds to the even -2147483648
    EXPECT_EQ(V_I4(&out.v), -2147483647 - 1);
    EXPECT_EQ(Change(R8(255.4), VT_UI1, out), S_OK);
    EXPECT_EQ(V_UI1(&out.v), 255);
}

TEST(ChangeType, StringsToNumbers) {
    Var out;
    ASSERT_EQ(Change(Text(u"  -12  "), VT_I4, out), S_OK);
    EXPECT_EQ(V_I4(&out.v), -12);
    ASSERT_EQ(Change(Text(u"\t1.5e3 "), VT_R8, out), S_OK);
    EXPECT_EQ(V_R8(&out.v), 1500.0);
    ASSERT_EQ(Change(Text(u"+.25"), VT_R4, out), S_OK);
    EXPECT_EQ(V_R4(&out.v), 0.25f);
    ASSERT_EQ(Change(Text(u"1,234,567"), VT_I4, out), S_OK);
    EXPECT_EQ(V_I4(&out.v), 1234567);
    ASSERT_EQ(Change(Text(u"2.5"), VT_I4, out), S_OK);
    EXPECT_EQ(V_I4(&out.v), 2);
    ASSERT_EQ(Change(Text(u"&HFF"), VT_I4, out), S_OK);
    EXPECT_EQ(V_I4(&out.v), 255);
    ASSERT_EQ(Change(Text(u"18446744073709551615"), VT_UI8, out), S_OK);
    EXPECT_EQ(V_UI8(&out.v), 18446744073709551615ull);
    ASSERT_EQ(Change(Text(u"12.34567"), VT_CY, out), S_OK);
    EXPECT_EQ(V_CY(&out.v).int64, 123457);
    for (const char16_t* bad : {u"", u"   ", u"abc", u"1.2.3", u"12abc", u"1e", u"--1", u"1 2", u",5"})
        EXPECT_EQ(Change(Text(bad), VT_I4, out), DISP_E_TYPEMISMATCH);
    VARIANT nullText;
    V_VT(&nullText) = VT_BSTR;
    V_BSTR(&nullText) = nullptr;
    EXPECT_EQ(Change(nullText, VT_R8, out), DISP_E_TYPEMISMATCH);
}

TEST(ChangeType, NumbersToStrings) {
    EXPECT_EQ(AsText(I4(-42)), u"-42");
    EXPECT_EQ(AsText(R8(0.1)), u"0.1");
    EXPECT_EQ(AsText(R8(1.0 / 3)), u"0.333333333333333");
    EXPECT_EQ(AsText(R8(1e20)), u"1E+20");
    EXPECT_EQ(AsText(R8(-1.5e-7)), u"-1.5E-07");
    EXPECT_EQ(AsText(R8(100)), u"100");
    VARIANT f;
    V_VT(&f) = VT_R4;
    V_R4(&f) = 0.1f;
    EXPECT_EQ(AsText(f), u"0.1");
    VARIANT cy;
    V_VT(&cy) = VT_CY;
    V_CY(&cy).int64 = -15000;
    EXPECT_EQ(AsText(cy), u"-1.5");
    VARIANT date;
    V_VT(&date) = VT_DATE;
    V_DATE(&date) = 36526.75; // 2000-01-01 18:00
    EXPECT_EQ(AsText(date), u"1/1/2000 6:00:00 PM");
    V_DATE(&date) = 36526;
    EXPECT_EQ(AsText(date), u"1/1/2000");
    V_DATE(&date) = 0.5;
    EXPECT_EQ(AsText(date), u"12:00:00 PM");
    VARIANT empty;
    VariantInit(&empty);
    EXPECT_EQ(AsText(empty), u"");
}

TEST(ChangeType, Booleans) {
    EXPECT_EQ(AsText(Bool(true)), u"-1");
    EXPECT_EQ(AsText(Bool(false), VARIANT_ALPHABOOL), u"False");
    EXPECT_EQ(AsText(Bool(true), VARIANT_ALPHABOOL), u"True");
    Var out;
    ASSERT_EQ(Change(Bool(true), VT_I4, out), S_OK);
    EXPECT_EQ(V_I4(&out.v), -1);
    ASSERT_EQ(Change(Bool(true), VT_UI1, out), S_OK);
    EXPECT_EQ(V_UI1(&out.v), 255);
    ASSERT_EQ(Change(Bool(true), VT_R8, out), S_OK);
    EXPECT_EQ(V_R8(&out.v), -1.0);
    ASSERT_EQ(Change(I4(2), VT_BOOL, out), S_OK);
    EXPECT_EQ(V_BOOL(&out.v), VARIANT_TRUE);
    ASSERT_EQ(Change(R8(0.0), VT_BOOL, out), S_OK);
    EXPECT_EQ(V_BOOL(&out.v), VARIANT_FALSE);
    ASSERT_EQ(Change(Text(u" true "), VT_BOOL, out), S_OK);
    EXPECT_EQ(V_BOOL(&out.v), VARIANT_TRUE);
    ASSERT_EQ(Change(Text(u"FALSE"), VT_BOOL, out), S_OK);
    EXPECT_EQ(V_BOOL(&out.v), VARIANT_FALSE);
    ASSERT_EQ(Change(Text(u"0"), VT_BOOL, out), S_OK);
    EXPECT_EQ(V_BOOL(&out.v), VARIANT_FALSE);
    EXPECT_EQ(Change(Text(u"maybe"), VT_BOOL, out), DISP_E_TYPEMISMATCH);
}

TEST(ChangeType, EmptyNullAndErrors) {
    Var out;
    VARIANT empty;
    VariantInit(&empty);
    ASSERT_EQ(Change(empty, VT_I4, out), S_OK);
    EXPECT_EQ(V_VT(&out.v), VT_I4);
    EXPECT_EQ(V_I4(&out.v), 0);
    VARIANT null;
    V_VT(&null) = VT_NULL;
    EXPECT_EQ(Change(null, VT_I4, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Change(null, VT_BSTR, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Change(I4(1), VT_VARIANT, out), DISP_E_BADVARTYPE);
    EXPECT_EQ(Change(I4(1), VT_I4 | VT_BYREF, out), DISP_E_BADVARTYPE);
    EXPECT_EQ(Change(I4(1), VT_ARRAY | VT_UI1, out), DISP_E_TYPEMISMATCH);
}

TEST(ChangeType, CurrencyAndDates) {
    Var out;
    ASSERT_EQ(Change(R8(-1.5), VT_CY, out), S_OK);
    EXPECT_EQ(V_CY(&out.v).int64, -15000);
    ASSERT_EQ(Change(R8(0.00004), VT_CY, out), S_OK);
    EXPECT_EQ(V_CY(&out.v).int64, 0);
    ASSERT_EQ(Change(I4(7), VT_CY, out), S_OK);
    EXPECT_EQ(V_CY(&out.v).int64, 70000);
    ASSERT_EQ(Change(I4(36527), VT_DATE, out), S_OK);
    EXPECT_EQ(V_DATE(&out.v), 36527.0);
    EXPECT_EQ(Change(R8(3e6), VT_DATE, out), DISP_E_OVERFLOW);
    ASSERT_EQ(Change(Text(u"1/1/2000 6:00 PM"), VT_DATE, out), S_OK);
    EXPECT_EQ(V_DATE(&out.v), 36526.75);
    ASSERT_EQ(Change(Text(u"2000-01-01"), VT_DATE, out), S_OK);
    EXPECT_EQ(V_DATE(&out.v), 36526.0);
    EXPECT_EQ(Change(Text(u"2/30/2000"), VT_DATE, out), DISP_E_TYPEMISMATCH);
    VARIANT date;
    V_VT(&date) = VT_DATE;
    V_DATE(&date) = 2.5;
    ASSERT_EQ(Change(date, VT_I4, out), S_OK);
    EXPECT_EQ(V_I4(&out.v), 2);
}

TEST(ChangeType, ByrefSourcesAreDereferenced) {
    Var out;
    double d = 41.6;
    VARIANT ref;
    V_VT(&ref) = VT_R8 | VT_BYREF;
    V_R8REF(&ref) = &d;
    ASSERT_EQ(VariantChangeType(&out.v, &ref, 0, VT_I4), S_OK);
    EXPECT_EQ(V_I4(&out.v), 42);

    BSTR s = SysAllocString(OLESTR("17"));
    V_VT(&ref) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&ref) = &s;
    ASSERT_EQ(VariantChangeType(&out.v, &ref, 0, VT_BSTR), S_OK);
    EXPECT_NE(V_BSTR(&out.v), s); // a copy, the caller's string stays its own
    EXPECT_EQ(pagelith::BstrToU16(V_BSTR(&out.v)), u"17");
    SysFreeString(s);
}

TEST(ChangeType, InPlaceReplacesTheSource) {
    VARIANT v = Text(u"3.75");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_R8), S_OK); // the string is freed: ASan watches
    EXPECT_EQ(V_VT(&v), VT_R8);
    EXPECT_EQ(V_R8(&v), 3.75);
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(pagelith::BstrToU16(V_BSTR(&v)), u"3.75");
    VariantClear(&v);
}

TEST(ChangeType, InterfacesOnlyBetweenInterfaces) {
    pagelith::test::FakeDispatch fake;
    {
        Var out;
        VARIANT unk;
        V_VT(&unk) = VT_UNKNOWN;
        V_UNKNOWN(&unk) = &fake;
        ASSERT_EQ(VariantChangeType(&out.v, &unk, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(V_DISPATCH(&out.v), &fake);
        EXPECT_EQ(fake.refs, 2u);
        VARIANT disp;
        V_VT(&disp) = VT_DISPATCH;
        V_DISPATCH(&disp) = &fake;
        EXPECT_EQ(VariantChangeType(&out.v, &disp, 0, VT_I4), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(VariantChangeType(&out.v, &disp, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(fake.refs, 2u);
    }
    EXPECT_EQ(fake.refs, 1u);
}

} // namespace
