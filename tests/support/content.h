// Reads back the decompressed content stream of a page from a produced file.
#pragma once

#include <string>
#include <string_view>

#include <zlib.h>

namespace pagelith::testing {

// zlib data inflated; empty on any error.
inline std::string Inflate(std::string_view data) {
    std::string out(1 << 20, '\0');
    for (;;) {
        uLongf size = static_cast<uLongf>(out.size());
        const int rc =
            uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                       reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
        if (rc == Z_BUF_ERROR && out.size() < (1u << 30)) {
            out.resize(out.size() * 4);
            continue;
        }
        if (rc != Z_OK) return {};
        out.resize(size);
        return out;
    }
}

// Inflates the stream of object n; empty on any mismatch.
inline std::string ContentOf(const std::string& pdf, int n) {
    const std::string head = "\r" + std::to_string(n) + " 0 obj\r<< /Length ";
    auto at = pdf.find(head);
    if (at == std::string::npos) return {};
    at = pdf.find("stream\r\n", at);
    if (at == std::string::npos) return {};
    at += 8;
    const auto end = pdf.find("endstream\r", at);
    if (end == std::string::npos) return {};
    return Inflate(std::string_view(pdf).substr(at, end - at));
}

} // namespace pagelith::testing
