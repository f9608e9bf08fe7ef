#include "base/deflate_writer.h"

#include <climits>
#include <new>
#include <stdexcept>

namespace pagelith {

TDeflateWriter::TDeflateWriter(std::string& out) : out_(out) {
    const int rc = deflateInit(&z_, Z_DEFAULT_COMPRESSION);
    if (rc == Z_MEM_ERROR) throw std::bad_alloc();
    if (rc != Z_OK) throw std::runtime_error("Compression error");
    pending_.reserve(kStageSize + 4096);
}

TDeflateWriter::~TDeflateWriter() {
    deflateEnd(&z_);
}

void TDeflateWriter::Drain() {
    Deflate(pending_, Z_NO_FLUSH);
    pending_.clear();
}

void TDeflateWriter::Write(std::string_view bytes) {
    if (pending_.size() + bytes.size() <= kStageSize) {
        pending_.append(bytes);
        return;
    }
    Drain();
    Deflate(bytes, Z_NO_FLUSH);
}

void TDeflateWriter::Finish() {
    Deflate(pending_, Z_FINISH);
    pending_.clear();
}

void TDeflateWriter::Deflate(std::string_view bytes, int flush) {
    const auto* next = reinterpret_cast<const Bytef*>(bytes.data());
    std::size_t left = bytes.size();
    for (;;) {
        const uInt chunk = left > UINT_MAX / 2 ? UINT_MAX / 2 : static_cast<uInt>(left);
        z_.next_in = const_cast<Bytef*>(next);
        z_.avail_in = chunk;
        const int mode = (left == chunk) ? flush : Z_NO_FLUSH;
        int rc;
        do {
            const std::size_t room = deflateBound(&z_, z_.avail_in) + 64;
            const std::size_t start = out_.size();
            out_.resize(start + room);
            z_.next_out = reinterpret_cast<Bytef*>(out_.data() + start);
            z_.avail_out = static_cast<uInt>(room);
            rc = deflate(&z_, mode);
            out_.resize(out_.size() - z_.avail_out);
            if (rc == Z_STREAM_ERROR) throw std::runtime_error("Compression error");
        } while (z_.avail_in > 0 || (mode == Z_FINISH && rc != Z_STREAM_END));
        next += chunk;
        left -= chunk;
        if (left == 0) break;
    }
}

} // namespace pagelith
