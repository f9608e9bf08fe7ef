// Task memory and GUID text.
#include "platform/com.h"

#include <cstdlib>

LPVOID CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb ? cb : 1);
}

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    return std::realloc(pv, cb ? cb : 1);
}

void CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    constexpr int kChars = 39; // "{8-4-4-4-12}" and the NUL
    if (!lpsz || cchMax < kChars) return 0;
    static constexpr char kHex[] = "0123456789ABCDEF";
    int pos = 0;
    auto put = [&](unsigned long long value, int digits) {
        for (int i = digits - 1; i >= 0; --i)
            lpsz[pos++] = static_cast<OLECHAR>(kHex[(value >> (4 * i)) & 0xF]);
    };
    lpsz[pos++] = u'{';
    put(rguid.Data1, 8);
    lpsz[pos++] = u'-';
    put(rguid.Data2, 4);
    lpsz[pos++] = u'-';
    put(rguid.Data3, 4);
    lpsz[pos++] = u'-';
    put(rguid.Data4[0], 2);
    put(rguid.Data4[1], 2);
    lpsz[pos++] = u'-';
    for (int i = 2; i < 8; ++i) put(rguid.Data4[i], 2);
    lpsz[pos++] = u'}';
    lpsz[pos++] = 0;
    return pos;
}
