// The file buffer of one save, with its object numbering and offsets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

    // Offset in the file of the next byte written.
    int64_t Position() const { return passed_ + static_cast<int64_t>(Buffer.size()); }

    // Hands what Buffer holds to the sink once it reaches limit bytes (between objects only).
    void Flush(std::size_t limit = 0) {
        if (!Sink || Buffer.size() < limit || Buffer.empty()) return;
        Sink(Buffer);
        passed_ += static_cast<int64_t>(Buffer.size());
        Buffer.clear();
    }

    // Large data goes to the sink as it is, not through Buffer.
    void Append(std::string_view data) {
        if (!Sink || data.size() < kDirectBytes) {
            Buffer.append(data);
            return;
        }
        Flush();
        Sink(data);
        passed_ += static_cast<int64_t>(data.size());
    }

    // Opens object Next: records its offset, writes "n 0 obj" and advances Next.
    int32_t BeginObject() {
        const int32_t n = Next;
        if (n <= 0 || static_cast<std::size_t>(n) >= Offsets.size()) throw EPDFError(kIndexingError);
        Offsets[n] = Position();
        Out().Integer(n).Line(" 0 obj");
        ++Next;
        return n;
    }
    void EndObject() { Out().Line("endobj"); }

    static constexpr std::size_t kDirectBytes = 64 * 1024;

private:
    int64_t passed_ = 0; // bytes already handed to the sink
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
