#include "pdf/image_objects.h"

#include "images/image_res.h"
#include "pdf/pdf_file.h"

namespace pagelith {

namespace {

void ColorSpaceLine(TPdfFile& file, const TPDFImageRes& image, int32_t n) {
    if (image.Indexed)
        file.Out().Text("/ColorSpace ").Integer(int64_t{n} + 1).Line(" 0 R ");
    else
        file.Out().Line("/ColorSpace /DeviceRGB");
}

// The stored data, a carriage return, and a length that counts both.
void StreamBody(TPdfFile& file, const std::string& data) {
    file.Out().Text("/Length ").Integer(static_cast<int64_t>(data.size()) + 1).Line(" >>").Line("stream");
    file.Buffer.append(data);
    file.Out().EndLine().Line("endstream");
    file.EndObject();
}

} // namespace

void WriteImageObjects(TPdfFile& file, const TPDFImageRes& image) {
    const int32_t n = file.BeginObject();
    auto out = file.Out();
    out.Line("<<").Line("/Type /XObject").Line("/Subtype /Image");
    switch (image.Filter) {
    case 1:
        out.Line("/Filter /CCITTFaxDecode").Line("/DecodeParms ").Line("<<");
        out.Text("/K -1 /Columns ").Integer(image.Width).Line(">>");
        out.Text("/Width ").Integer(image.Width).EndLine().Text("/Height ").Integer(image.Height).EndLine();
        out.Line("/BitsPerComponent 1").Line("/ColorSpace /DeviceGray");
        break;
    case 3:
        out.Line("/Filter /DCTDecode");
        out.Text("/Width ").Integer(image.Width).EndLine().Text("/Height ").Integer(image.Height).EndLine();
        out.Line("/BitsPerComponent 8")
            .Line(image.GrayJPEG ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB");
        break;
    default:
        if (image.Filter == 2) out.Line("/Filter /FlateDecode");
        out.Text("/Width ").Integer(image.Width).EndLine().Text("/Height ").Integer(image.Height).EndLine();
        out.Text("/BitsPerComponent ").Integer(image.BitsPerComponent).EndLine();
        ColorSpaceLine(file, image, n);
        break;
    }
    StreamBody(file, image.Data);
    if (!image.Indexed) return;

    const int32_t cs = file.BeginObject();
    file.Out().Text("[/Indexed /DeviceRGB ").Integer(int64_t{image.PaletteSize} - 1).EndLine();
    file.Out().Integer(int64_t{cs} + 1).Line(" 0 R ]");
    file.EndObject();

    file.BeginObject();
    file.Out().Line("<<");
    if (image.Filter == 2) file.Out().Line("/Filter /FlateDecode");
    StreamBody(file, image.Palette);
}

} // namespace pagelith
