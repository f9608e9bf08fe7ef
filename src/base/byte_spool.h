// An unnamed temporary file that picture data waits in for the save instead of the heap: a document
// of a few hundred scans would otherwise hold all of them in process memory. One file per temporary
// folder serves every document of the process, so a document costs no descriptor of its own; ranges
// let go of are used again and a free end is cut off, so a long-running process keeps a file no
// larger than the data it still holds (plus gaps between ranges).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <utility>

namespace pagelith {

class TByteSpool;

// Bytes appended to a spool; the spool takes the range back when the last holder lets go.
class TSpooledRange {
public:
    ~TSpooledRange();
    TSpooledRange(const TSpooledRange&) = delete;
    TSpooledRange& operator=(const TSpooledRange&) = delete;

    std::size_t size() const { return size_; }
    // Fills `into` from `offset` within the range; false when the file cannot give that many back.
    bool Read(uint64_t offset, std::span<char> into) const;

private:
    friend class TByteSpool;
    TSpooledRange(std::shared_ptr<TByteSpool> spool, uint64_t offset, std::size_t size)
        : spool_(std::move(spool)), offset_(offset), size_(size) {}

    std::shared_ptr<TByteSpool> spool_;
    uint64_t offset_;
    std::size_t size_;
};

class TByteSpool : public std::enable_shared_from_this<TByteSpool> {
public:
    // The process's spool in the system's temporary folder, opened if none is in use; nullptr when
    // no file can be made there.
    static std::shared_ptr<TByteSpool> Open();
    ~TByteSpool();
    TByteSpool(const TByteSpool&) = delete;
    TByteSpool& operator=(const TByteSpool&) = delete;

    // The bytes in the file; nullptr when it would not take all of them (a full disk).
    std::shared_ptr<const TSpooledRange> Append(std::string_view bytes);
    // The file's length: the end of the last range in use.
    uint64_t FileBytes() const;

private:
    friend class TSpooledRange;
    explicit TByteSpool(intptr_t file) : file_(file) {}

    uint64_t Reserve(uint64_t size);
    void Release(uint64_t offset, uint64_t size);
    bool ReadAt(uint64_t offset, std::span<char> into) const;

    const intptr_t file_; // a descriptor, or a handle on Windows
    mutable std::mutex lock_;
    uint64_t end_ = 0;
    std::map<uint64_t, uint64_t> free_; // offset to length, below end_, no two adjacent
};

} // namespace pagelith
