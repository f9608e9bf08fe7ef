// Image XObjects, with the colour space and palette of indexed images.
#pragma once

#include <cstdint>

namespace pagelith {

class TPDFImageRes;
class TPdfFile;

// Objects an image takes: 3 when indexed (image, colour space, palette), else 1.
inline int32_t ImageObjectCount(bool indexed) {
    return indexed ? 3 : 1;
}

// Writes the image's objects, starting at the file's next number.
void WriteImageObjects(TPdfFile& file, const TPDFImageRes& image);

} // namespace pagelith
