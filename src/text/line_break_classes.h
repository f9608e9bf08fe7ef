// The line break class of each code point, from a table generated from the Unicode Character Database
// (cmake/scripts/gen-line-break-classes.py).
#pragma once

#include <cstdint>

namespace pagelith {

// The classes of UAX #14 as its default rules read them: AI, SG and XX are AL, CJ is NS, SA is CM
// for marks and AL otherwise. Three classes are split where a rule looks at more than the class:
// OPW and CPW are East Asian wide OP and CP, which LB30 keeps apart from letters, and EP holds the
// reserved Extended_Pictographic code points, ID otherwise, which LB30b joins to an emoji modifier.
enum class TLineBreakClass : uint8_t {
    BK,
    CR,
    LF,
    NL,
    SP,
    ZW,
    ZWJ,
    CM,
    WJ,
    GL,
    BA,
    HY,
    BB,
    B2,
    CB,
    CL,
    CP,
    CPW,
    OP,
    OPW,
    EX,
    IS,
    SY,
    QU,
    NS,
    IN,
    NU,
    PR,
    PO,
    AL,
    HL,
    ID,
    EP,
    EB,
    EM,
    JL,
    JV,
    JT,
    H2,
    H3,
    RI,
};

// AL past U+10FFFF.
TLineBreakClass LineBreakClass(char32_t c);

} // namespace pagelith
