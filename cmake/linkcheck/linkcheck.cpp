// Links the core with its static dependencies into a Windows program; the build checks
// that the result imports nothing but system DLLs, and the tests run it under Wine.
#include <cstdio>
#include <exception>

#include <jpeglib.h>
#include <zlib.h>

#include "document/pagelith.h"

int main() {
    try {
        pagelith::TPagelith doc;
        doc.AddPage(0);
        const double width = doc.GetPageWidth(1);

        jpeg_compress_struct cinfo{};
        jpeg_error_mgr jerr{};
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);

        std::printf("pagelith linkcheck: page width %g, zlib %s, libjpeg %d\n", width, zlibVersion(),
                    JPEG_LIB_VERSION);
        return width > 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pagelith linkcheck: %s\n", e.what());
        return 1;
    }
}
