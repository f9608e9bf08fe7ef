// The file buffer of one save, with its object numbering and offsets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/operator_text.h"
#include "base/pdf_error.h"

namespace pagelith {

class TPdfFile {
public:
    std::string Buffer;
    std::vector<int64_t> Offsets; // by object number; entry 0 unused
    int32_t Next = 3;             // number of the next object written

    TOperatorText Out() { return TOperatorText(Buffer); }

    // Opens object Next: records its offset, writes "n 0 obj" and advances Next.
    int32_t BeginObject() {
        const int32_t n = Next;
        if (n <= 0 || static_cast<std::size_t>(n) >= Offsets.size()) throw EPDFError(kIndexingError);
        Offsets[n] = static_cast<int64_t>(Buffer.size());
        Out().Integer(n).Line(" 0 obj");
        ++Next;
        return n;
    }
    void EndObject() { Out().Line("endobj"); }
};

} // namespace pagelith
