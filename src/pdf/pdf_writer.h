// Turns a document into the bytes of one PDF 1.2 file.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace pagelith {

class TPagelith;

// Builds the whole file in memory; throws EPDFError when the numbering pass
// and the writing pass disagree.
std::string WritePdf(TPagelith& doc);
// The same bytes handed to sink in pieces as they are written, so that the file never sits in
// memory whole; whatever sink throws ends the writing.
void WritePdf(TPagelith& doc, const std::function<void(std::string_view)>& sink);

// "D:YYYYMMDDHHMMSSZ" for a moment in UTC.
std::string PdfDate(std::time_t t);

} // namespace pagelith
