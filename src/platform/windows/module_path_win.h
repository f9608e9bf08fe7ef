// Where the server module lives.
#pragma once

#include <string>

namespace pagelith {

// Full path of the module (DLL or program) that holds this code; empty when the system cannot say.
std::wstring ModulePath();

} // namespace pagelith
