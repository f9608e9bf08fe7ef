// Image XObjects, with the colour space and palette of indexed images.
#pragma once

#include <cstdint>
#include <span>

namespace pagelith {

class TPDFImageRes;
class TPdfFile;

// The objects an image is written as, in file order: the writer's plan numbers these, and
// WriteImageObjects writes them.
enum class TImageObject : uint8_t { Image, SoftMask, ColorSpace, Palette };
std::span<const TImageObject> ImageObjects(const TPDFImageRes& image);

// The lowest PDF 1.x that reads the image as written.
int32_t ImageMinorVersion(const TPDFImageRes& image);

// Writes the image's objects, starting at the file's next number.
void WriteImageObjects(TPdfFile& file, const TPDFImageRes& image);

} // namespace pagelith
