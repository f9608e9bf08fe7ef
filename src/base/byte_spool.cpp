#include "base/byte_spool.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace pagelith {

namespace {

constexpr intptr_t kNoFile = -1;
// One system call moves at most this much; the rest goes in further calls.
constexpr std::size_t kMaxCall = std::size_t{1} << 30;

#ifdef _WIN32

intptr_t OpenSpool() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return kNoFile;
    wchar_t name[MAX_PATH + 1];
    if (GetTempFileNameW(folder, L"plh", 0, name) == 0) return kNoFile;
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

#else

int CloseOnExec(int fd) {
    if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

intptr_t OpenSpool() {
    const char* folder = std::getenv("TMPDIR");
    if (!folder || !*folder) folder = "/tmp";
#ifdef O_TMPFILE
    // Never has a name, so nothing is left behind whatever happens to the process.
    const int unnamed = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0) return unnamed;
#endif
    std::string name = std::string(folder) + "/pagelith-XXXXXX";
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

#endif

} // namespace

std::shared_ptr<TByteSpool> TByteSpool::Create() {
    const intptr_t file = OpenSpool();
    if (file == kNoFile) return nullptr;
    return std::shared_ptr<TByteSpool>(new TByteSpool(file));
}

TByteSpool::~TByteSpool() {
    CloseSpool(file_);
}

std::optional<uint64_t> TByteSpool::Append(std::string_view bytes) {
    const uint64_t start = end_;
    uint64_t at = start;
    while (!bytes.empty()) {
        const std::size_t n = WriteSome(file_, at, bytes);
        // What a failed call left behind lies past end_ and is written over by the next append.
        if (n == 0) return std::nullopt;
        at += n;
        bytes.remove_prefix(n);
    }
    end_ = at;
    return start;
}

bool TByteSpool::Read(uint64_t offset, std::span<char> into) const {
    if (offset > end_ || into.size() > end_ - offset) return false;
    while (!into.empty()) {
        const std::size_t n = ReadSome(file_, offset, into);
        if (n == 0) return false;
        offset += n;
        into = into.subspan(n);
    }
    return true;
}

} // namespace pagelith
