// How much LZW data can expand, for readers that refuse what their data could never fill.
#pragma once

#include <cstdint>

namespace pagelith {

// The most symbols count LZW codes can stand for: the k-th code after a clear stands for at most
// k symbols, since every new string is one symbol longer than one already seen, and none is
// longer than longest.
constexpr uint64_t MaxLZWOutput(uint64_t codes, uint64_t longest) {
    if (codes <= longest) return codes * (codes + 1) / 2;
    return longest * (longest + 1) / 2 + (codes - longest) * longest;
}

} // namespace pagelith
