// CCITT T.6 (Group 4) coding of a 1-bit picture.
#pragma once

#include <string>

#include "images/readers/working_bitmap.h"

namespace pagelith {

// Appends the picture's Group 4 data, ending with EOFB on a byte boundary. Pixel bit 1 codes
// as white and 0 as black, whatever the palette says. The bitmap must be 1-bit and non-empty.
void EncodeGroup4(const TBMPImage& bitmap, std::string& out);

} // namespace pagelith
