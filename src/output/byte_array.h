// The byte-array form of a document for scripts: VT_ARRAY | VT_UI1, bounds 1 to n.
#pragma once

#include <string_view>

#include "platform/com.h"

namespace pagelith {

// Fills out (assumed empty) with a new array holding bytes; raises std::bad_alloc when the array
// cannot be made and EOleSysError when it is too large for one.
void MakeByteArray(std::string_view bytes, VARIANT& out);

} // namespace pagelith
