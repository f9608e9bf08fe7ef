// Without a system registry there is nothing to write or remove: hosts find the library and its
// class identifier themselves.
#ifndef _WIN32

#include "automation/server_exports.h"

STDAPI PAGELITH_EXPORT DllRegisterServer() {
    return S_OK;
}

STDAPI PAGELITH_EXPORT DllUnregisterServer() {
    return S_OK;
}

#endif
