// Internal: a non-owning, dereferenced view of a VARIANT (byref values read through their pointer).
#pragma once

#include "platform/com.h"

namespace pagelith::platform {

// Valid as a value type of a VARIANT (without VT_BYREF).
bool IsValueVartype(VARTYPE vt);

// Fills *view with the value src holds or points to; view owns nothing and must not be cleared.
HRESULT DereferencedView(const VARIANT& src, VARIANT& view);

} // namespace pagelith::platform
