// TPagelith members that add image resources and answer questions about pictures.
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "base/byte_spool.h"
#include "base/file_bytes.h"
#include "base/held_bytes.h"
#include "base/pdf_error.h"
#include "document/pagelith.h"
#include "images/bitmap_handle_source.h"
#include "images/image_intake.h"
#include "images/image_res.h"
#include "images/packed_dib.h"
#include "images/prepare_image.h"
#include "images/readers/image_reader.h"
#include "images/readers/tif_image.h"

namespace pagelith {

namespace {

// The whole file, read into buffer's storage; notFound when it is not there or is not a regular
// file (a FIFO, a device or a folder is never waited for or read).
std::vector<uint8_t> ReadWholeFile(const std::string& name, const std::string& notFound,
                                   std::vector<uint8_t> buffer = {}) {
    TFileBytes file = ReadRegularFile(name, kMaxImageFileBytes, std::move(buffer));
    switch (file.Status) {
    case TFileReadStatus::Ok:
        return std::move(file.Bytes);
    case TFileReadStatus::NotFound:
    case TFileReadStatus::NotRegular:
        throw EPDFError(notFound);
    case TFileReadStatus::TooLarge:
        throw EPDFError("File is too large: " + name);
    case TFileReadStatus::Failed:
        break;
    }
    throw EPDFError("Cannot read file \"" + name + "\". " + std::strerror(file.Error));
}

} // namespace

TImageSettings TPagelith::ImageSettings() const {
    TImageSettings s;
    s.CompressionBW = CompressionBW;
    s.CompressionIndexed = CompressionIndexed;
    s.CompressionRGB = CompressionRGB;
    s.CompressionGray = CompressionGray;
    s.UseSourceCompression = UseSourceCompression;
    s.ImageReadNumber = ImageReadNumber;
    s.MergeAlpha = MergeAlpha;
    s.MergeAlphaColor = MergeAlphaColor;
    s.MaxImagePixels = static_cast<uint64_t>(MaxImagePixels);
    s.ImageOrientation = ImageOrientation;
    s.KeepAlpha = KeepAlpha;
    return s;
}

void TPagelith::SetImageReadNumber(int32_t number) {
    if (number > 0) ImageReadNumber = number;
}

void TPagelith::SetMaxImagePixels(int32_t pixels) {
    if (pixels < 0) throw EPDFError("MaxImagePixels must be 0 (no limit) or a number of pixels");
    MaxImagePixels = pixels;
}

int32_t TPagelith::AddImageFile(const std::string& fileName) {
    // One buffer serves file after file: fresh pages for every file cost more than reading it.
    std::vector<uint8_t> bytes = ReadWholeFile(fileName, "File not found", std::move(readBuffer_));
    const int32_t image = AddImageBytes(bytes);
    constexpr std::size_t kKeptReadBuffer = std::size_t{16} << 20;
    if (bytes.capacity() <= kKeptReadBuffer) readBuffer_ = std::move(bytes);
    return image;
}

int32_t TPagelith::AddImageBytes(std::span<const uint8_t> bytes) {
    return AppendImage(LoadImageStream(bytes, ImageSettings(), SpoolFor(bytes.size())));
}

int32_t TPagelith::AddImageBMPHandle(int32_t handle, TBitmapHandleSource& handles) {
    if (handle == 0) return 0;
    const auto value = static_cast<intptr_t>(handle);
    auto image = std::make_unique<TPDFImageRes>();
    const TImageSettings settings = ImageSettings();
    TBMPImage bitmap;
    if (handles.ReadBitmap(value, bitmap)) {
        // The handle's fate does not depend on whether the encoding succeeds.
        struct TDone {
            TBitmapHandleSource& Handles;
            intptr_t Value;
            bool Destroy;
            ~TDone() { Handles.DoneWithBitmap(Value, Destroy); }
        } done{handles, value, !ReleaseBMPHandle};
        CheckImagePixels(static_cast<uint64_t>(bitmap.Width()), static_cast<uint64_t>(bitmap.Height()),
                         settings.MaxImagePixels);
        image->Width = static_cast<uint32_t>(bitmap.Width());
        image->Height = static_cast<uint32_t>(bitmap.Height());
        DefaultResolution(*image);
        PrepareImage(settings, bitmap, *image);
        return AppendImage(std::move(image));
    }
    const bool locked = handles.UsePackedDIB(
        value, [&](std::span<const uint8_t> dib) { LoadPackedDIB(dib, settings.MaxImagePixels, bitmap); });
    if (!locked) throw EPDFError("The handle is neither a bitmap nor global memory holding a packed bitmap");
    image->Width = static_cast<uint32_t>(bitmap.Width());
    image->Height = static_cast<uint32_t>(bitmap.Height());
    DefaultResolution(*image);
    PrepareImage(settings, bitmap, *image);
    return AppendImage(std::move(image));
}

int32_t TPagelith::AppendImage(std::unique_ptr<TPDFImageRes> image) {
    for (THeldBytes* bytes : {&image->Data, &image->SoftMask}) {
        if (!bytes->Spooled() && heldPictureBytes_ + bytes->size() > HeldPictureBytes)
            if (const auto& spool = Spool()) bytes->MoveTo(*spool);
        if (!bytes->Spooled()) heldPictureBytes_ += bytes->size();
    }
    return AppendResource(std::move(image));
}

const std::shared_ptr<TByteSpool>& TPagelith::SpoolFor(std::size_t fileBytes) {
    static const std::shared_ptr<TByteSpool> none;
    return fileBytes < THeldBytes::kSpoolBytes ? none : Spool();
}

const std::shared_ptr<TByteSpool>& TPagelith::Spool() {
    if (!spool_ && !spoolRefused_) {
        spool_ = TByteSpool::Open();
        spoolRefused_ = spool_ == nullptr;
    }
    return spool_;
}

int32_t TPagelith::ImageCount(const std::string& fileName) const {
    const std::vector<uint8_t> bytes = ReadWholeFile(fileName, "File not found: " + fileName);
    if (bytes.empty()) throw EPDFError("File is not a supported graphics format");
    switch (bytes[0]) {
    case 0x00:
    case 0x0A:
    case '8':
    case 'B':
    case 'G':
    case 0x89:
    case 0xFF:
        return 1;
    case 'I':
    case 'M':
        return static_cast<int32_t>(std::min<uint32_t>(TTIFImage::CountPictures(bytes), INT32_MAX));
    default:
        throw EPDFError("File is not a supported graphics format");
    }
}

namespace {
// Unscaled size in points as shown, computed in floating point; 0 for what is not an image.
double ImageExtent(const TPDFResource* resource, bool width) {
    const auto* image = dynamic_cast<const TPDFImageRes*>(resource);
    if (!image) return 0.0;
    const auto axis = width ? image->ShownWidth() : image->ShownHeight();
    const double pixels = axis.Pixels;
    return pixels / (axis.Resolution ? axis.Resolution : 72) * 72.0;
}
} // namespace

double TPagelith::ImageWidth(int32_t index) const {
    return static_cast<double>(FromPoints(ImageExtent(Resource(index), true)));
}

double TPagelith::ImageHeight(int32_t index) const {
    return static_cast<double>(FromPoints(ImageExtent(Resource(index), false)));
}

} // namespace pagelith
