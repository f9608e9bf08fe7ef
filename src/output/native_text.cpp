#include "output/native_text.h"

#ifdef _WIN32
#include "platform/com.h"
#else
#include <cstring>
#include <sys/stat.h>

#include "base/utf8_text.h"
#endif

namespace pagelith {

namespace {

[[maybe_unused]] std::string TrimMessage(std::string text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

} // namespace

#ifdef _WIN32

std::string NativeFileName(std::u16string_view name) {
    if (name.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(name.data());
    const int n = static_cast<int>(name.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide, n, out.data(), size, nullptr, nullptr);
    return out;
}

bool NativeFileExists(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

std::u16string NativeTextToWide(std::string_view text) {
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size > 0 ? size : 0), u'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), n, reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

std::string SystemErrorText(unsigned long code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? std::string(buffer, n) : "System error " + std::to_string(code);
    if (buffer) LocalFree(buffer);
    return TrimMessage(std::move(text));
}

#else

std::string NativeFileName(std::u16string_view name) {
    return WideToUtf8(name); // a lone surrogate becomes U+FFFD
}

bool NativeFileExists(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::u16string NativeTextToWide(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string SystemErrorText(unsigned long code) {
    char buffer[256];
    return TrimMessage(strerror_r(static_cast<int>(code), buffer, sizeof buffer)); // GNU form
}

#endif

} // namespace pagelith
