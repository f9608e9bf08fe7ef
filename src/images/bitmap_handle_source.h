// How the core reaches the platform's bitmap handles and global memory without knowing either.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "images/readers/working_bitmap.h"

namespace pagelith {

class TBitmapHandleSource {
public:
    virtual ~TBitmapHandleSource() = default;

    // Fills bitmap from handle when it is a bitmap object of width 1 or more; false otherwise.
    virtual bool ReadBitmap(intptr_t handle, TBMPImage& bitmap) = 0;
    // Ends the use of a handle ReadBitmap accepted: destroys it, or leaves it to its owner.
    virtual void DoneWithBitmap(intptr_t handle, bool destroy) = 0;
    // Locks handle as global memory and hands its bytes to use, then unlocks and frees it, also
    // when use throws. False when it cannot be locked (the handle is freed all the same).
    virtual bool UsePackedDIB(intptr_t handle, const std::function<void(std::span<const uint8_t>)>& use) = 0;

protected:
    TBitmapHandleSource() = default;
    TBitmapHandleSource(const TBitmapHandleSource&) = default;
    TBitmapHandleSource& operator=(const TBitmapHandleSource&) = default;
};

} // namespace pagelith
