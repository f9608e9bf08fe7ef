#include "base/deflate.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include <libdeflate.h>
#include <zlib.h>

#include "base/pdf_error.h"

namespace pagelith {

namespace {

struct TFreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using TCompressor = std::unique_ptr<libdeflate_compressor, TFreeCompressor>;

// A compressor's tables are large: those kept per level for the next call save a fresh allocation
// (and the page faults on it) for every page of a document. Four, for a save's writer and its worker
// (TDeflateQueue) and for a few documents saved at once: a caller that finds them all busy makes its
// own, and every such table of 0.2-0.7 MB, freed, lets the heap hand the next ones out of its middle,
// which under a server's threads grew the process by a few percent in ten minutes.
struct TSpareCompressor {
    std::mutex Lock;
    TCompressor Compressor;
};

constexpr int kMaxLevel = 12;
constexpr std::size_t kSparesPerLevel = 4;

std::array<TSpareCompressor, kSparesPerLevel>& Spares(int level) {
    static std::array<std::array<TSpareCompressor, kSparesPerLevel>, kMaxLevel + 1> spares;
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

void CheckLevel(int level) {
    if (level < 0 || level > kMaxLevel) throw EPDFError("Compression error");
}

// Compresses with compressor, which is made for level when there is none yet.
TDeflated DeflateWith(TCompressor& compressor, std::string_view data, int level) {
    if (!compressor) compressor = NewCompressor(level);
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), data.size());
    // Left uninitialised: zero-filling room for the bound cost more than copying the result over.
    TDeflated out{std::make_unique_for_overwrite<char[]>(bound), 0};
    out.Size = libdeflate_zlib_compress(compressor.get(), data.data(), data.size(), out.Bytes.get(), bound);
    // Cannot happen with room for the bound, but a zero would otherwise pass as an empty stream.
    if (out.Size == 0) throw EPDFError("Compression error");
    return out;
}

} // namespace

TDeflated Deflate(std::string_view data, int level) {
    CheckLevel(level);
    if (data.size() <= kStoredBytes) return Stored(data);
    for (TSpareCompressor& spare : Spares(level)) {
        std::unique_lock lock(spare.Lock, std::try_to_lock);
        if (lock.owns_lock()) return DeflateWith(spare.Compressor, data, level);
    }
    TCompressor own;
    return DeflateWith(own, data, level);
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

struct TDeflateQueue::TState {
    enum class TStep : uint8_t { Waiting, Running, Done };
    struct TJob {
        std::string Data;
        int Level = 0;
        TStep Step = TStep::Waiting;
        TDeflated Result;
        std::exception_ptr Error;
    };

    std::mutex Lock;
    std::condition_variable Wake; // for the worker: a job waits, or the queue ends
    std::condition_variable Done; // for the caller: a job is done
    std::deque<TJob> Jobs;        // pushed behind and taken in front, which moves no other job
    std::size_t Waiting = 0;
    bool Stop = false;
    std::thread Worker;

    // Compresses the oldest waiting job, outside the lock.
    void RunOldest(std::unique_lock<std::mutex>& lock) {
        TJob& job =
            *std::find_if(Jobs.begin(), Jobs.end(), [](const TJob& j) { return j.Step == TStep::Waiting; });
        job.Step = TStep::Running;
        --Waiting;
        lock.unlock();
        TDeflated result;
        std::exception_ptr error;
        try {
            result = Deflate(job.Data, job.Level);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        job.Result = std::move(result);
        job.Error = error;
        job.Step = TStep::Done; // its data is freed by the caller that takes it, whose heap it came from
        Done.notify_all();
    }

    void Work() {
        std::unique_lock lock(Lock);
        for (;;) {
            Wake.wait(lock, [this] { return Stop || Waiting > 0; });
            if (Stop) return;
            RunOldest(lock);
        }
    }
};

TDeflateQueue::TDeflateQueue() : state_(std::make_unique<TState>()) {
    state_->Worker = std::thread([state = state_.get()] { state->Work(); });
}

TDeflateQueue::~TDeflateQueue() {
    {
        std::lock_guard lock(state_->Lock);
        state_->Stop = true;
    }
    state_->Wake.notify_all();
    state_->Worker.join();
}

void TDeflateQueue::Push(std::string data, int level) {
    CheckLevel(level);
    TState& s = *state_;
    std::unique_lock lock(s.Lock);
    s.Jobs.push_back({std::move(data), level, TState::TStep::Waiting, {}, {}});
    ++s.Waiting;
    s.Wake.notify_one();
}

std::optional<TDeflated> TDeflateQueue::Take(bool wait) {
    TState& s = *state_;
    std::unique_lock lock(s.Lock);
    if (s.Jobs.empty()) return std::nullopt;
    TState::TJob& front = s.Jobs.front();
    if (front.Step != TState::TStep::Done && !wait) return std::nullopt;
    // Rather than sleep while the worker ends the oldest, compress the next waiting one here.
    while (front.Step != TState::TStep::Done) {
        if (s.Waiting > 0) {
            s.RunOldest(lock);
        } else {
            s.Done.wait(lock);
        }
    }
    TState::TJob job = std::move(front);
    s.Jobs.pop_front();
    lock.unlock();
    if (job.Error) std::rethrow_exception(job.Error);
    return std::move(job.Result);
}

} // namespace pagelith
