#include "base/file_bytes.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace pagelith {

namespace {

bool Nameable(const std::string& name) {
    return !name.empty() && name.find('\0') == std::string::npos;
}

#ifdef _WIN32

using TStat = struct _stat64;
constexpr int kReadFlags = _O_RDONLY | _O_BINARY | _O_NOINHERIT;
bool IsRegular(const TStat& info) {
    return (info.st_mode & _S_IFMT) == _S_IFREG;
}
int StatName(const std::string& name, TStat& info) {
    return _stat64(name.c_str(), &info);
}
int64_t ModifiedNs(const TStat& info) {
    return static_cast<int64_t>(info.st_mtime) * 1'000'000'000;
}
int StatOpen(int fd, TStat& info) {
    return _fstat64(fd, &info);
}
int OpenRead(const std::string& name) {
    return _open(name.c_str(), kReadFlags);
}
long long ReadSome(int fd, uint8_t* to, uint64_t count) {
    const unsigned want = count > 0x40000000u ? 0x40000000u : static_cast<unsigned>(count);
    return _read(fd, to, want);
}
void CloseFile(int fd) {
    _close(fd);
}

#else

using TStat = struct stat;
bool IsRegular(const TStat& info) {
    return S_ISREG(info.st_mode);
}
int StatName(const std::string& name, TStat& info) {
    return ::stat(name.c_str(), &info);
}
int64_t ModifiedNs(const TStat& info) {
    return static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}
int StatOpen(int fd, TStat& info) {
    return ::fstat(fd, &info);
}
// Non-blocking, so that opening a FIFO without a writer returns at once; fstat then turns it away.
int OpenRead(const std::string& name) {
    int fd;
    do {
        fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
long long ReadSome(int fd, uint8_t* to, uint64_t count) {
    const std::size_t want = count > 0x40000000u ? 0x40000000u : static_cast<std::size_t>(count);
    ssize_t n;
    do {
        n = ::read(fd, to, want);
    } while (n < 0 && errno == EINTR);
    return n;
}
void CloseFile(int fd) {
    ::close(fd);
}

#endif

TFileStamp StampOf(const TStat& info) {
    return {static_cast<uint64_t>(info.st_size), ModifiedNs(info), static_cast<uint64_t>(info.st_dev),
            static_cast<uint64_t>(info.st_ino)};
}

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) CloseFile(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

} // namespace

bool IsRegularFile(const std::string& name) {
    TStat info{};
    return Nameable(name) && StatName(name, info) == 0 && IsRegular(info);
}

std::optional<TFileStamp> RegularFileStamp(const std::string& name) {
    TStat info{};
    if (!Nameable(name) || StatName(name, info) != 0 || !IsRegular(info)) return std::nullopt;
    return StampOf(info);
}

TFileBytes ReadRegularFile(const std::string& name, uint64_t maxBytes, std::vector<uint8_t> buffer) {
    TFileBytes result;
    result.Bytes = std::move(buffer);
    result.Bytes.clear();
    if (!Nameable(name)) return result;
    TStat info{};
    // Asking first spares devices the open; the check after opening is the one that counts.
    if (StatName(name, info) != 0) {
        result.Error = errno;
        return result;
    }
    if (!IsRegular(info)) {
        result.Status = TFileReadStatus::NotRegular;
        return result;
    }
    const TFd fd(OpenRead(name));
    if (fd.Get() < 0) {
        result.Error = errno;
        result.Status = result.Error == ENOENT ? TFileReadStatus::NotFound : TFileReadStatus::Failed;
        return result;
    }
    if (StatOpen(fd.Get(), info) != 0) {
        result.Error = errno;
        result.Status = TFileReadStatus::Failed;
        return result;
    }
    if (!IsRegular(info)) {
        result.Status = TFileReadStatus::NotRegular;
        return result;
    }
    if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maxBytes) {
        result.Status = TFileReadStatus::TooLarge;
        return result;
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    result.Bytes.resize(static_cast<std::size_t>(size));
    uint64_t done = 0;
    while (done < size) {
        const long long n = ReadSome(fd.Get(), result.Bytes.data() + done, size - done);
        if (n < 0) {
            result.Error = errno;
            result.Status = TFileReadStatus::Failed;
            result.Bytes.clear();
            return result;
        }
        if (n == 0) break; // the file shrank since it was measured: what is there is the file
        done += static_cast<uint64_t>(n);
    }
    result.Bytes.resize(static_cast<std::size_t>(done));
    result.Stamp = StampOf(info);
    result.Status = TFileReadStatus::Ok;
    return result;
}

} // namespace pagelith
