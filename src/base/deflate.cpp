#include "base/deflate.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

#include <libdeflate.h>
#include <zlib.h>

#include "base/pdf_error.h"

namespace pagelith {

namespace {

struct TFreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using TCompressor = std::unique_ptr<libdeflate_compressor, TFreeCompressor>;

// A compressor's tables are large: one kept per level for the next call saves a fresh allocation
// (and the page faults on it) for every page of a document. A caller that finds it busy makes its own.
struct TSpareCompressor {
    std::mutex Lock;
    TCompressor Compressor;
};

constexpr int kMaxLevel = 12;

TSpareCompressor& Spare(int level) {
    static std::array<TSpareCompressor, kMaxLevel + 1> spares;
    return spares[static_cast<std::size_t>(level)];
}

TCompressor NewCompressor(int level) {
    TCompressor c(libdeflate_alloc_compressor(level));
    if (!c) throw std::bad_alloc();
    return c;
}

// A zlib stream of one stored block: no header flags but the check, LEN and its complement, the data,
// the Adler-32 of the data.
TDeflated Stored(std::string_view data) {
    const auto n = static_cast<uint16_t>(data.size());
    TDeflated out{std::make_unique_for_overwrite<char[]>(data.size() + 11), data.size() + 11};
    char* p = out.Bytes.get();
    const uint32_t adler = libdeflate_adler32(1, data.data(), data.size());
    const std::array<uint8_t, 7> head = {0x78,
                                         0x01,
                                         0x01,
                                         static_cast<uint8_t>(n & 0xFF),
                                         static_cast<uint8_t>(n >> 8),
                                         static_cast<uint8_t>(~n & 0xFF),
                                         static_cast<uint8_t>((~n >> 8) & 0xFF)};
    std::copy(head.begin(), head.end(), p);
    std::copy(data.begin(), data.end(), p + head.size());
    char* tail = p + head.size() + data.size();
    for (int i = 0; i < 4; ++i) tail[i] = static_cast<char>(adler >> (24 - 8 * i));
    return out;
}

} // namespace

TDeflated Deflate(std::string_view data, int level) {
    if (level < 0 || level > kMaxLevel) throw EPDFError("Compression error");
    if (data.size() <= kStoredBytes) return Stored(data);
    TSpareCompressor& spare = Spare(level);
    std::unique_lock lock(spare.Lock, std::try_to_lock);
    TCompressor own;
    libdeflate_compressor* compressor = nullptr;
    if (lock.owns_lock()) {
        if (!spare.Compressor) spare.Compressor = NewCompressor(level);
        compressor = spare.Compressor.get();
    } else {
        own = NewCompressor(level);
        compressor = own.get();
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor, data.size());
    // Left uninitialised: zero-filling room for the bound cost more than copying the result over.
    TDeflated out{std::make_unique_for_overwrite<char[]>(bound), 0};
    out.Size = libdeflate_zlib_compress(compressor, data.data(), data.size(), out.Bytes.get(), bound);
    // Cannot happen with room for the bound, but a zero would otherwise pass as an empty stream.
    if (out.Size == 0) throw EPDFError("Compression error");
    return out;
}

void AppendDeflated(std::string& out, std::string_view data, int level) {
    out.append(Deflate(data, level).View());
}

struct TDeflateStream::TState {
    z_stream Z{};
    std::function<void(std::string_view)> Out;
    uint64_t Size = 0;
    std::unique_ptr<char[]> Piece = std::make_unique_for_overwrite<char[]>(kPiece);
    static constexpr uInt kPiece = 64 * 1024;

    // Runs the compressor until it wants more input (or, finishing, until the stream ends).
    void Pump(int flush) {
        for (;;) {
            Z.next_out = reinterpret_cast<Bytef*>(Piece.get());
            Z.avail_out = kPiece;
            const int result = deflate(&Z, flush);
            if (result == Z_STREAM_ERROR) throw EPDFError("Compression error");
            const std::size_t made = kPiece - Z.avail_out;
            if (made > 0) {
                Out(std::string_view(Piece.get(), made));
                Size += made;
            }
            if (flush == Z_FINISH ? result == Z_STREAM_END : Z.avail_out != 0) return;
        }
    }
};

TDeflateStream::TDeflateStream(int level, std::function<void(std::string_view)> out)
    : state_(std::make_unique<TState>()) {
    state_->Out = std::move(out);
    const int result = deflateInit(&state_->Z, level);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) throw EPDFError("Compression error");
}

TDeflateStream::~TDeflateStream() {
    deflateEnd(&state_->Z);
}

void TDeflateStream::Write(std::string_view data) {
    while (!data.empty()) { // avail_in counts in 32 bits
        const std::size_t n = std::min<std::size_t>(data.size(), 1u << 30);
        state_->Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        state_->Z.avail_in = static_cast<uInt>(n);
        state_->Pump(Z_NO_FLUSH);
        data.remove_prefix(n);
    }
}

void TDeflateStream::Finish() {
    state_->Pump(Z_FINISH);
}

uint64_t TDeflateStream::Size() const {
    return state_->Size;
}

} // namespace pagelith
