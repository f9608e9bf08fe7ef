#include "platform/bstr_util.h"

#include <limits>
#include <new>

namespace pagelith {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "BSTR characters are UTF-16 code units");

std::u16string BstrToU16(BSTR value) {
    if (!value) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(value), SysStringLen(value));
}

BSTR U16ToBstr(std::u16string_view text) {
    if (text.size() > std::numeric_limits<UINT>::max() / 4) throw std::bad_alloc();
    BSTR result =
        SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (!result) throw std::bad_alloc();
    return result;
}

} // namespace pagelith
