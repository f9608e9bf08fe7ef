// IDispatch for IPDFSvrDoc and IPDFSvrDoc2 driven by the member table: names to DISPIDs, and Invoke with
// argument coercion and the DISP_E_ results an automation client expects. The same on every platform.
#pragma once

#include "automation/ipdfsvrdoc.h"
#include "platform/com.h"

namespace pagelith {

// Member names (case-insensitive) for names[0], parameter names of that member (their position) for
// the rest; DISP_E_UNKNOWNNAME with DISPID_UNKNOWN where a name is unknown.
HRESULT DispatchGetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids);

// Calls the member `id` of object through its interface entry. A failing member gives
// DISP_E_EXCEPTION, with *exception filled from the thread's error information when not null.
HRESULT DispatchInvoke(IPDFSvrDoc2* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* argError);

} // namespace pagelith
