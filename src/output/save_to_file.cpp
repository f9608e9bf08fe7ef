#include "output/save_to_file.h"

#include <string>

#include "base/byte_stream.h"
#include "document/pagelith.h"
#include "base/pdf_error.h"
#include "output/native_text.h"

#ifdef _WIN32
#include "platform/com.h"
#else
#include <cerrno>
#include <fcntl.h>
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

#ifdef _WIN32

// Created afresh, open for reading and writing, shared with nobody until closed.
class TOutputFile {
public:
    explicit TOutputFile(const std::string& name) : name_(name) {
        if (name.find('\0') != std::string::npos) throw EPDFError(CannotCreate(name, ERROR_INVALID_NAME));
        handle_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) throw EPDFError(CannotCreate(name, GetLastError()));
    }
    ~TOutputFile() { CloseHandle(handle_); }
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    void Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const DWORD want = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!WriteFile(handle_, bytes.data(), want, &written, nullptr) || written == 0)
                throw EPDFError(CannotWrite(name_, GetLastError()));
            bytes.remove_prefix(written);
        }
    }

private:
    std::string name_;
    HANDLE handle_;
};

#else

class TOutputFile {
public:
    explicit TOutputFile(const std::string& name) : name_(name) {
        if (name.find('\0') != std::string::npos) throw EPDFError(CannotCreate(name, EINVAL));
        do {
            fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) throw EPDFError(CannotCreate(name, static_cast<unsigned long>(errno)));
    }
    ~TOutputFile() { ::close(fd_); }
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    void Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                throw EPDFError(CannotWrite(name_, n < 0 ? static_cast<unsigned long>(errno) : ENOSPC));
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

private:
    std::string name_;
    int fd_ = -1;
};

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
    TOutputFile file(NativeFileName(name));
    TMemoryStream pdf;
    document.SaveToStream(pdf);
    file.Write(pdf.Data);
}

} // namespace pagelith
