// BSTR storage: [4 bytes padding][DWORD byte length][characters][NUL NUL], so the string itself is
// 8-aligned and its length sits right before it as Windows has it.
#include "platform/com.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kHeader = 8;
constexpr UINT kMaxBytes = 0xFFFFFFF0u - kHeader;

BSTR AllocBytes(const void* data, UINT bytes) {
    if (bytes > kMaxBytes) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kHeader + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    const DWORD length = bytes;
    std::memset(block, 0, kHeader);
    std::memcpy(block + kHeader - sizeof(DWORD), &length, sizeof(DWORD));
    if (data)
        std::memcpy(block + kHeader, data, bytes);
    else
        std::memset(block + kHeader, 0, bytes);
    block[kHeader + bytes] = 0;
    block[kHeader + bytes + 1] = 0;
    return reinterpret_cast<BSTR>(block + kHeader);
}

std::size_t Length(const OLECHAR* psz) {
    std::size_t n = 0;
    while (psz[n]) ++n;
    return n;
}

} // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (ui > kMaxBytes / sizeof(OLECHAR)) return nullptr;
    return AllocBytes(strIn, ui * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    const std::size_t n = Length(psz);
    if (n > kMaxBytes / sizeof(OLECHAR)) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(n));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
    return AllocBytes(psz, len);
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
    if (!pbstr) return FALSE;
    // A new block first: psz may point into the old string.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return FALSE;
    if (!psz) {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    const std::size_t n = Length(psz);
    if (n > kMaxBytes / sizeof(OLECHAR)) return FALSE;
    return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(n));
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(reinterpret_cast<unsigned char*>(bstrString) - kHeader);
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    DWORD length;
    std::memcpy(&length, reinterpret_cast<unsigned char*>(bstr) - sizeof(DWORD), sizeof(DWORD));
    return length;
}

UINT SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
