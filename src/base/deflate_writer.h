// Compresses operator text straight into the file buffer.
#pragma once

#include <string>
#include <string_view>

#include <zlib.h>

namespace pagelith {

class TDeflateWriter {
public:
    explicit TDeflateWriter(std::string& out);
    ~TDeflateWriter();
    TDeflateWriter(const TDeflateWriter&) = delete;
    TDeflateWriter& operator=(const TDeflateWriter&) = delete;

    // Staging area for small pieces of text; drained by Flush and Finish.
    std::string& Pending() { return pending_; }
    // Drains the staging area when it has grown past its working size.
    void Flush() {
        if (pending_.size() >= kStageSize) Drain();
    }
    // Compresses a large block directly, without staging it.
    void Write(std::string_view bytes);
    // Ends the zlib stream; the compressed data then ends at out's end.
    void Finish();

private:
    static constexpr std::size_t kStageSize = 64 * 1024;
    void Drain();
    void Deflate(std::string_view bytes, int flush);

    std::string& out_;
    std::string pending_;
    z_stream z_{};
};

} // namespace pagelith
