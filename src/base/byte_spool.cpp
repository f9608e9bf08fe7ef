#include "base/byte_spool.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/falloc.h>
#endif
#endif

namespace pagelith {

namespace {

constexpr intptr_t kNoFile = -1;
// One system call moves at most this much; the rest goes in further calls.
constexpr std::size_t kMaxCall = std::size_t{1} << 30;

#ifdef _WIN32

using TFolder = std::wstring;

std::optional<TFolder> TemporaryFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return std::nullopt;
    return TFolder(folder, length);
}

intptr_t OpenSpool(const TFolder& folder) {
    wchar_t name[MAX_PATH + 1];
    if (GetTempFileNameW(folder.c_str(), L"plh", 0, name) == 0) return kNoFile;
    // Nobody else may open it, and it goes when the handle closes, however the process ends.
    const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        return kNoFile;
    }
    return reinterpret_cast<intptr_t>(file);
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

std::size_t WriteSome(intptr_t file, uint64_t offset, std::string_view bytes) {
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    const auto want = static_cast<DWORD>(std::min(bytes.size(), kMaxCall));
    if (!WriteFile(reinterpret_cast<HANDLE>(file), bytes.data(), want, &done, &at)) return 0;
    return done;
}

std::size_t ReadSome(intptr_t file, uint64_t offset, std::span<char> into) {
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    const auto want = static_cast<DWORD>(std::min(into.size(), kMaxCall));
    if (!ReadFile(reinterpret_cast<HANDLE>(file), into.data(), want, &done, &at)) return 0;
    return done;
}

void CloseSpool(intptr_t file) {
    CloseHandle(reinterpret_cast<HANDLE>(file));
}

void CutAt(intptr_t file, uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    SetFileInformationByHandle(reinterpret_cast<HANDLE>(file), FileEndOfFileInfo, &end, sizeof end);
}

// The file is not sparse: its free ranges keep their space until they are used again or cut off.
void FreeSpace(intptr_t, uint64_t, uint64_t) {}

#else

int CloseOnExec(int fd) {
    if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

using TFolder = std::string;

std::optional<TFolder> TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return TFolder(folder && *folder ? folder : "/tmp");
}

intptr_t OpenSpool(const TFolder& folder) {
#ifdef O_TMPFILE
    // Never has a name, so nothing is left behind whatever happens to the process.
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0) return unnamed;
#endif
    std::string name = folder + "/pagelith-XXXXXX";
    const int fd = CloseOnExec(::mkstemp(name.data()));
    if (fd < 0) return kNoFile;
    ::unlink(name.c_str());
    return fd;
}

std::size_t WriteSome(intptr_t file, uint64_t offset, std::string_view bytes) {
    ssize_t n;
    do {
        n = ::pwrite(static_cast<int>(file), bytes.data(), std::min(bytes.size(), kMaxCall),
                     static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t ReadSome(intptr_t file, uint64_t offset, std::span<char> into) {
    ssize_t n;
    do {
        n = ::pread(static_cast<int>(file), into.data(), std::min(into.size(), kMaxCall),
                    static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void CloseSpool(intptr_t file) {
    ::close(static_cast<int>(file));
}

void CutAt(intptr_t file, uint64_t size) {
    [[maybe_unused]] const int done = ::ftruncate(static_cast<int>(file), static_cast<off_t>(size));
}

// Gives a free range's blocks back to the file system (memory, when the folder is a tmpfs).
void FreeSpace([[maybe_unused]] intptr_t file, [[maybe_unused]] uint64_t offset,
               [[maybe_unused]] uint64_t size) {
#ifdef FALLOC_FL_PUNCH_HOLE
    ::fallocate(static_cast<int>(file), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                static_cast<off_t>(offset), static_cast<off_t>(size));
#endif
}

#endif

// The spools in use, by folder. Never destroyed: documents may go during exit.
struct TOpenSpools {
    std::mutex Lock;
    std::map<TFolder, std::weak_ptr<TByteSpool>> ByFolder;
};

TOpenSpools& OpenSpools() {
    static TOpenSpools* spools = new TOpenSpools;
    return *spools;
}

} // namespace

std::shared_ptr<TByteSpool> TByteSpool::Open() {
    const std::optional<TFolder> folder = TemporaryFolder();
    if (!folder) return nullptr;
    TOpenSpools& open = OpenSpools();
    const std::lock_guard guard(open.Lock);
    std::erase_if(open.ByFolder, [](const auto& entry) { return entry.second.expired(); });
    if (auto spool = open.ByFolder[*folder].lock()) return spool;
    const intptr_t file = OpenSpool(*folder);
    if (file == kNoFile) {
        open.ByFolder.erase(*folder);
        return nullptr;
    }
    std::shared_ptr<TByteSpool> spool(new TByteSpool(file));
    open.ByFolder[*folder] = spool;
    return spool;
}

TByteSpool::~TByteSpool() {
    CloseSpool(file_);
}

std::shared_ptr<const TSpooledRange> TByteSpool::Append(std::string_view bytes) {
    // The range is ours once reserved: the writes need no lock, and a failure gives it back.
    std::shared_ptr<const TSpooledRange> range(
        new TSpooledRange(shared_from_this(), Reserve(bytes.size()), bytes.size()));
    for (uint64_t at = range->offset_; !bytes.empty();) {
        const std::size_t n = WriteSome(file_, at, bytes);
        if (n == 0) return nullptr;
        at += n;
        bytes.remove_prefix(n);
    }
    return range;
}

uint64_t TByteSpool::FileBytes() const {
    const std::lock_guard guard(lock_);
    return end_;
}

// First fit among the free ranges, else at the end.
uint64_t TByteSpool::Reserve(uint64_t size) {
    const std::lock_guard guard(lock_);
    for (auto it = free_.begin(); size != 0 && it != free_.end(); ++it) {
        if (it->second < size) continue;
        const auto [offset, length] = *it;
        free_.erase(it);
        if (length > size) free_.emplace(offset + size, length - size);
        return offset;
    }
    const uint64_t offset = end_;
    end_ += size;
    return offset;
}

void TByteSpool::Release(uint64_t offset, uint64_t size) {
    if (size == 0) return;
    const std::lock_guard guard(lock_);
    const uint64_t released = offset, releasedSize = size;
    auto next = free_.lower_bound(offset);
    if (next != free_.end() && next->first == offset + size) {
        size += next->second;
        next = free_.erase(next);
    }
    if (next != free_.begin()) {
        const auto before = std::prev(next);
        if (before->first + before->second == offset) {
            offset = before->first;
            size += before->second;
            free_.erase(before);
        }
    }
    if (offset + size == end_) {
        end_ = offset;
        CutAt(file_, end_);
        return;
    }
    free_.emplace(offset, size);
    FreeSpace(file_, released, releasedSize);
}

bool TByteSpool::ReadAt(uint64_t offset, std::span<char> into) const {
    while (!into.empty()) {
        const std::size_t n = ReadSome(file_, offset, into);
        if (n == 0) return false;
        offset += n;
        into = into.subspan(n);
    }
    return true;
}

TSpooledRange::~TSpooledRange() {
    spool_->Release(offset_, size_);
}

bool TSpooledRange::Read(uint64_t offset, std::span<char> into) const {
    if (offset > size_ || into.size() > size_ - offset) return false;
    return spool_->ReadAt(offset_ + offset, into);
}

} // namespace pagelith
