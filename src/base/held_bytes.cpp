#include "base/held_bytes.h"

#include <algorithm>
#include <vector>

#include "base/pdf_error.h"

namespace pagelith {

THeldBytes THeldBytes::Keep(std::string_view bytes, const std::shared_ptr<TByteSpool>& spool) {
    if (spool && bytes.size() >= kSpoolBytes) {
        if (const std::optional<uint64_t> offset = spool->Append(bytes)) {
            THeldBytes held;
            held.spool_ = spool;
            held.offset_ = *offset;
            held.size_ = bytes.size();
            return held;
        }
    }
    return THeldBytes(std::string(bytes));
}

std::string_view THeldBytes::Memory() const {
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&memory_))
        return {reinterpret_cast<const char*>(bytes->data()), bytes->size()};
    return std::get<std::string>(memory_);
}

void THeldBytes::ForEachPiece(const std::function<void(std::string_view)>& take) const {
    if (!spool_) {
        if (!Memory().empty()) take(Memory());
        return;
    }
    std::vector<char> piece(std::min(size_, kPieceBytes));
    for (std::size_t done = 0; done < size_;) {
        const std::size_t n = std::min(size_ - done, piece.size());
        if (!spool_->Read(offset_ + done, std::span<char>(piece.data(), n)))
            throw EPDFError("Cannot read back the temporary file that holds picture data");
        take(std::string_view(piece.data(), n));
        done += n;
    }
}

std::string THeldBytes::Bytes() const {
    if (!spool_) return std::string(Memory());
    std::string all;
    all.reserve(size_);
    ForEachPiece([&all](std::string_view piece) { all.append(piece); });
    return all;
}

} // namespace pagelith
