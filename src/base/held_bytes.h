// Bytes held in memory or in a byte spool. Copies share the spooled range.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/byte_spool.h"

namespace pagelith {

class THeldBytes {
public:
    THeldBytes() = default;
    explicit THeldBytes(std::string bytes) : memory_(std::move(bytes)) {}
    THeldBytes& operator=(std::string bytes) { return *this = THeldBytes(std::move(bytes)); }
    // Takes a buffer made elsewhere (a picture's own rows, say) without copying it.
    explicit THeldBytes(std::vector<uint8_t> bytes) : memory_(std::move(bytes)) {}

    std::size_t size() const { return spooled_ ? spooled_->size() : Memory().size(); }
    bool empty() const { return size() == 0; }
    bool Spooled() const { return spooled_ != nullptr; }

    // The bytes in the spool when there is one and they are worth a file write; in memory when
    // there is none or it does not take them.
    static THeldBytes Keep(std::string_view bytes, const std::shared_ptr<TByteSpool>& spool);
    // Bytes held in memory, whatever their size, go to the spool; they stay when it does not take them.
    void MoveTo(TByteSpool& spool);
    // The bytes in order: in memory one piece, from a spool pieces of kPieceBytes. Raises EPDFError
    // when the spool cannot give them back.
    void ForEachPiece(const std::function<void(std::string_view)>& take) const;
    // A copy of all of them.
    std::string Bytes() const;

    static constexpr std::size_t kPieceBytes = 64 * 1024;
    // Below this the heap keeps them: a file write per small picture would cost more than it saves.
    static constexpr std::size_t kSpoolBytes = 64 * 1024;

private:
    std::string_view Memory() const;

    std::variant<std::string, std::vector<uint8_t>> memory_;
    std::shared_ptr<const TSpooledRange> spooled_;
};

} // namespace pagelith
