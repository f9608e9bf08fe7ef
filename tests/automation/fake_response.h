// A stand-in for the ASP Response object: records what it is given and fails on request.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/bstr_util.h"
#include "platform/com.h"

namespace pagelith::test {

class TFakeResponse final : public IDispatch {
public:
    enum : DISPID { kContentType = 1, kAddHeader, kBinaryWrite, kFlush };

    std::u16string ContentType;
    std::vector<std::pair<std::u16string, std::u16string>> Headers;
    std::vector<std::size_t> Chunks;
    std::vector<LONG> ChunkLowerBounds;
    std::string Body;
    std::vector<std::string> Calls; // in order: "ContentType", "AddHeader", "BinaryWrite", "Flush"

    // Make the n-th call (1-based, over all members) fail: with an exception or a plain HRESULT that
    // leaves its description in the thread's error information.
    std::size_t FailAtCall = 0;
    bool FailWithException = true;
    HRESULT FailCode = static_cast<HRESULT>(0x800704D4); // the connection was aborted
    std::u16string FailDescription = u"The client disconnected.";

    LONG RefCount = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++RefCount); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--RefCount); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        const std::u16string name = BstrToU16(names[0]);
        ids[0] = name == u"ContentType"   ? kContentType
                 : name == u"AddHeader"   ? kAddHeader
                 : name == u"BinaryWrite" ? kBinaryWrite
                 : name == u"Flush"       ? kFlush
                                          : DISPID_UNKNOWN;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT*,
                                     EXCEPINFO* info, UINT*) override {
        static const char* const kNames[] = {"", "ContentType", "AddHeader", "BinaryWrite", "Flush"};
        Calls.emplace_back(kNames[id]);
        if (Calls.size() == FailAtCall) {
            if (FailWithException && info) {
                info->scode = FailCode;
                info->bstrDescription = U16ToBstr(FailDescription);
                return DISP_E_EXCEPTION;
            }
            ICreateErrorInfo* create = nullptr;
            CreateErrorInfo(&create);
            const UniqueBstr text(U16ToBstr(FailDescription));
            create->SetDescription(text.get());
            IErrorInfo* error = nullptr;
            create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error));
            SetErrorInfo(0, error);
            error->Release();
            create->Release();
            return FailCode;
        }
        switch (id) {
        case kContentType:
            if (!(flags & DISPATCH_PROPERTYPUT) || p->cArgs != 1 || p->cNamedArgs != 1)
                return DISP_E_BADPARAMCOUNT;
            ContentType = BstrToU16(p->rgvarg[0].bstrVal);
            return S_OK;
        case kAddHeader:
            if (p->cArgs != 2 || p->rgvarg[0].vt != VT_BSTR || p->rgvarg[1].vt != VT_BSTR)
                return DISP_E_TYPEMISMATCH;
            Headers.emplace_back(BstrToU16(p->rgvarg[1].bstrVal), BstrToU16(p->rgvarg[0].bstrVal));
            return S_OK;
        case kBinaryWrite: {
            if (p->cArgs != 1 || p->rgvarg[0].vt != (VT_ARRAY | VT_UI1)) return DISP_E_TYPEMISMATCH;
            SAFEARRAY* array = p->rgvarg[0].parray;
            LONG lower = 0, upper = 0;
            SafeArrayGetLBound(array, 1, &lower);
            SafeArrayGetUBound(array, 1, &upper);
            const auto size = static_cast<std::size_t>(upper - lower + 1);
            void* data = nullptr;
            SafeArrayAccessData(array, &data);
            Body.append(static_cast<const char*>(data), size);
            SafeArrayUnaccessData(array);
            Chunks.push_back(size);
            ChunkLowerBounds.push_back(lower);
            return S_OK;
        }
        case kFlush:
            return p->cArgs == 0 ? S_OK : DISP_E_BADPARAMCOUNT;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
};

} // namespace pagelith::test
