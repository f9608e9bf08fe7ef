// The version of the server, of its type library and of the producer written into every file. The
// build reads the two numbers from these lines for the type library and the DLL's version block.
#pragma once

#include <string_view>

#define PAGELITH_VERSION_MAJOR 2
#define PAGELITH_VERSION_MINOR 3

#define PAGELITH_VERSION_TEXT_(major, minor) #major "." #minor
#define PAGELITH_VERSION_TEXT(major, minor) PAGELITH_VERSION_TEXT_(major, minor)

namespace pagelith {

// "2.3"
inline constexpr std::string_view kVersionText =
    PAGELITH_VERSION_TEXT(PAGELITH_VERSION_MAJOR, PAGELITH_VERSION_MINOR);

} // namespace pagelith
