// The file channel: the complete PDF file written to disk.
#pragma once

#include <string>
#include <string_view>

namespace pagelith {

class TPagelith;

// The name with ".pdf" appended unless its extension (after the last full stop that no backslash or
// colon follows) already is ".pdf" in any letter case.
std::u16string WithPdfExtension(std::u16string_view fileName);

// Writes the document to the file; a document without pages creates no file. Raises EPDFError
// "Cannot create file \"name\". reason" when the file cannot be created.
void SaveToFile(TPagelith& document, std::u16string_view fileName);

} // namespace pagelith
