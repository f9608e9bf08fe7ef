// Error information objects and the per-thread current error information.
#include "platform/bstr_util.h"
#include "platform/com.h"

#include <atomic>
#include <new>

namespace {

class ErrorInfo final : public ICreateErrorInfo, public IErrorInfo {
public:
    ErrorInfo() = default;
    ErrorInfo(const ErrorInfo&) = delete;
    ErrorInfo& operator=(const ErrorInfo&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo) {
            *ppv = static_cast<ICreateErrorInfo*>(this);
        } else if (riid == IID_IErrorInfo) {
            *ppv = static_cast<IErrorInfo*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
        guid_ = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Assign(source_, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override { return Assign(description_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return Assign(helpFile_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
        helpContext_ = context;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* out) override {
        if (!out) return E_INVALIDARG;
        *out = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return Copy(source_, out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override { return Copy(description_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return Copy(helpFile_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override {
        if (!out) return E_INVALIDARG;
        *out = helpContext_;
        return S_OK;
    }

private:
    ~ErrorInfo() = default;

    static HRESULT Assign(std::u16string& field, LPOLESTR text) {
        try {
            field = text ? std::u16string(text) : std::u16string();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    static HRESULT Copy(const std::u16string& field, BSTR* out) {
        if (!out) return E_INVALIDARG;
        try {
            *out = pagelith::U16ToBstr(field);
        } catch (const std::bad_alloc&) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    std::atomic<ULONG> refs_{1};
    GUID guid_ = GUID_NULL;
    std::u16string source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

// Holds the thread's reference and gives it up when the thread ends.
struct CurrentErrorInfo {
    IErrorInfo* info = nullptr;
    CurrentErrorInfo() = default;
    CurrentErrorInfo(const CurrentErrorInfo&) = delete;
    CurrentErrorInfo& operator=(const CurrentErrorInfo&) = delete;
    ~CurrentErrorInfo() {
        if (info) info->Release();
    }
};

thread_local CurrentErrorInfo current;

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = new (std::nothrow) ErrorInfo();
    return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG /*dwReserved*/, IErrorInfo* perrinfo) {
    if (perrinfo) perrinfo->AddRef();
    IErrorInfo* old = current.info;
    current.info = perrinfo;
    if (old) old->Release();
    return S_OK;
}

HRESULT GetErrorInfo(ULONG /*dwReserved*/, IErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = current.info; // the thread's reference passes to the caller
    current.info = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}
