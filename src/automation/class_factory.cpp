#include "automation/class_factory.h"

#include <atomic>

#include "automation/pdf_svr_doc.h"

namespace pagelith {

namespace {

std::atomic<LONG> objectCount{0};
std::atomic<LONG> factoryCount{0};

class TPDFSvrDocFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++factoryCount); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--factoryCount); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return TPDFSvrDoc::Create(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ServerObjectCreated();
        else
            ServerObjectDestroyed();
        return S_OK;
    }
};

TPDFSvrDocFactory factory;

} // namespace

void ServerObjectCreated() {
    ++objectCount;
}
void ServerObjectDestroyed() {
    --objectCount;
}
LONG ServerObjectCount() {
    return objectCount.load();
}
LONG FactoryReferenceCount() {
    return factoryCount.load();
}

HRESULT GetPDFSvrDocFactory(REFIID riid, void** object) {
    return factory.QueryInterface(riid, object);
}

} // namespace pagelith
