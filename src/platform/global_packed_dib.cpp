#include "platform/global_packed_dib.h"

#include "platform/com.h"

namespace pagelith {

bool UseGlobalPackedDIB(intptr_t handle, const std::function<void(std::span<const uint8_t>)>& use) {
    const auto memory = reinterpret_cast<HGLOBAL>(handle);
    struct TRelease {
        HGLOBAL Memory;
        bool Locked = false;
        ~TRelease() {
            if (Locked) GlobalUnlock(Memory);
            GlobalFree(Memory);
        }
    } release{memory};
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(memory));
    if (!bytes) return false;
    release.Locked = true;
    use(std::span<const uint8_t>(bytes, GlobalSize(memory)));
    return true;
}

} // namespace pagelith
