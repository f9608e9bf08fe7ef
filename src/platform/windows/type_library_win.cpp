#include "platform/type_library.h"

#include <mutex>

#include "platform/windows/module_path_win.h"

namespace {

// Kept for the life of the process once loaded: the library is small and every object asks for it.
HRESULT ModuleTypeLib(ITypeLib** out) {
    static std::mutex lock;
    static ITypeLib* library = nullptr;
    std::lock_guard<std::mutex> guard(lock);
    if (!library) {
        const std::wstring path = pagelith::ModulePath();
        if (path.empty()) return E_FAIL;
        const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (hr < 0) {
            library = nullptr;
            return hr;
        }
    }
    *out = library;
    return S_OK;
}

} // namespace

HRESULT PagelithModuleTypeInfo(REFGUID guid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    ITypeLib* library = nullptr;
    const HRESULT hr = ModuleTypeLib(&library);
    if (hr < 0) return hr;
    return library->GetTypeInfoOfGuid(guid, info);
}
