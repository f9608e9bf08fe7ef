// VARIANT life cycle: init, clear, copy.
#include "platform/linux/variant_view.h"

#include <cstring>

namespace pagelith::platform {

bool IsValueVartype(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    if (vt & (VT_VECTOR | VT_RESERVED)) return false;
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
        return (vt & (VT_ARRAY | VT_BYREF)) == 0;
    case VT_VARIANT:
        return (vt & (VT_ARRAY | VT_BYREF)) != 0;
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

HRESULT DereferencedView(const VARIANT& src, VARIANT& view) {
    std::memset(&view, 0, sizeof view);
    if (!IsValueVartype(src.vt)) return DISP_E_BADVARTYPE;
    if (!(src.vt & VT_BYREF)) {
        view = src;
        return S_OK;
    }
    if (!src.byref) return E_INVALIDARG;
    const VARTYPE vt = src.vt & ~VT_BYREF;
    if (vt == VT_VARIANT) {
        const VARIANT& inner = *src.pvarVal;
        if (inner.vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
        return DereferencedView(inner, view);
    }
    if (vt & VT_ARRAY) {
        view.parray = *src.pparray;
    } else {
        switch (vt) {
        case VT_I1:
        case VT_UI1:
            view.bVal = *src.pbVal;
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            std::memcpy(&view.iVal, src.byref, 2);
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            std::memcpy(&view.lVal, src.byref, 4);
            break;
        case VT_DECIMAL:
            view.decVal = *src.pdecVal;
            break;
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            std::memcpy(&view.byref, src.byref, sizeof(void*));
            break;
        default: // 8-byte values
            std::memcpy(&view.llVal, src.byref, 8);
            break;
        }
    }
    view.vt = vt;
    return S_OK;
}

} // namespace pagelith::platform

using pagelith::platform::DereferencedView;
using pagelith::platform::IsValueVartype;

void VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    const VARTYPE vt = pvarg->vt;
    if (!IsValueVartype(vt)) return DISP_E_BADVARTYPE;
    if (!(vt & VT_BYREF)) {
        if (vt & VT_ARRAY) {
            const HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) return hr;
        } else if (vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
            if (pvarg->punkVal) pvarg->punkVal->Release();
        }
    }
    VariantInit(pvarg);
    pvarg->llVal = 0;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (!IsValueVartype(pvargSrc->vt)) return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc) return S_OK;
    VARIANT copy = *pvargSrc;
    const VARTYPE vt = pvargSrc->vt;
    if (!(vt & VT_BYREF)) {
        if (vt & VT_ARRAY) {
            const HRESULT hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        } else if (vt == VT_BSTR && pvargSrc->bstrVal) {
            copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                                 SysStringByteLen(pvargSrc->bstrVal));
            if (!copy.bstrVal) return E_OUTOFMEMORY;
        } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvargSrc->punkVal) {
            pvargSrc->punkVal->AddRef();
        }
    }
    const HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, VARIANTARG* pvargSrc) {
    if (!pvarDest || !pvargSrc) return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
    VARIANT view;
    HRESULT hr = DereferencedView(*pvargSrc, view);
    if (FAILED(hr)) return hr;
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(hr = VariantCopy(&copy, &view))) return hr;
    if (FAILED(hr = VariantClear(pvarDest))) {
        VariantClear(&copy);
        return hr;
    }
    *pvarDest = copy;
    return S_OK;
}
