// An unnamed temporary file that bytes are appended to and read back from by position. Picture
// data waits there for the save instead of in the heap: a document of a few hundred scans would
// otherwise hold all of them in process memory, page by freshly faulted page.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace pagelith {

class TByteSpool {
public:
    // A spool in the system's temporary folder; nullptr when no file can be made there.
    static std::shared_ptr<TByteSpool> Create();
    ~TByteSpool();
    TByteSpool(const TByteSpool&) = delete;
    TByteSpool& operator=(const TByteSpool&) = delete;

    // Where the bytes now start; nothing when the file would not take all of them (a full disk).
    std::optional<uint64_t> Append(std::string_view bytes);
    // Fills `into` from `offset`; false when the file cannot give that many bytes back.
    bool Read(uint64_t offset, std::span<char> into) const;

private:
    explicit TByteSpool(intptr_t file) : file_(file) {}

    intptr_t file_;    // a descriptor, or a handle on Windows
    uint64_t end_ = 0; // bytes appended so far
};

} // namespace pagelith
