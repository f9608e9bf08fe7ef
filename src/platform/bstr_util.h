// Conversions between BSTR and std::u16string, and an owning BSTR handle.
#pragma once

#include "platform/com.h"

#include <memory>
#include <string>
#include <string_view>

namespace pagelith {

// The whole string including embedded NULs; a null BSTR reads as empty.
std::u16string BstrToU16(BSTR value);

// A new BSTR the caller owns (free with SysFreeString); throws std::bad_alloc when out of memory.
BSTR U16ToBstr(std::u16string_view text);

struct BstrDeleter {
    void operator()(OLECHAR* value) const noexcept { SysFreeString(value); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrDeleter>;

} // namespace pagelith
