#include "output/byte_array.h"

#include <cstring>
#include <limits>
#include <new>

#include "platform/ole_error.h"

namespace pagelith {

void MakeByteArray(std::string_view bytes, VARIANT& out) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<LONG>::max()))
        throw EOleSysError(E_OUTOFMEMORY, u"The document is too large for a byte array.");
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 1, static_cast<ULONG>(bytes.size()));
    if (!array) throw std::bad_alloc();
    if (!bytes.empty()) {
        void* data = nullptr;
        const HRESULT hr = SafeArrayAccessData(array, &data);
        if (hr < 0) {
            SafeArrayDestroy(array);
            throw EOleSysError(hr, u"Cannot access the byte array.");
        }
        std::memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
    }
    V_VT(&out) = VT_ARRAY | VT_UI1;
    V_ARRAY(&out) = array;
}

} // namespace pagelith
