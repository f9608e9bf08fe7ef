// Turns a document into the bytes of one PDF 1.2 file.
#pragma once

#include <ctime>
#include <string>

namespace pagelith {

class TPagelith;

// Builds the whole file in memory; throws EPDFError when the numbering pass
// and the writing pass disagree.
std::string WritePdf(TPagelith& doc);

// "D:YYYYMMDDHHMMSSZ" for a moment in UTC.
std::string PdfDate(std::time_t t);

} // namespace pagelith
