#include "base/held_bytes.h"

#include <algorithm>
#include <vector>

#include "base/pdf_error.h"

namespace pagelith {

THeldBytes THeldBytes::Keep(std::string_view bytes, const std::shared_ptr<TByteSpool>& spool) {
    THeldBytes held;
    if (spool && bytes.size() >= kSpoolBytes) held.spooled_ = spool->Append(bytes);
    if (!held.spooled_) held.memory_ = std::string(bytes);
    return held;
}

void THeldBytes::MoveTo(TByteSpool& spool) {
    if (spooled_ || Memory().empty()) return;
    spooled_ = spool.Append(Memory());
    if (spooled_) memory_ = std::string();
}

std::string_view THeldBytes::Memory() const {
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&memory_))
        return {reinterpret_cast<const char*>(bytes->data()), bytes->size()};
    return std::get<std::string>(memory_);
}

void THeldBytes::ForEachPiece(const std::function<void(std::string_view)>& take) const {
    if (!spooled_) {
        if (!Memory().empty()) take(Memory());
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
    if (!spooled_) return std::string(Memory());
    std::string all;
    all.reserve(spooled_->size());
    ForEachPiece([&all](std::string_view piece) { all.append(piece); });
    return all;
}

} // namespace pagelith
