// Registry entries of the in-process server under HKEY_CLASSES_ROOT, written and removed in a fixed
// order, and the registration of the embedded type library.
#include "platform/server_registration.h"

#include <string>

#include "platform/com_ptr.h"
#include "platform/windows/module_path_win.h"

namespace pagelith {

namespace {

struct RegistrationError {};

std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

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

TLIBATTR Attributes(ITypeLib* library) {
    TLIBATTR* attr = nullptr;
    if (library->GetLibAttr(&attr) < 0 || !attr) throw RegistrationError{};
    const TLIBATTR copy = *attr;
    library->ReleaseTLibAttr(attr);
    return copy;
}

TComPtr<ITypeLib> LoadModuleTypeLib(const std::wstring& path) {
    TComPtr<ITypeLib> library;
    if (LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()) < 0) throw RegistrationError{};
    return library;
}

void Register(const TServerIdentity& server, const std::wstring& path) {
    const std::wstring classKey = L"CLSID\\" + GuidText(server.Clsid);
    const std::wstring progIdKey = Wide(server.ProgId);
    const std::wstring description = Wide(server.Description);
    const TComPtr<ITypeLib> library = LoadModuleTypeLib(path);
    if (RegisterTypeLib(library.Get(), const_cast<wchar_t*>(path.c_str()), nullptr) < 0)
        throw RegistrationError{};
    const TLIBATTR lib = Attributes(library.Get());
    SetValue(classKey, nullptr, description);
    SetValue(classKey + L"\\InprocServer32", nullptr, ServerPath(path));
    SetValue(classKey + L"\\InprocServer32", L"ThreadingModel", Wide(server.ThreadingModel));
    SetValue(progIdKey, nullptr, description);
    SetValue(progIdKey + L"\\Clsid", nullptr, GuidText(server.Clsid));
    SetValue(classKey + L"\\ProgID", nullptr, progIdKey);
    SetValue(classKey + L"\\Version", nullptr,
             std::to_wstring(lib.wMajorVerNum) + L"." + std::to_wstring(lib.wMinorVerNum));
    SetValue(classKey + L"\\TypeLib", nullptr, GuidText(lib.guid));
}

void Unregister(const TServerIdentity& server, const std::wstring& path) {
    const std::wstring classKey = L"CLSID\\" + GuidText(server.Clsid);
    const std::wstring progIdKey = Wide(server.ProgId);
    const TLIBATTR lib = Attributes(LoadModuleTypeLib(path).Get());
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

HRESULT RegisterServer(const TServerIdentity& server, bool registering) {
    try {
        const std::wstring path = ModulePath();
        if (path.empty()) return E_FAIL;
        if (registering)
            Register(server, path);
        else
            Unregister(server, path);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace pagelith
