// The one way the library compresses: whole buffers into zlib format (/FlateDecode), in one call.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace pagelith {

// Chosen by measurement: within 1 % of the size of level 9 at a fraction of its time.
inline constexpr int kDeflateLevel = 6;

// A zlib stream in a buffer sized for the worst case, of which only Size bytes were written (and,
// for large data, only those pages touched).
struct TDeflated {
    std::unique_ptr<char[]> Bytes;
    std::size_t Size = 0;
    std::string_view View() const { return {Bytes.get(), Size}; }
};

// For a caller that frees data before it keeps the result: the result then need not be placed
// beside data, where it would outlive it and pin its memory.
TDeflated Deflate(std::string_view data, int level = kDeflateLevel);

// Appends the zlib stream of data to out.
void AppendDeflated(std::string& out, std::string_view data, int level = kDeflateLevel);

inline std::string DeflateZlib(std::string_view data, int level = kDeflateLevel) {
    std::string out;
    AppendDeflated(out, data, level);
    return out;
}

} // namespace pagelith
