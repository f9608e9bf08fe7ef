// Text strings outside content streams (the document information), which readers decode as
// PDFDocEncoding or, after a byte order mark, as UTF-16BE.
#pragma once

#include <string>
#include <string_view>

namespace pagelith {

// Appends "(" + text + ")": single PDFDocEncoding bytes when every character has one, else UTF-16BE
// with its byte order mark. "(", ")" and "\" get a backslash, CR and LF bytes are written \r and \n.
void AppendTextString(std::string& out, std::u16string_view text);

} // namespace pagelith
