// Links the core with its static dependencies into a Windows program; the build checks
// that the result imports nothing but system DLLs, and the tests run it under Wine.
#include <cstdio>
#include <exception>

#include <fribidi.h>
#include <hb-subset.h>
#include <hb.h>
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

        // Pulls in HarfBuzz's one object, so its imports are checked too.
        hb_subset_input_t* subset = hb_subset_input_create_or_fail();
        const bool subset_made = subset != nullptr;
        hb_subset_input_destroy(subset);

        // Hebrew alef is right-to-left whatever the tables' Unicode version.
        const bool bidi_typed = fribidi_get_bidi_type(0x05D0) == FRIBIDI_TYPE_RTL;

        std::printf("pagelith linkcheck: page width %g, zlib %s, libjpeg %d, harfbuzz %s, fribidi %s\n",
                    width, zlibVersion(), JPEG_LIB_VERSION, hb_version_string(), FRIBIDI_VERSION);
        return width > 0 && subset_made && bidi_typed ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pagelith linkcheck: %s\n", e.what());
        return 1;
    }
}
