// Registry entries of the in-process server under HKEY_CLASSES_ROOT, written and removed in a fixed
// order, and the registration of the embedded type library.
#include "platform/server_registration.h"

#include <string>

#include "automation/guids.h"
#include "platform/windows/module_path_win.h"

namespace pagelith {

namespace {

constexpr const wchar_t* kProgIdW = L"PagelithASP.PDFSvrDoc";
constexpr const wchar_t* kDescription = L"PDFSvrDoc Object";
constexpr const wchar_t* kThreadingModel = L"Both";

struct RegistrationError {};

// Registry form: braces, upper-case hexadecimal digits.
std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    if (StringFromGUID2(guid, text, 40) <= 0) throw RegistrationError{};
    return text;
}

// The short form when the path holds a blank, so that hosts that split command lines still find it.
std::wstring ServerPath(const std::wstring& path) {
    if (path.find(L' ') == std::wstring::npos) return path;
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return path;
    std::wstring shortPath(size, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size) return path;
    shortPath.resize(length);
    return shortPath;
}

void SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &handle, nullptr) != ERROR_SUCCESS)
        throw RegistrationError{};
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const LONG result =
        RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) throw RegistrationError{};
}

// A key that is already gone counts as removed.
void DeleteKey(const std::wstring& key) {
    const LONG result = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) throw RegistrationError{};
}

struct TypeLib {
    ITypeLib* library = nullptr;
    TypeLib() = default;
    TypeLib(TypeLib&& other) noexcept : library(other.library) { other.library = nullptr; }
    TypeLib(const TypeLib&) = delete;
    TypeLib& operator=(const TypeLib&) = delete;
    ~TypeLib() {
        if (library) library->Release();
    }

    TLIBATTR Attributes() const {
        TLIBATTR* attr = nullptr;
        if (library->GetLibAttr(&attr) < 0 || !attr) throw RegistrationError{};
        const TLIBATTR copy = *attr;
        library->ReleaseTLibAttr(attr);
        return copy;
    }
};

TypeLib LoadModuleTypeLib(const std::wstring& path) {
    TypeLib tl;
    if (LoadTypeLibEx(path.c_str(), REGKIND_NONE, &tl.library) < 0) throw RegistrationError{};
    return tl;
}

void Register(const std::wstring& path) {
    const std::wstring classKey = L"CLSID\\" + GuidText(CLSID_PDFSvrDoc);
    const std::wstring progIdKey = kProgIdW;
    const TypeLib tl = LoadModuleTypeLib(path);
    if (RegisterTypeLib(tl.library, const_cast<wchar_t*>(path.c_str()), nullptr) < 0)
        throw RegistrationError{};
    const TLIBATTR lib = tl.Attributes();
    SetValue(classKey, nullptr, kDescription);
    SetValue(classKey + L"\\InprocServer32", nullptr, ServerPath(path));
    SetValue(classKey + L"\\InprocServer32", L"ThreadingModel", kThreadingModel);
    SetValue(progIdKey, nullptr, kDescription);
    SetValue(progIdKey + L"\\Clsid", nullptr, GuidText(CLSID_PDFSvrDoc));
    SetValue(classKey + L"\\ProgID", nullptr, kProgIdW);
    SetValue(classKey + L"\\Version", nullptr,
             std::to_wstring(lib.wMajorVerNum) + L"." + std::to_wstring(lib.wMinorVerNum));
    SetValue(classKey + L"\\TypeLib", nullptr, GuidText(lib.guid));
}

void Unregister(const std::wstring& path) {
    const std::wstring classKey = L"CLSID\\" + GuidText(CLSID_PDFSvrDoc);
    const std::wstring progIdKey = kProgIdW;
    const TypeLib tl = LoadModuleTypeLib(path);
    const TLIBATTR lib = tl.Attributes();
    const HRESULT hr = UnRegisterTypeLib(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum, lib.lcid, lib.syskind);
    // Not registered (any more) is what unregistration wants.
    if (hr < 0 && hr != TYPE_E_REGISTRYACCESS) throw RegistrationError{};
    DeleteKey(classKey + L"\\TypeLib");
    DeleteKey(classKey + L"\\Version");
    DeleteKey(classKey + L"\\ProgID");
    DeleteKey(progIdKey + L"\\Clsid");
    DeleteKey(progIdKey);
    DeleteKey(classKey + L"\\InprocServer32");
    DeleteKey(classKey);
}

} // namespace

} // namespace pagelith

HRESULT PagelithRegisterServer(bool registering) {
    try {
        const std::wstring path = pagelith::ModulePath();
        if (path.empty()) return E_FAIL;
        if (registering)
            pagelith::Register(path);
        else
            pagelith::Unregister(path);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}
