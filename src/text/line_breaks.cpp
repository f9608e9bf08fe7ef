#include "text/line_breaks.h"

#include <cstddef>

#include "base/utf8_text.h"
#include "text/line_break_classes.h"

namespace pagelith {
namespace {

using enum TLineBreakClass;
using TClass = TLineBreakClass;

template <typename... T> bool In(TClass c, T... set) {
    return ((c == set) || ...);
}

bool IsOpen(TClass c) {
    return In(c, OP, OPW);
}

// What the rules look back at. A combining sequence counts as its base (LB9); before the first
// character every class is SP, which no look-back rule asks for.
struct TContext {
    TClass Prev = SP;
    TClass BeforePrev = SP;
    TClass BeforeSpaces = SP; // the class before the spaces ending at Prev: LB8, LB14-LB17
    bool AfterZwj = false;
    int RegionalIndicators = 0; // ending at Prev: LB30a pairs them
    bool InNumber = false;      // Prev ends NU (NU | SY | IS)*
    bool ClosedNumber = false;  // ... followed by CL or CP

    void Push(TClass c) {
        if (c == SP && Prev != SP) BeforeSpaces = Prev;
        ClosedNumber = InNumber && In(c, CL, CP, CPW);
        InNumber = c == NU || (InNumber && In(c, NU, SY, IS));
        RegionalIndicators = c == RI ? RegionalIndicators + 1 : 0;
        BeforePrev = Prev;
        Prev = c;
    }
};

// The break between the text so far and a character of class c, which is not CM or ZWJ. LB25 is the
// regular expression form, which keeps numbers whole and which the conformance test follows. Its
// PR or PO before an opening bracket holds only when a digit follows the bracket: the caller takes
// that break back once it sees the digit.
TBreak Between(const TContext& x, TClass c) {
    constexpr TBreak no = TBreak::None;
    constexpr TBreak may = TBreak::Allowed;
    const TClass p = x.Prev;
    const TClass q = p == SP ? x.BeforeSpaces : p; // for the rules that see through spaces

    // LB4-LB8a: hard breaks, spaces, zero width space and joiner.
    if (p == BK) return TBreak::Mandatory;
    if (p == CR && c == LF) return no;
    if (In(p, CR, LF, NL)) return TBreak::Mandatory;
    if (In(c, BK, CR, LF, NL, SP, ZW)) return no;
    if (q == ZW) return may;
    if (x.AfterZwj) return no;

    // LB11-LB17: glue, punctuation and what follows an opening even after spaces.
    if (p == WJ || c == WJ) return no;
    if (p == GL || (c == GL && !In(p, SP, BA, HY))) return no;
    if (In(c, CL, CP, CPW, EX, IS, SY)) return no;
    if (IsOpen(q)) return no;
    if (q == QU && IsOpen(c)) return no;
    if (In(q, CL, CP, CPW) && c == NS) return no;
    if (q == B2 && c == B2) return no;

    // LB18-LB22: after spaces, quotes, contingent breaks, hyphens, leaders.
    if (p == SP) return may;
    if (p == QU || c == QU) return no;
    if (p == CB || c == CB) return may;
    if (In(c, BA, HY, NS) || p == BB) return no;
    if (In(p, HY, BA) && x.BeforePrev == HL) return no;
    if (p == SY && c == HL) return no;
    if (c == IN) return no;

    // LB23-LB25: letters, numbers and what comes before and after them.
    if ((In(p, AL, HL) && c == NU) || (p == NU && In(c, AL, HL))) return no;
    if ((p == PR && In(c, ID, EP, EB, EM)) || (In(p, ID, EP, EB, EM) && c == PO)) return no;
    if ((In(p, PR, PO) && In(c, AL, HL)) || (In(p, AL, HL) && In(c, PR, PO))) return no;
    if (In(p, PR, PO, OP, OPW, HY) && c == NU) return no;
    if (x.InNumber && In(c, NU, SY, IS, CL, CP, CPW)) return no;
    if ((x.InNumber || x.ClosedNumber) && In(c, PR, PO)) return no;

    // LB26-LB31: Hangul, letters, brackets, flags, emoji. Unicode 15.0 has no LB28a.
    if ((p == JL && In(c, JL, JV, H2, H3)) || (In(p, JV, H2) && In(c, JV, JT)) || (In(p, JT, H3) && c == JT))
        return no;
    if ((In(p, JL, JV, JT, H2, H3) && c == PO) || (p == PR && In(c, JL, JV, JT, H2, H3))) return no;
    if (In(p, AL, HL) && In(c, AL, HL)) return no;
    if (p == IS && In(c, AL, HL)) return no;
    if ((In(p, AL, HL, NU) && c == OP) || (p == CP && In(c, AL, HL, NU))) return no;
    if (p == RI && c == RI && x.RegionalIndicators % 2 == 1) return no;
    if (In(p, EB, EP) && c == EM) return no;
    return may;
}

} // namespace

void LineBreaks(std::string_view utf8, std::vector<TBreak>& breaks) {
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    breaks.assign(utf8.size(), TBreak::InsideCharacter);
    TContext x;
    std::size_t last = kNone;       // the last byte of the character before
    std::size_t prefixOpen = kNone; // the break between PR or PO and the OP at Prev
    for (std::size_t i = 0; i < utf8.size(); last = i - 1) {
        const TClass raw = LineBreakClass(NextCodePoint(utf8, i));
        const bool mark = In(raw, CM, ZWJ);
        if (mark && !In(x.Prev, BK, CR, LF, NL, SP, ZW) && last != kNone) {
            breaks[last] = TBreak::None; // LB9: the mark joins its base, and nothing earlier breaks here
            x.AfterZwj = raw == ZWJ;
            continue;
        }
        const TClass c = mark ? AL : raw;
        if (last != kNone) {
            breaks[last] = Between(x, c);
            if (c == NU && prefixOpen != kNone) breaks[prefixOpen] = TBreak::None;
        }
        prefixOpen = last != kNone && IsOpen(c) && In(x.Prev, PR, PO) ? last : kNone;
        x.AfterZwj = raw == ZWJ;
        x.Push(c);
    }
    if (last != kNone) breaks[last] = TBreak::Mandatory;
}

} // namespace pagelith
