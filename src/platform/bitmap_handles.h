// The platform's bitmap handles and global memory, as the document's image intake reaches them.
#pragma once

#include "images/bitmap_handle_source.h"

namespace pagelith {

// One per process; it keeps no state of its own beyond the platform's.
TBitmapHandleSource& PlatformBitmapHandles();

} // namespace pagelith
