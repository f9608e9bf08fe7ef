// Appends PDF operator text to a byte buffer: numbers in the document's
// format, integers, colour lines, and lines ended by a lone carriage return.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/number_format.h"

namespace pagelith {

class TOperatorText {
public:
    explicit TOperatorText(std::string& out) : out_(out) {}

    TOperatorText& Text(std::string_view s) {
        out_.append(s);
        return *this;
    }
    TOperatorText& Number(double v) {
        char buf[kMaxNumberText];
        out_.append(buf, FormatNumber(v, buf));
        return *this;
    }
    // A number followed by one blank, the separator of operands.
    TOperatorText& Operand(double v) {
        Number(v);
        out_.push_back(' ');
        return *this;
    }
    TOperatorText& Integer(int64_t v) {
        char buf[kMaxNumberText];
        out_.append(buf, FormatInteger(v, buf));
        return *this;
    }
    TOperatorText& Color(uint32_t color, bool fill) {
        AppendColor(out_, color, fill);
        return *this;
    }
    TOperatorText& EndLine() {
        out_.push_back('\r');
        return *this;
    }
    TOperatorText& Line(std::string_view s) { return Text(s).EndLine(); }

private:
    std::string& out_;
};

} // namespace pagelith
