// Self-registration of an in-process server: the registry work of DllRegisterServer and
// DllUnregisterServer for the class the server names.
#pragma once

#include <string_view>

#include "platform/com.h"

namespace pagelith {

struct TServerIdentity {
    GUID Clsid;
    std::u16string_view ProgId;
    std::u16string_view Description;
    std::u16string_view ThreadingModel;
};

// Writes (true) or removes (false) the registration of the module's type library and the class's
// registry entries. S_OK, or E_FAIL when a step fails.
HRESULT RegisterServer(const TServerIdentity& server, bool registering);

} // namespace pagelith
