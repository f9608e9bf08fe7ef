// 8-bit text as the operating system's file layer takes and gives it: UTF-8 on Linux, the ANSI
// code page on Windows.
#pragma once

#include <string>
#include <string_view>

namespace pagelith {

// A file name for the file layer; characters it cannot hold become '?' (Windows) or U+FFFD (Linux).
std::string NativeFileName(std::u16string_view name);

// Whether a regular file (no folder, FIFO or device) of that name exists; a name with a NUL names
// nothing. Asks without opening the file.
bool NativeFileExists(const std::string& name);

// Platform text (error messages, which may quote file names) back to UTF-16.
std::u16string NativeTextToWide(std::string_view text);

// The operating system's text for an error number (errno on Linux, GetLastError on Windows), without
// trailing blanks and full stops.
std::string SystemErrorText(unsigned long code);

} // namespace pagelith
