// A JPEG file's coefficients arithmetic-coded, as libjpeg transcodes them without loss.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include <jpeglib.h>

namespace pagelith::testing {

inline std::string ArithmeticCoded(std::span<const uint8_t> jpeg) {
    jpeg_decompress_struct in{};
    jpeg_compress_struct out{};
    jpeg_error_mgr inErrors{}, outErrors{};
    in.err = jpeg_std_error(&inErrors);
    jpeg_create_decompress(&in);
    jpeg_mem_src(&in, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&in, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
    out.err = jpeg_std_error(&outErrors);
    jpeg_create_compress(&out);
    jpeg_copy_critical_parameters(&in, &out);
    out.arith_code = TRUE;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&out, &buffer, &size);
    jpeg_write_coefficients(&out, coefficients);
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&in);
    std::string result(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    std::free(buffer);
    return result;
}

} // namespace pagelith::testing
