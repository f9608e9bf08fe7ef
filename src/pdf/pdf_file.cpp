#include "pdf/pdf_file.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

namespace pagelith {

namespace {

// A worker thread only pays when there is much to compress beside the writing (a long report's pages,
// not an invoice's): known from the plan, or found once a save has compressed this much in place.
constexpr uint64_t kDeflateHereBytes = 64 * 1024;
// Bodies in the queue at most, so that the writing never runs far ahead of the compressing.
constexpr std::size_t kMaxBeside = 8;

void ObjectLine(std::string& out, int32_t n) {
    TOperatorText(out).Integer(n).Line(" 0 obj");
}

void ObjectEnd(std::string& out) {
    TOperatorText(out).Line("endobj");
}

// The end of a stream object and its length object; returns how far into the end the length object
// begins.
std::size_t AppendStreamEnd(std::string& out, int32_t lengthObject, uint64_t size) {
    const std::size_t start = out.size();
    TOperatorText(out).Line("endstream");
    ObjectEnd(out);
    const std::size_t at = out.size() - start;
    ObjectLine(out, lengthObject);
    TOperatorText(out).Integer(static_cast<int64_t>(size)).EndLine();
    ObjectEnd(out);
    return at;
}

} // namespace

void TPdfFile::Flush(std::size_t limit) {
    while (SettleOldest(false)) {
    }
    const std::size_t ready = beside_.empty() ? Buffer.size() : beside_.front().At;
    if (!Sink || ready < limit || ready == 0) return;
    Sink(std::string_view(Buffer).substr(0, ready));
    passed_ += static_cast<int64_t>(ready);
    Buffer.erase(0, ready);
    for (TBeside& b : beside_) b.At -= ready;
}

void TPdfFile::Append(std::string_view data) {
    // What is written after a body that waits for its place moves when the body comes: never much.
    if (!beside_.empty() && Buffer.size() - beside_.front().At + data.size() >= kDirectBytes) Settle();
    if (!Sink || data.size() < kDirectBytes) {
        Buffer.append(data);
        return;
    }
    Flush();
    Sink(data);
    passed_ += static_cast<int64_t>(data.size());
}

int32_t TPdfFile::TakeNumber() {
    const int32_t n = Next;
    if (n <= 0 || static_cast<std::size_t>(n) >= Offsets.size()) throw EPDFError(kIndexingError);
    ++Next;
    return n;
}

int32_t TPdfFile::BeginObject() {
    const int32_t n = TakeNumber();
    Offsets[n] = Position();
    ObjectLine(Buffer, n);
    return n;
}

void TPdfFile::EndObject() {
    ObjectEnd(Buffer);
}

void TPdfFile::EndStream(uint64_t size) {
    const int64_t start = Position();
    const int32_t n = TakeNumber();
    Offsets[n] = start + static_cast<int64_t>(AppendStreamEnd(Buffer, n, size));
}

bool TPdfFile::Beside(std::size_t size) {
    if (queue_) return true;
    deflatedHere_ += size;
    static const bool twoCores = std::thread::hardware_concurrency() >= 2; // read from the system once
    if (std::max(deflatedHere_, expected_) <= kDeflateHereBytes || !twoCores) return false;
    try {
        queue_ = std::make_unique<TDeflateQueue>();
    } catch (const std::system_error&) {
        deflatedHere_ = 0; // no thread to be had now: compress here, and try again later
        return false;
    }
    return true;
}

void TPdfFile::DeflateBody(std::string data, int level) {
    if (!Beside(data.size())) {
        const std::size_t start = Buffer.size();
        AppendDeflated(Buffer, data, level);
        EndStream(Buffer.size() - start);
        return;
    }
    queue_->Push(std::move(data), level);
    beside_.push_back({Buffer.size(), TakeNumber()});
    while (SettleOldest(beside_.size() > kMaxBeside)) {
    }
}

void TPdfFile::Settle() {
    while (SettleOldest(true)) {
    }
}

// Puts the oldest body in its place, with its end; everything written after it moves along by as much.
bool TPdfFile::SettleOldest(bool wait) {
    if (beside_.empty()) return false;
    const std::optional<TDeflated> body = queue_->Take(wait);
    if (!body) return false;
    const TBeside b = beside_.front();
    beside_.erase(beside_.begin());
    std::string end;
    const std::size_t lengthAt = AppendStreamEnd(end, b.LengthObject, body->Size);
    const std::size_t moved = body->Size + end.size();
    const std::size_t after = Buffer.size() - b.At;
    Buffer.resize(Buffer.size() + moved);
    char* at = Buffer.data() + b.At;
    std::memmove(at + moved, at, after);
    std::memcpy(at, body->Bytes.get(), body->Size);
    std::memcpy(at + body->Size, end.data(), end.size());
    const int64_t start = passed_ + static_cast<int64_t>(b.At);
    Offsets[static_cast<std::size_t>(b.LengthObject)] = start + static_cast<int64_t>(body->Size + lengthAt);
    for (int32_t n = b.LengthObject + 1; n < Next; ++n)
        Offsets[static_cast<std::size_t>(n)] += static_cast<int64_t>(moved);
    for (TBeside& later : beside_) later.At += moved;
    return true;
}

} // namespace pagelith
