// The document's number and colour formats, shared by every operator writer.
#pragma once

#include <cstdint>
#include <string>

namespace pagelith {

// Longest text FormatNumber can produce, with room to spare.
inline constexpr std::size_t kMaxNumberText = 32;

// Writes v the way every coordinate in the file is written: magnitudes below
// 0.0001 as "0", otherwise at most 15 significant digits with "." and no
// exponent. Returns the end of the text; never writes a terminator.
char* FormatNumber(double v, char* out);
std::string NumberText(double v);

// Writes an integer in plain decimal.
char* FormatInteger(int64_t v, char* out);

// Appends "r g b rg" (fill) or "r g b RG" (stroke) without a line end. Only
// the low 24 bits of the value count, so every component stays within 0..1.
void AppendColor(std::string& out, uint32_t color, bool fill);

} // namespace pagelith
