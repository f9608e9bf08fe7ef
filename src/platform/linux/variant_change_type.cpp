// VariantChangeType(Ex): the coercions automation clients rely on. Numbers go through one exact
// intermediate (128-bit integer, double or scaled currency); float to integer rounds half to even.
#include "platform/linux/number_text.h"
#include "platform/linux/variant_view.h"

#include <cfloat>
#include <cmath>
#include <string>
#include <string_view>

namespace pagelith::platform {
namespace {

constexpr double kMinDate = -657434.0; // 1 January 100
constexpr double kMaxDate = 2958466.0; // 1 January 10000 (exclusive)
constexpr LONGLONG kCyScale = 10000;

struct Number {
    enum class Kind { Integer, Real, Currency } kind = Kind::Integer;
    Int128 integer = 0;    // Integer
    double real = 0;       // Real
    LONGLONG currency = 0; // Currency, scaled by 10000
    bool fromBool = false;
};

std::u16string_view TextOf(BSTR b) {
    return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view();
}

double DecimalToDouble(const DECIMAL& d) {
    const double magnitude =
        static_cast<double>(d.Hi32) * 18446744073709551616.0 + static_cast<double>(d.Lo64);
    const double value = magnitude / std::pow(10.0, d.scale);
    return (d.sign & 0x80) ? -value : value;
}

HRESULT FromText(BSTR text, Number& out) {
    ParsedNumber parsed;
    switch (ParseNumberText(TextOf(text), parsed)) {
    case ParseStatus::Invalid:
        return DISP_E_TYPEMISMATCH;
    case ParseStatus::Overflow:
        return DISP_E_OVERFLOW;
    case ParseStatus::Ok:
        break;
    }
    if (parsed.isInteger) {
        out.kind = Number::Kind::Integer;
        out.integer = parsed.integer;
    } else {
        out.kind = Number::Kind::Real;
        out.real = parsed.real;
    }
    return S_OK;
}

// Reads any numeric-like source (not text) as a number.
HRESULT ToNumber(const VARIANT& v, Number& out) {
    using K = Number::Kind;
    out = Number{};
    switch (v.vt) {
    case VT_EMPTY:
        return S_OK;
    case VT_BOOL:
        out.integer = v.boolVal ? -1 : 0;
        out.fromBool = true;
        return S_OK;
    case VT_I1:
        out.integer = static_cast<signed char>(v.cVal);
        return S_OK;
    case VT_UI1:
        out.integer = v.bVal;
        return S_OK;
    case VT_I2:
        out.integer = v.iVal;
        return S_OK;
    case VT_UI2:
        out.integer = v.uiVal;
        return S_OK;
    case VT_I4:
    case VT_INT:
        out.integer = v.lVal;
        return S_OK;
    case VT_UI4:
    case VT_UINT:
        out.integer = v.ulVal;
        return S_OK;
    case VT_I8:
        out.integer = v.llVal;
        return S_OK;
    case VT_UI8:
        out.integer = v.ullVal;
        return S_OK;
    case VT_R4:
        out.kind = K::Real;
        out.real = v.fltVal;
        return S_OK;
    case VT_R8:
    case VT_DATE:
        out.kind = K::Real;
        out.real = v.dblVal;
        return S_OK;
    case VT_CY:
        out.kind = K::Currency;
        out.currency = v.cyVal.int64;
        return S_OK;
    case VT_DECIMAL:
        out.kind = K::Real;
        out.real = DecimalToDouble(v.decVal);
        return S_OK;
    case VT_BSTR:
        return FromText(v.bstrVal, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

// Rounds to an integer, ties to even.
HRESULT RoundToInteger(const Number& n, Int128& out) {
    switch (n.kind) {
    case Number::Kind::Integer:
        out = n.integer;
        return S_OK;
    case Number::Kind::Real: {
        if (!std::isfinite(n.real) || std::fabs(n.real) >= 1.0e38) return DISP_E_OVERFLOW;
        out = static_cast<Int128>(std::nearbyint(n.real));
        return S_OK;
    }
    case Number::Kind::Currency: {
        Int128 q = n.currency / kCyScale;
        const LONGLONG r = n.currency % kCyScale;
        const LONGLONG twice = 2 * (r < 0 ? -r : r);
        if (twice > kCyScale || (twice == kCyScale && (q % 2) != 0)) q += r < 0 ? -1 : 1;
        out = q;
        return S_OK;
    }
    }
    return E_UNEXPECTED;
}

double ToDouble(const Number& n) {
    switch (n.kind) {
    case Number::Kind::Integer:
        return static_cast<double>(n.integer);
    case Number::Kind::Real:
        return n.real;
    case Number::Kind::Currency:
        return static_cast<double>(n.currency) / kCyScale;
    }
    return 0;
}

HRESULT ToCurrency(const Number& n, LONGLONG& out) {
    constexpr Int128 kMax = 0x7FFFFFFFFFFFFFFFLL, kMin = -kMax - 1;
    switch (n.kind) {
    case Number::Kind::Currency:
        out = n.currency;
        return S_OK;
    case Number::Kind::Integer: {
        const Int128 scaled = n.integer * kCyScale; // |integer| < 2^65 here, no overflow in 128 bits
        if (n.integer > kMax || n.integer < kMin || scaled > kMax || scaled < kMin) return DISP_E_OVERFLOW;
        out = static_cast<LONGLONG>(scaled);
        return S_OK;
    }
    case Number::Kind::Real: {
        const double scaled = std::nearbyint(n.real * kCyScale);
        if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
            return DISP_E_OVERFLOW;
        out = static_cast<LONGLONG>(scaled);
        return S_OK;
    }
    }
    return E_UNEXPECTED;
}

bool IsUnsigned(VARTYPE vt) {
    return vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT || vt == VT_UI8;
}

HRESULT StoreInteger(Int128 value, bool fromBool, VARTYPE vt, VARIANT& out) {
    // True (-1) reads as all bits set in an unsigned target, as Windows does.
    if (fromBool && IsUnsigned(vt) && value < 0) value = 0xFFFFFFFFFFFFFFFFull;
    auto within = [&](Int128 lo, Int128 hi) { return value >= lo && value <= hi; };
    switch (vt) {
    case VT_I1:
        if (!within(-128, 127)) return DISP_E_OVERFLOW;
        out.cVal = static_cast<CHAR>(value);
        break;
    case VT_UI1:
        if (fromBool) value &= 0xFF;
        if (!within(0, 0xFF)) return DISP_E_OVERFLOW;
        out.bVal = static_cast<BYTE>(value);
        break;
    case VT_I2:
        if (!within(-32768, 32767)) return DISP_E_OVERFLOW;
        out.iVal = static_cast<SHORT>(value);
        break;
    case VT_UI2:
        if (fromBool) value &= 0xFFFF;
        if (!within(0, 0xFFFF)) return DISP_E_OVERFLOW;
        out.uiVal = static_cast<USHORT>(value);
        break;
    case VT_I4:
    case VT_INT:
        if (!within(-2147483647 - 1, 2147483647)) return DISP_E_OVERFLOW;
        out.lVal = static_cast<LONG>(value);
        break;
    case VT_UI4:
    case VT_UINT:
        if (fromBool) value &= 0xFFFFFFFF;
        if (!within(0, 0xFFFFFFFFu)) return DISP_E_OVERFLOW;
        out.ulVal = static_cast<ULONG>(value);
        break;
    case VT_I8:
        if (!within(-0x7FFFFFFFFFFFFFFFLL - 1, 0x7FFFFFFFFFFFFFFFLL)) return DISP_E_OVERFLOW;
        out.llVal = static_cast<LONGLONG>(value);
        break;
    case VT_UI8:
        if (!within(0, 0xFFFFFFFFFFFFFFFFull)) return DISP_E_OVERFLOW;
        out.ullVal = static_cast<ULONGLONG>(value);
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    out.vt = vt;
    return S_OK;
}

HRESULT StoreText(const std::string& ascii, VARIANT& out) {
    std::u16string wide(ascii.begin(), ascii.end());
    BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!b) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = b;
    return S_OK;
}

HRESULT ToText(const VARIANT& src, USHORT flags, VARIANT& out) {
    switch (src.vt) {
    case VT_EMPTY:
        return StoreText("", out);
    case VT_BOOL:
        if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
            return StoreText(src.boolVal ? "True" : "False", out);
        return StoreText(src.boolVal ? "-1" : "0", out);
    case VT_R4:
        return StoreText(FormatReal(src.fltVal, 7), out);
    case VT_R8:
        return StoreText(FormatReal(src.dblVal, 15), out);
    case VT_DECIMAL:
        return StoreText(FormatReal(DecimalToDouble(src.decVal), 15), out);
    case VT_CY:
        return StoreText(FormatCurrency(src.cyVal.int64), out);
    case VT_DATE:
        if (!(src.date >= kMinDate && src.date < kMaxDate)) return DISP_E_OVERFLOW;
        return StoreText(FormatDate(src.date), out);
    default: {
        Number n;
        const HRESULT hr = ToNumber(src, n);
        if (FAILED(hr)) return hr;
        return StoreText(FormatInteger(n.integer), out);
    }
    }
}

HRESULT ToBool(const VARIANT& src, VARIANT& out) {
    if (src.vt == VT_BSTR) {
        if (const auto b = ParseBoolText(TextOf(src.bstrVal))) {
            out.vt = VT_BOOL;
            out.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
    }
    Number n;
    const HRESULT hr = ToNumber(src, n);
    if (FAILED(hr)) return hr;
    bool value = false;
    switch (n.kind) {
    case Number::Kind::Integer:
        value = n.integer != 0;
        break;
    case Number::Kind::Real:
        value = n.real != 0;
        break;
    case Number::Kind::Currency:
        value = n.currency != 0;
        break;
    }
    out.vt = VT_BOOL;
    out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ToInterface(const VARIANT& src, VARTYPE vt, VARIANT& out) {
    if (src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    out.vt = vt;
    out.punkVal = nullptr;
    if (!src.punkVal) return S_OK;
    void* result = nullptr;
    const HRESULT hr = src.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &result);
    if (FAILED(hr)) {
        out.vt = VT_EMPTY;
        return hr;
    }
    out.punkVal = static_cast<IUnknown*>(result);
    return S_OK;
}

HRESULT Coerce(VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& out) {
    if (src.vt == vt) return VariantCopy(&out, &src);
    if (vt == VT_EMPTY) return S_OK;
    if (vt == VT_NULL || src.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
    if ((vt | src.vt) & VT_ARRAY) return DISP_E_TYPEMISMATCH;
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) return ToInterface(src, vt, out);
    if (vt == VT_ERROR || vt == VT_DECIMAL) return DISP_E_TYPEMISMATCH;
    if (vt == VT_BSTR) return ToText(src, flags, out);
    if (vt == VT_BOOL) return ToBool(src, out);

    Number n;
    HRESULT hr;
    if (vt == VT_DATE && src.vt == VT_BSTR) {
        if (const auto date = ParseDateText(TextOf(src.bstrVal))) {
            out.vt = VT_DATE;
            out.date = *date;
            return S_OK;
        }
    }
    if (FAILED(hr = ToNumber(src, n))) return hr;
    switch (vt) {
    case VT_R4: {
        const double d = ToDouble(n);
        if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
        out.vt = VT_R4;
        out.fltVal = static_cast<float>(d);
        return S_OK;
    }
    case VT_R8:
        out.vt = VT_R8;
        out.dblVal = ToDouble(n);
        return S_OK;
    case VT_DATE: {
        const double d = ToDouble(n);
        if (!(d >= kMinDate && d < kMaxDate)) return DISP_E_OVERFLOW;
        out.vt = VT_DATE;
        out.date = d;
        return S_OK;
    }
    case VT_CY: {
        LONGLONG cy;
        if (FAILED(hr = ToCurrency(n, cy))) return hr;
        out.vt = VT_CY;
        out.cyVal.int64 = cy;
        return S_OK;
    }
    default: {
        Int128 value;
        if (FAILED(hr = RoundToInteger(n, value))) return hr;
        return StoreInteger(value, n.fromBool, vt, out);
    }
    }
}

} // namespace
} // namespace pagelith::platform

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, LCID /*lcid*/, USHORT wFlags,
                            VARTYPE vt) {
    using namespace pagelith::platform;
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    if ((vt & VT_BYREF) || !IsValueVartype(vt) || vt == VT_VARIANT) return DISP_E_BADVARTYPE;
    VARIANT view;
    HRESULT hr = DereferencedView(*pvarSrc, view);
    if (FAILED(hr)) return hr;
    VARIANT result;
    VariantInit(&result);
    result.llVal = 0;
    if (FAILED(hr = Coerce(view, wFlags, vt, result))) {
        VariantClear(&result);
        return hr;
    }
    if (FAILED(hr = VariantClear(pvargDest))) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
