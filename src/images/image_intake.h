// Recognition of a picture file by its first two bytes, decoding by its reader and the
// per-format rules for size, resolution and passing source data through.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "images/image_res.h"
#include "images/image_settings.h"

namespace pagelith {

inline constexpr const char* kUnsupportedImage = "File is not a supported image format";

// A complete image resource from a whole file's bytes; source data passed through goes to the
// spool when there is one. Any failure raises (EPDFError or the reader's EInvalidGraphic) and
// nothing is returned.
std::unique_ptr<TPDFImageRes> LoadImageStream(std::span<const uint8_t> data, const TImageSettings& settings,
                                              const std::shared_ptr<TByteSpool>& spool = nullptr);

// The resolution rule: no horizontal resolution means 72 dpi, no vertical one the horizontal one.
void DefaultResolution(TPDFImageRes& image);

} // namespace pagelith
