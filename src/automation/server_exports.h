// The exported entry points of the in-process server. On Windows the system headers declare them and
// the module definition file exports them; registration is server_registration_{linux,win}.cpp.
#pragma once

#include "platform/com.h"

#ifdef _WIN32
#define PAGELITH_EXPORT
#else
#define PAGELITH_EXPORT __attribute__((visibility("default")))
STDAPI PAGELITH_EXPORT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI PAGELITH_EXPORT DllCanUnloadNow();
STDAPI PAGELITH_EXPORT DllRegisterServer();
STDAPI PAGELITH_EXPORT DllUnregisterServer();
#endif
