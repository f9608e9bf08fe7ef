// GDI bitmap handles and packed bitmaps in global memory.
#include <cstdlib>

#include "images/readers/image_error.h"
#include "platform/bitmap_handles.h"
#include "platform/com.h"
#include "platform/global_packed_dib.h"

namespace pagelith {

namespace {

TPixelFormat FormatFor(int bits) {
    if (bits <= 1) return TPixelFormat::Indexed1;
    if (bits <= 4) return TPixelFormat::Indexed4;
    if (bits <= 8) return TPixelFormat::Indexed8;
    return TPixelFormat::Rgb24;
}

class TGdiHandles final : public TBitmapHandleSource {
public:
    bool ReadBitmap(intptr_t handle, TBMPImage& bitmap) override {
        const auto gdi = reinterpret_cast<HBITMAP>(handle);
        if (GetObjectType(gdi) != OBJ_BITMAP) return false;
        BITMAP info{};
        if (GetObjectW(gdi, sizeof info, &info) == 0 || info.bmWidth < 1 || info.bmHeight == 0) return false;
        const TPixelFormat format = FormatFor(info.bmBitsPixel * info.bmPlanes);
        const int height = std::abs(info.bmHeight);
        bitmap.SetSize(format, info.bmWidth, height);

        struct {
            BITMAPINFOHEADER Header;
            RGBQUAD Colors[256];
        } dib{};
        dib.Header.biSize = sizeof(BITMAPINFOHEADER);
        dib.Header.biWidth = info.bmWidth;
        dib.Header.biHeight = -height; // top-down, as the working bitmap keeps its rows
        dib.Header.biPlanes = 1;
        dib.Header.biBitCount = static_cast<WORD>(TBMPImage::BitsOf(format));
        dib.Header.biCompression = BI_RGB;
        HDC screen = GetDC(nullptr);
        const int rows = GetDIBits(screen, gdi, 0, static_cast<UINT>(height), bitmap.Pixels().data(),
                                   reinterpret_cast<BITMAPINFO*>(&dib), DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        if (rows == 0) return false;
        for (std::size_t i = 0; i < bitmap.Palette.size(); ++i)
            bitmap.Palette[i] = TRGB{dib.Colors[i].rgbRed, dib.Colors[i].rgbGreen, dib.Colors[i].rgbBlue};
        return true;
    }

    void DoneWithBitmap(intptr_t handle, bool destroy) override {
        if (destroy) DeleteObject(reinterpret_cast<HBITMAP>(handle));
    }

    bool UsePackedDIB(intptr_t handle, const std::function<void(std::span<const uint8_t>)>& use) override {
        return UseGlobalPackedDIB(handle, use);
    }
};

} // namespace

TBitmapHandleSource& PlatformBitmapHandles() {
    static TGdiHandles handles;
    return handles;
}

} // namespace pagelith
