// The type library embedded in the server module (TYPELIB resource 1).
#pragma once

#include "platform/com.h"

#ifdef _WIN32
// AddRef'd type information of the interface or coclass `guid` from the module's own type library,
// loaded once per process without registering it.
HRESULT PagelithModuleTypeInfo(REFGUID guid, ITypeInfo** info);
#endif
