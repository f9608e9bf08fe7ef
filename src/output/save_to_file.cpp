#include "output/save_to_file.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "base/pdf_error.h"
#include "document/pagelith.h"
#include "output/native_text.h"
#include "pdf/pdf_writer.h"

#ifdef _WIN32
#include "platform/com.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pagelith {

namespace {

std::string CannotCreate(const std::string& name, unsigned long code) {
    return "Cannot create file \"" + name + "\". " + SystemErrorText(code);
}

std::string CannotWrite(const std::string& name, unsigned long code) {
    return "Cannot write file \"" + name + "\". " + SystemErrorText(code);
}

// The target's folder, with its separator ("" for the current folder), and whether a base name follows.
std::size_t FolderLength(const std::string& name) {
#ifdef _WIN32
    const std::size_t cut = name.find_last_of("\\/:");
#else
    const std::size_t cut = name.find_last_of('/');
#endif
    return cut == std::string::npos ? 0 : cut + 1;
}

unsigned long ProcessId();

// What one file name may hold: 255 bytes on Linux, 255 UTF-16 units on Windows, where an ANSI name
// has at least as many bytes as units.
constexpr std::size_t kNameLimit = 255;

// A name for the temporary file next to the target; unique per call within the process, and the
// exclusive create below settles races with anything else. It carries the target's name only when
// that leaves it within the limit, so every name the target may have can be saved to.
std::string TemporaryName(const std::string& name, unsigned attempt) {
    static std::atomic<unsigned long> counter{0};
    const unsigned long n = counter.fetch_add(1, std::memory_order_relaxed);
    const std::size_t folder = FolderLength(name);
    char suffix[48];
    const int length = std::snprintf(suffix, sizeof suffix, ".%lx.%lx.%x.tmp",
                                     static_cast<unsigned long>(ProcessId()), n, attempt);
    std::string base = name.substr(folder);
    if (1 + base.size() + static_cast<std::size_t>(length) > kNameLimit) base.clear();
    return name.substr(0, folder) + "~" + base + suffix;
}

// What a symbolic link holds, as the file layer names it; nothing when name is not a link.
std::optional<std::string> ReadLink(const std::string& name);

bool IsAbsolute(const std::string& name) {
#ifdef _WIN32
    return name.starts_with('\\') || name.starts_with('/') || (name.size() > 1 && name[1] == ':');
#else
    return name.starts_with('/');
#endif
}

// A symbolic link is saved through: the file at the end of its chain is replaced, or made when the
// link dangles, and every link stays. A relative link counts from its own folder.
std::string ResolvedTarget(const std::string& name) {
    constexpr int kMaxLinks = 40; // as the kernel follows
#ifdef _WIN32
    constexpr unsigned long kLoop = ERROR_CANT_RESOLVE_FILENAME;
#else
    constexpr unsigned long kLoop = ELOOP;
#endif
    std::string path = name;
    for (int links = 0; links <= kMaxLinks; ++links) {
        std::optional<std::string> to = ReadLink(path);
        if (!to) return path;
        path = IsAbsolute(*to) ? std::move(*to) : path.substr(0, FolderLength(path)) + *to;
    }
    throw EPDFError(CannotCreate(name, kLoop));
}

#ifdef _WIN32

unsigned long ProcessId() {
    return GetCurrentProcessId();
}

std::optional<std::string> ReadLink(const std::string& name) {
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::nullopt;
    const HANDLE handle =
        CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<uint8_t> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD size = 0;
    const BOOL ok = DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                                    static_cast<DWORD>(data.size()), &size, nullptr);
    CloseHandle(handle);
    if (!ok) return std::nullopt;
    // A symbolic link's reparse data: tag, length, reserved, then offset and length of the substitute
    // and of the print name, the flags, and the names in UTF-16.
    TByteReader reader(std::span<const uint8_t>(data.data(), size), TByteReader::TOrder::LittleEndian);
    if (reader.U32() != IO_REPARSE_TAG_SYMLINK) return std::nullopt; // junctions and others: files
    reader.Skip(4);
    const uint16_t substituteOffset = reader.U16(), substituteLength = reader.U16();
    const uint16_t printOffset = reader.U16(), printLength = reader.U16();
    reader.Skip(4);
    const std::size_t names = reader.Position();
    auto text = [&](uint16_t offset, uint16_t length) {
        std::u16string out;
        reader.Seek(names + offset);
        for (uint16_t i = 0; i + 1 < length; i += 2) out += static_cast<char16_t>(reader.U16());
        return out;
    };
    std::u16string target = text(printOffset, printLength);
    if (target.empty()) {
        target = text(substituteOffset, substituteLength);
        if (target.starts_with(u"\\??\\")) target.erase(0, 4);
    }
    if (!reader.Ok() || target.empty()) return std::nullopt;
    return NativeFileName(target);
}

// The temporary file: created new, removed again unless committed.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& target) : target_(target) {
        for (unsigned attempt = 0;; ++attempt) {
            name_ = TemporaryName(target, attempt);
            handle_ = CreateFileA(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) return;
            const DWORD error = GetLastError();
            if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 16)
                throw EPDFError(CannotCreate(target, error));
        }
    }
    ~TTemporaryFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        if (!committed_) DeleteFileA(name_.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    void Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const DWORD want = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!WriteFile(handle_, bytes.data(), want, &written, nullptr) || written == 0)
                throw EPDFError(CannotWrite(target_, GetLastError()));
            bytes.remove_prefix(written);
        }
    }

    // Puts the written file in the target's place in one step.
    void Commit() {
        if (!FlushFileBuffers(handle_)) throw EPDFError(CannotWrite(target_, GetLastError()));
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        if (!MoveFileExA(name_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw EPDFError(CannotCreate(target_, GetLastError()));
        committed_ = true;
    }

private:
    std::string target_;
    std::string name_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool committed_ = false;
};

// What may be replaced: nothing, or a regular file that may be written.
void CheckTarget(const std::string& name) {
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw EPDFError(CannotCreate(name, ERROR_ACCESS_DENIED));
    if (attributes & (FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY))
        throw EPDFError(CannotCreate(name, ERROR_ACCESS_DENIED));
}

#else

unsigned long ProcessId() {
    return static_cast<unsigned long>(::getpid());
}

class TTemporaryFile {
public:
    // Created next to path; errors name shown, the name the caller gave.
    TTemporaryFile(const std::string& path, const std::string& shown, mode_t mode)
        : path_(path), target_(shown) {
        for (unsigned attempt = 0;; ++attempt) {
            name_ = TemporaryName(path, attempt);
            do {
                fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            } while (fd_ < 0 && errno == EINTR);
            if (fd_ >= 0) break;
            if (errno != EEXIST || attempt >= 16)
                throw EPDFError(CannotCreate(shown, static_cast<unsigned long>(errno)));
        }
        // A replaced file keeps its permissions; a new one gets what the umask leaves of 0666.
        if (mode != 0) ::fchmod(fd_, mode);
    }
    ~TTemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_) ::unlink(name_.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    void Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) Fail(n < 0 ? errno : ENOSPC);
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // Puts the written file in the target's place in one step. The data reaches the disk first, so a
    // crash leaves the old file or the new one, never an empty one.
    void Commit() {
        if (::fsync(fd_) != 0 && errno != EINVAL) Fail(errno);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) Fail(errno);
        if (::rename(name_.c_str(), path_.c_str()) != 0)
            throw EPDFError(CannotCreate(target_, static_cast<unsigned long>(errno)));
        committed_ = true;
    }

private:
    [[noreturn]] void Fail(int error) {
        throw EPDFError(CannotWrite(target_, static_cast<unsigned long>(error)));
    }

    std::string path_;
    std::string target_;
    std::string name_;
    int fd_ = -1;
    bool committed_ = false;
};

// What may be replaced: nothing, or a regular file that may be written. Returns the permissions the
// new file keeps (0 when there is no file yet).
mode_t CheckTarget(const std::string& path, const std::string& shown) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    if (S_ISDIR(info.st_mode)) throw EPDFError(CannotCreate(shown, EISDIR));
    if (!S_ISREG(info.st_mode)) throw EPDFError(CannotCreate(shown, EINVAL));
    if (::access(path.c_str(), W_OK) != 0)
        throw EPDFError(CannotCreate(shown, static_cast<unsigned long>(errno)));
    return info.st_mode & 07777;
}

std::optional<std::string> ReadLink(const std::string& name) {
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return std::nullopt;
    std::string to(PATH_MAX, '\0');
    const ssize_t n = ::readlink(name.c_str(), to.data(), to.size());
    if (n <= 0 || static_cast<std::size_t>(n) == to.size()) return std::nullopt;
    to.resize(static_cast<std::size_t>(n));
    return to;
}

#endif

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

} // namespace

std::u16string WithPdfExtension(std::u16string_view fileName) {
    std::u16string name(fileName);
    const std::size_t dot = name.find_last_of(u'.');
    std::u16string_view extension;
    if (dot != std::u16string::npos && name.find_first_of(u"\\:", dot) == std::u16string::npos)
        extension = std::u16string_view(name).substr(dot);
    static constexpr std::u16string_view kPdf = u".pdf";
    bool isPdf = extension.size() == kPdf.size();
    for (std::size_t i = 0; isPdf && i < kPdf.size(); ++i) isPdf = AsciiLower(extension[i]) == kPdf[i];
    if (!isPdf) name += kPdf;
    return name;
}

void SaveToFile(TPagelith& document, std::u16string_view fileName) {
    const std::u16string name = WithPdfExtension(fileName);
    if (document.Pages.Count() == 0) return;
    const std::string target = NativeFileName(name);
#ifdef _WIN32
    constexpr unsigned long kInvalidName = ERROR_INVALID_NAME;
#else
    constexpr unsigned long kInvalidName = EINVAL;
#endif
    if (target.find('\0') != std::string::npos) throw EPDFError(CannotCreate(target, kInvalidName));
    // "" and "folder/" would name a hidden ".pdf": a file needs a name of its own.
    const std::string given = NativeFileName(fileName);
    if (FolderLength(given) == given.size()) throw EPDFError(CannotCreate(target, kInvalidName));

    // The writer hands the file over in pieces as it goes, into a temporary file that replaces the
    // old one only once it is written whole: a failure anywhere leaves the old file as it was, and
    // the whole file never sits in memory.
    const std::string resolved = ResolvedTarget(target);
#ifdef _WIN32
    CheckTarget(resolved);
    TTemporaryFile file(resolved);
#else
    const mode_t mode = CheckTarget(resolved, target);
    TTemporaryFile file(resolved, target, mode);
#endif
    WritePdf(document, [&file](std::string_view piece) { file.Write(piece); });
    file.Commit();
}

} // namespace pagelith
