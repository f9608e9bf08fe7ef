#include "pdf/image_objects.h"

#include "images/image_res.h"
#include "pdf/pdf_file.h"
#include "pdf/stream_object.h"

namespace pagelith {

namespace {

constexpr TImageObject kPlain[] = {TImageObject::Image};
constexpr TImageObject kIndexed[] = {TImageObject::Image, TImageObject::ColorSpace, TImageObject::Palette};
constexpr TImageObject kMasked[] = {TImageObject::Image, TImageObject::SoftMask};
constexpr TImageObject kIndexedMasked[] = {TImageObject::Image, TImageObject::SoftMask,
                                           TImageObject::ColorSpace, TImageObject::Palette};

void SizeLines(TOperatorText out, const TPDFImageRes& image) {
    out.Text("/Width ").Integer(image.Width).EndLine().Text("/Height ").Integer(image.Height).EndLine();
}

using TImageNumbers = TObjectNumbers<TImageObject>;

void ColorSpaceLine(TOperatorText out, const TPDFImageRes& image, const TImageNumbers& numbers) {
    if (numbers.Has(TImageObject::ColorSpace))
        out.Text("/ColorSpace ").Integer(numbers.Of(TImageObject::ColorSpace)).Line(" 0 R ");
    else
        out.Line(image.Colors == 1 ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB");
}

const char* JpegColorSpace(const TPDFImageRes& image) {
    if (image.CMYKJPEG) return "/ColorSpace /DeviceCMYK";
    return image.GrayJPEG ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB";
}

void ImageStream(TPdfFile& file, const TPDFImageRes& image, const TImageNumbers& numbers) {
    TStreamObject stream(file, TStreamLength::WithLineEnd);
    auto out = stream.Dictionary();
    out.Line("<<").Line("/Type /XObject").Line("/Subtype /Image");
    switch (image.Filter) {
    case kCompressCCITT:
        out.Line("/Filter /CCITTFaxDecode").Line("/DecodeParms ").Line("<<");
        out.Text("/K -1 /Columns ").Integer(image.Width);
        out.Line(image.BlackIs1 ? " /BlackIs1 true>>" : ">>");
        SizeLines(out, image);
        out.Line("/BitsPerComponent 1").Line("/ColorSpace /DeviceGray");
        break;
    case kCompressDCT:
        out.Line("/Filter /DCTDecode");
        SizeLines(out, image);
        out.Line("/BitsPerComponent 8").Line(JpegColorSpace(image));
        // Inverted four-component data (as some writers store CMYK) reads right only with its ranges swapped.
        if (image.CMYKJPEG && image.InvertedCMYK) out.Line("/Decode [1 0 1 0 1 0 1 0]");
        break;
    default:
        if (image.Filter == kCompressFlate) {
            out.Line("/Filter /FlateDecode");
            if (image.PngPredicted) {
                out.Text("/DecodeParms << /Predictor 15 /Colors ").Integer(image.Colors);
                out.Text(" /BitsPerComponent ").Integer(image.BitsPerComponent);
                out.Text(" /Columns ").Integer(image.Width).Line(" >>");
            }
        }
        SizeLines(out, image);
        out.Text("/BitsPerComponent ").Integer(image.BitsPerComponent).EndLine();
        ColorSpaceLine(out, image, numbers);
        break;
    }
    if (numbers.Has(TImageObject::SoftMask))
        out.Text("/SMask ").Integer(numbers.Of(TImageObject::SoftMask)).Line(" 0 R");
    stream.Copy(image.Data, " >>");
}

void SoftMask(TPdfFile& file, const TPDFImageRes& image) {
    TStreamObject stream(file, TStreamLength::WithLineEnd);
    auto out = stream.Dictionary();
    out.Line("<<").Line("/Type /XObject").Line("/Subtype /Image").Line("/Filter /FlateDecode");
    SizeLines(out, image);
    out.Text("/BitsPerComponent ").Integer(image.SoftMaskBits).EndLine().Line("/ColorSpace /DeviceGray");
    stream.Copy(image.SoftMask, " >>");
}

void IndexedColorSpace(TPdfFile& file, const TPDFImageRes& image, const TImageNumbers& numbers) {
    file.BeginObject();
    file.Out().Text("[/Indexed /DeviceRGB ").Integer(int64_t{image.PaletteSize} - 1).EndLine();
    file.Out().Integer(numbers.Of(TImageObject::Palette)).Line(" 0 R ]");
    file.EndObject();
}

void Palette(TPdfFile& file, const TPDFImageRes& image) {
    TStreamObject palette(file, TStreamLength::WithLineEnd);
    palette.Dictionary().Line("<<");
    if (image.Filter == kCompressFlate) palette.Dictionary().Line("/Filter /FlateDecode");
    palette.Copy(image.Palette, " >>");
}

} // namespace

std::span<const TImageObject> ImageObjects(const TPDFImageRes& image) {
    const bool masked = !image.SoftMask.empty();
    if (image.Indexed) return masked ? std::span<const TImageObject>(kIndexedMasked) : kIndexed;
    return masked ? std::span<const TImageObject>(kMasked) : kPlain;
}

int32_t ImageMinorVersion(const TPDFImageRes& image) {
    // Soft masks came with PDF 1.4, progressive DCT data with 1.3.
    if (!image.SoftMask.empty()) return 4;
    return image.Filter == kCompressDCT && image.ProgressiveJPEG ? 3 : 2;
}

void WriteImageObjects(TPdfFile& file, const TPDFImageRes& image) {
    const TImageNumbers numbers(file.Next, ImageObjects(image));
    for (const TImageObject object : ImageObjects(image)) {
        switch (object) {
        case TImageObject::Image:
            ImageStream(file, image, numbers);
            break;
        case TImageObject::SoftMask:
            SoftMask(file, image);
            break;
        case TImageObject::ColorSpace:
            IndexedColorSpace(file, image, numbers);
            break;
        case TImageObject::Palette:
            Palette(file, image);
            break;
        }
    }
}

} // namespace pagelith
