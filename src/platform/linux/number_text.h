// Internal: number and date text in the US English form that automation coercions use.
#pragma once

#include "platform/com.h"

#include <optional>
#include <string>
#include <string_view>

namespace pagelith::platform {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// A parsed number: exact integer when the text has neither fraction nor exponent, else a double.
struct ParsedNumber {
    bool isInteger = false;
    Int128 integer = 0;
    double real = 0;
};

enum class ParseStatus { Ok, Invalid, Overflow };

// Blanks around, sign, thousands commas, "." fraction, e/E/d/D exponent, "&H" and "&O" integers.
ParseStatus ParseNumberText(std::u16string_view text, ParsedNumber& out);

// "True"/"False" in any case, blanks around; nullopt for other text.
std::optional<bool> ParseBoolText(std::u16string_view text);

// "M/D/YYYY", "YYYY-MM-DD", each optionally followed by a time, or a time alone ("h:mm[:ss] [AM|PM]").
std::optional<DATE> ParseDateText(std::u16string_view text);

std::string FormatInteger(Int128 value);
std::string FormatReal(double value, int significantDigits); // like "%.15G"
std::string FormatCurrency(LONGLONG scaled);                 // value / 10000, trailing zeros dropped
std::string FormatDate(DATE value);                          // "M/D/YYYY h:mm:ss AM", parts as present

} // namespace pagelith::platform
