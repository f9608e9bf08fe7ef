// Conversion of the automation layer's UTF-16 text to the 8-bit code page
// of the document's strings (the system ANSI code page; Windows-1252, which
// matches the fonts' /WinAnsiEncoding, where the system has none).
#pragma once

#include <string>
#include <string_view>

namespace pagelith {

// Characters the code page lacks become "?"; a surrogate pair is one character.
std::string WideToAnsi(std::u16string_view text);

} // namespace pagelith
