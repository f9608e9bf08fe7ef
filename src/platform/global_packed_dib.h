// Packed bitmaps in the system's global memory: the memory is locked for the reader and freed
// afterwards in every case. (The handle table of other systems hands each block to one call.)
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace pagelith {

// Locks the handle and hands its bytes to use; false when it cannot be locked. The memory is freed
// whether or not it could be locked.
bool UseGlobalPackedDIB(intptr_t handle, const std::function<void(std::span<const uint8_t>)>& use);

} // namespace pagelith
