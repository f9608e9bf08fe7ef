// Self-registration of the in-process server: the work of DllRegisterServer and DllUnregisterServer.
#pragma once

#include "platform/com.h"

// Writes (true) or removes (false) the type library registration and the class's registry entries.
// S_OK, or E_FAIL when a step fails.
HRESULT PagelithRegisterServer(bool registering);
