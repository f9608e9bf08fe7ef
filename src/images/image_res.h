// One raster picture, already encoded the way it stands in the PDF file.
#pragma once

#include <cstdint>
#include <string>

#include "base/held_bytes.h"
#include "base/pdf_resource.h"

namespace pagelith {

enum TCompression : uint8_t { kCompressNone = 0, kCompressCCITT = 1, kCompressFlate = 2, kCompressDCT = 3 };

class TPDFImageRes final : public TPDFResource {
public:
    THeldBytes Data;     // samples encoded with Filter, or the source's own data
    std::string Palette; // PaletteSize RGB triples, Flate-compressed when Filter is 2
    bool Indexed = false;
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t XResolution = 0; // dots per inch
    uint32_t YResolution = 0;
    uint8_t Filter = kCompressNone;
    uint8_t BitsPerComponent = 0;
    uint16_t PaletteSize = 0;
    bool GrayJPEG = false;
    // Samples a pixel for filters 0 and 2: 3 (DeviceRGB), or 1 (an index, or DeviceGray when not Indexed).
    uint8_t Colors = 3;
    // Flate rows that each start with a PNG filter tag (/Predictor 15).
    bool PngPredicted = false;
    // CCITT data whose decoded white runs stand for black pixels (written as /BlackIs1 true).
    bool BlackIs1 = false;
    // DCT data with four components (CMYK or YCCK), written as /DeviceCMYK.
    bool CMYKJPEG = false;
    // Four-component DCT data stored inverted (Adobe marker): /Decode [1 0 1 0 1 0 1 0].
    bool InvertedCMYK = false;
    // Progressive DCT data, which PDF readers take from version 1.3 on.
    bool ProgressiveJPEG = false;
    // How the stored picture is shown, as EXIF and TIFF number it: 1 upright, 2-4 mirrored or
    // half-turned, 5-8 with rows and columns swapped. Placement turns the picture, never the data.
    uint8_t Orientation = 1;
    // The picture's transparency as a Flate-compressed DeviceGray image of its size, or empty.
    THeldBytes SoftMask;
    uint8_t SoftMaskBits = 0;

    // Width and height as shown, in pixels with their resolutions (dots per inch).
    struct TShownAxis {
        uint32_t Pixels;
        uint32_t Resolution;
    };
    bool SwapsAxes() const { return Orientation >= 5 && Orientation <= 8; }
    TShownAxis ShownWidth() const {
        return SwapsAxes() ? TShownAxis{Height, YResolution} : TShownAxis{Width, XResolution};
    }
    TShownAxis ShownHeight() const {
        return SwapsAxes() ? TShownAxis{Width, XResolution} : TShownAxis{Height, YResolution};
    }
};

} // namespace pagelith
