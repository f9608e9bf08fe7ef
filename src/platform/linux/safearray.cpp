// Safe arrays. Like Windows, 16 hidden bytes precede the descriptor; the element type sits in the last
// four of them (FADF_HAVEVARTYPE). Dimensions are stored rightmost first; the first index varies fastest.
#include "platform/com.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kHidden = 16;
constexpr ULONG kMaxLocks = 0xFFFF;

ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(void*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    case VT_DECIMAL:
        return sizeof(DECIMAL);
    default:
        return 0;
    }
}

USHORT FeaturesFor(VARTYPE vt) {
    switch (vt) {
    case VT_BSTR:
        return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_HAVEVARTYPE | FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_HAVEVARTYPE | FADF_VARIANT;
    default:
        return FADF_HAVEVARTYPE;
    }
}

unsigned char* HiddenOf(SAFEARRAY* psa) {
    return reinterpret_cast<unsigned char*>(psa) - kHidden;
}

VARTYPE StoredVartype(SAFEARRAY* psa) {
    DWORD vt;
    std::memcpy(&vt, HiddenOf(psa) + kHidden - sizeof(DWORD), sizeof(DWORD));
    return static_cast<VARTYPE>(vt);
}

// Number of elements over all dimensions, or false when it does not fit in memory.
bool TotalElements(const SAFEARRAY* psa, std::size_t& count) {
    count = 1;
    for (USHORT i = 0; i < psa->cDims; ++i)
        if (__builtin_mul_overflow(count, std::size_t{psa->rgsabound[i].cElements}, &count)) return false;
    return true;
}

void ClearElements(SAFEARRAY* psa) {
    std::size_t count;
    if (!psa->pvData || !TotalElements(psa, count)) return;
    if (psa->fFeatures & FADF_BSTR) {
        auto* items = static_cast<BSTR*>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) SysFreeString(items[i]), items[i] = nullptr;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* items = static_cast<IUnknown**>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i)
            if (items[i]) items[i]->Release(), items[i] = nullptr;
    } else if (psa->fFeatures & FADF_VARIANT) {
        auto* items = static_cast<VARIANT*>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) VariantClear(&items[i]);
    }
}

SAFEARRAY* AllocDescriptor(UINT cDims) {
    const std::size_t size = kHidden + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<unsigned char*>(std::calloc(1, size));
    if (!block) return nullptr;
    return reinterpret_cast<SAFEARRAY*>(block + kHidden);
}

void FreeDescriptor(SAFEARRAY* psa) {
    std::free(HiddenOf(psa));
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    const ULONG cb = ElementSize(vt);
    if (cb == 0 || cDims == 0 || cDims > 0xFFFF || !rgsabound) return nullptr;
    SAFEARRAY* psa = AllocDescriptor(cDims);
    if (!psa) return nullptr;
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesFor(vt);
    psa->cbElements = cb;
    const DWORD storedVt = vt;
    std::memcpy(HiddenOf(psa) + kHidden - sizeof(DWORD), &storedVt, sizeof(DWORD));
    for (UINT i = 0; i < cDims; ++i) psa->rgsabound[i] = rgsabound[cDims - 1 - i];
    std::size_t count, bytes;
    if (!TotalElements(psa, count) || __builtin_mul_overflow(count, std::size_t{cb}, &bytes)) {
        FreeDescriptor(psa);
        return nullptr;
    }
    psa->pvData = std::calloc(bytes ? bytes : 1, 1);
    if (!psa->pvData) {
        FreeDescriptor(psa);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (__atomic_load_n(&psa->cLocks, __ATOMIC_ACQUIRE) > 0) return DISP_E_ARRAYISLOCKED;
    ClearElements(psa);
    std::free(psa->pvData);
    FreeDescriptor(psa);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    const VARTYPE vt = StoredVartype(psa);
    SAFEARRAY* copy = AllocDescriptor(psa->cDims);
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(HiddenOf(copy), HiddenOf(psa), kHidden);
    copy->cDims = psa->cDims;
    copy->fFeatures = psa->fFeatures;
    copy->cbElements = psa->cbElements;
    for (USHORT i = 0; i < psa->cDims; ++i) copy->rgsabound[i] = psa->rgsabound[i];
    std::size_t count, bytes;
    if (!TotalElements(psa, count) || __builtin_mul_overflow(count, std::size_t{psa->cbElements}, &bytes)) {
        FreeDescriptor(copy);
        return E_OUTOFMEMORY;
    }
    copy->pvData = std::calloc(bytes ? bytes : 1, 1);
    if (!copy->pvData) {
        FreeDescriptor(copy);
        return E_OUTOFMEMORY;
    }
    HRESULT hr = S_OK;
    if (vt == VT_BSTR) {
        auto* from = static_cast<BSTR*>(psa->pvData);
        auto* to = static_cast<BSTR*>(copy->pvData);
        for (std::size_t i = 0; i < count && SUCCEEDED(hr); ++i)
            if (from[i] && !(to[i] = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(from[i]),
                                                           SysStringByteLen(from[i]))))
                hr = E_OUTOFMEMORY;
    } else if (vt == VT_VARIANT) {
        auto* from = static_cast<VARIANT*>(psa->pvData);
        auto* to = static_cast<VARIANT*>(copy->pvData);
        for (std::size_t i = 0; i < count && SUCCEEDED(hr); ++i) hr = VariantCopy(&to[i], &from[i]);
    } else {
        if (bytes) std::memcpy(copy->pvData, psa->pvData, bytes);
        if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
            auto* items = static_cast<IUnknown**>(copy->pvData);
            for (std::size_t i = 0; i < count; ++i)
                if (items[i]) items[i]->AddRef();
        }
    }
    if (FAILED(hr)) {
        SafeArrayDestroy(copy);
        return hr;
    }
    *ppsaOut = copy;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
    return psa ? psa->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) {
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!psa || !plLbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!psa || !plUbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
    // Computed wide: an empty array at the lowest bound has its upper bound below LONG's range.
    *plUbound = static_cast<LONG>(static_cast<long long>(bound.lLbound) + bound.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!psa || !pvt) return E_INVALIDARG;
    if (!(psa->fFeatures & FADF_HAVEVARTYPE)) return E_INVALIDARG;
    *pvt = StoredVartype(psa);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    ULONG locks = __atomic_load_n(&psa->cLocks, __ATOMIC_RELAXED);
    do {
        if (locks >= kMaxLocks) return E_UNEXPECTED;
    } while (!__atomic_compare_exchange_n(&psa->cLocks, &locks, locks + 1, true, __ATOMIC_ACQ_REL,
                                          __ATOMIC_RELAXED));
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    ULONG locks = __atomic_load_n(&psa->cLocks, __ATOMIC_RELAXED);
    do {
        if (locks == 0) return E_UNEXPECTED;
    } while (!__atomic_compare_exchange_n(&psa->cLocks, &locks, locks - 1, true, __ATOMIC_ACQ_REL,
                                          __ATOMIC_RELAXED));
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
    if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
    std::size_t offset = 0, stride = 1;
    for (USHORT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - d];
        const long long index = static_cast<long long>(rgIndices[d]) - bound.lLbound;
        if (index < 0 || index >= static_cast<long long>(bound.cElements)) return DISP_E_BADINDEX;
        offset += static_cast<std::size_t>(index) * stride;
        stride *= bound.cElements;
    }
    *ppvData = static_cast<unsigned char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices || !pv) return E_INVALIDARG;
    void* cell;
    HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = SafeArrayLock(psa))) return hr;
    if (psa->fFeatures & FADF_BSTR) {
        BSTR from = *static_cast<BSTR*>(cell);
        BSTR copy = nullptr;
        if (from && !(copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(from), SysStringByteLen(from))))
            hr = E_OUTOFMEMORY;
        *static_cast<BSTR*>(pv) = copy;
    } else if (psa->fFeatures & FADF_VARIANT) {
        VariantInit(static_cast<VARIANT*>(pv));
        hr = VariantCopy(static_cast<VARIANT*>(pv), static_cast<VARIANT*>(cell));
    } else {
        std::memcpy(pv, cell, psa->cbElements);
        if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH))
            if (IUnknown* item = *static_cast<IUnknown**>(pv)) item->AddRef();
    }
    SafeArrayUnlock(psa);
    return hr;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices) return E_INVALIDARG;
    void* cell;
    HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = SafeArrayLock(psa))) return hr;
    if (psa->fFeatures & FADF_BSTR) {
        // pv is the BSTR itself here.
        BSTR from = static_cast<BSTR>(pv);
        BSTR copy = nullptr;
        if (from && !(copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(from), SysStringByteLen(from)))) {
            hr = E_OUTOFMEMORY;
        } else {
            SysFreeString(*static_cast<BSTR*>(cell));
            *static_cast<BSTR*>(cell) = copy;
        }
    } else if (psa->fFeatures & FADF_VARIANT) {
        hr = pv ? VariantCopy(static_cast<VARIANT*>(cell), static_cast<VARIANT*>(pv)) : E_INVALIDARG;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        // pv is the interface pointer itself here.
        auto* item = static_cast<IUnknown*>(pv);
        if (item) item->AddRef();
        if (IUnknown* old = *static_cast<IUnknown**>(cell)) old->Release();
        *static_cast<IUnknown**>(cell) = item;
    } else if (pv) {
        std::memcpy(cell, pv, psa->cbElements);
    } else {
        hr = E_INVALIDARG;
    }
    SafeArrayUnlock(psa);
    return hr;
}
