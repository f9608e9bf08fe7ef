#include "base/held_bytes.h"

#include <algorithm>
#include <vector>

#include "base/pdf_error.h"

namespace pagelith {

THeldBytes THeldBytes::Keep(std::string_view bytes, const std::shared_ptr<TByteSpool>& spool) {
    THeldBytes held;
    if (spool && bytes.size() >= kSpoolBytes) held.spooled_ = spool->Append(bytes);
    if (!held.spooled_) held.memory_ = bytes;
    return held;
}

void THeldBytes::MoveTo(TByteSpool& spool) {
    if (spooled_ || memory_.empty()) return;
    spooled_ = spool.Append(memory_);
    if (spooled_) std::string().swap(memory_);
}

void THeldBytes::ForEachPiece(const std::function<void(std::string_view)>& take) const {
    if (!spooled_) {
        if (!memory_.empty()) take(memory_);
        return;
    }
    const std::size_t size = spooled_->size();
    std::vector<char> piece(std::min(size, kPieceBytes));
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(size - done, piece.size());
        if (!spooled_->Read(done, std::span<char>(piece.data(), n)))
            throw EPDFError("Cannot read back the temporary file that holds picture data");
        take(std::string_view(piece.data(), n));
        done += n;
    }
}

std::string THeldBytes::Bytes() const {
    if (!spooled_) return memory_;
    std::string all;
    all.reserve(spooled_->size());
    ForEachPiece([&all](std::string_view piece) { all.append(piece); });
    return all;
}

} // namespace pagelith
