// The file buffer of one save, with its object numbering and offsets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/deflate.h"
#include "base/operator_text.h"
#include "base/pdf_error.h"

namespace pagelith {

// A destination that takes the file piece by piece; without one the whole file stays in Buffer.
using TPdfSink = std::function<void(std::string_view)>;

class TPdfFile {
public:
    std::string Buffer;
    std::vector<int64_t> Offsets; // by object number; entry 0 unused
    int32_t Next = 3;             // number of the next object written
    TPdfSink Sink;

    TOperatorText Out() { return TOperatorText(Buffer); }

    // Offset in the file of the next byte written. While bodies are compressed beside the writing it
    // leaves them out; the offsets of objects begun meanwhile move when each body takes its place.
    int64_t Position() const { return passed_ + static_cast<int64_t>(Buffer.size()); }

    // Hands what Buffer holds, up to the first body not in its place, to the sink once it reaches
    // limit bytes (between objects only).
    void Flush(std::size_t limit = 0);

    // Large data goes to the sink as it is, not through Buffer.
    void Append(std::string_view data);

    // Opens object Next: records its offset, writes "n 0 obj" and advances Next.
    int32_t BeginObject();
    void EndObject();

    // The body of a stream object whose "stream" line is written, compressed from data, and the
    // end of that object and its separate length object (as EndStream writes them). Once a save has
    // compressed 64 KB this way, or expects to, the rest is compressed beside the writing, on a second
    // processor.
    void DeflateBody(std::string data, int level);
    // "endstream", "endobj", and the length object that follows a stream object: size.
    void EndStream(uint64_t size);
    // Waits until every body is in its place: Position is then exact.
    void Settle();
    // What the writer's plan says is to come: text of this many bytes, which becomes page content.
    // With enough of it, bodies go beside the writing from the first.
    void Expect(uint64_t textBytes) { expected_ = textBytes; }

    static constexpr std::size_t kDirectBytes = 64 * 1024;

private:
    struct TBeside {
        std::size_t At;       // where in Buffer the body goes
        int32_t LengthObject; // the object after it; later ones follow it in number
    };
    int32_t TakeNumber(); // Next, checked against Offsets, and advances it
    bool SettleOldest(bool wait);
    bool Beside(std::size_t size);

    int64_t passed_ = 0;          // bytes already handed to the sink
    std::vector<TBeside> beside_; // oldest first, as the queue hands results back
    std::unique_ptr<TDeflateQueue> queue_;
    uint64_t deflatedHere_ = 0; // body bytes compressed before any went beside
    uint64_t expected_ = 0;
};

// Where the objects of one emitter are: they follow each other from the first in the order of the
// list the emitter declared for the plan.
template <class TKind> class TObjectNumbers {
public:
    TObjectNumbers(int32_t first, std::span<const TKind> objects) : first_(first), objects_(objects) {}
    int64_t Of(TKind object) const {
        return int64_t{first_} + (std::find(objects_.begin(), objects_.end(), object) - objects_.begin());
    }
    bool Has(TKind object) const {
        return std::find(objects_.begin(), objects_.end(), object) != objects_.end();
    }

private:
    int32_t first_;
    std::span<const TKind> objects_;
};

} // namespace pagelith
