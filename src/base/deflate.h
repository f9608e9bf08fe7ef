// How the library compresses into zlib format (/FlateDecode): whole buffers in one call, and data too
// large to hold whole piece by piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pagelith {

// One level per kind of data, chosen by measurement (thread CPU time, libdeflate; the samples of five
// 2000 x 2000 photographs, 60 MB; 0.77 MB of page content; a 0.76 MB TrueType font;
// bench/deflate_bench.cpp repeats it with synthetic samples):
//            content          picture samples       font
//   level 1  11.3 %   0.9 ms  22.9 %  215 ms        53.0 %  4.9 ms
//   level 2  10.9 %   1.2 ms  22.2 %  257 ms        50.9 %  6.5 ms
//   level 4  10.9 %   1.6 ms  22.0 %  280 ms        50.6 %  7.3 ms
//   level 6  10.9 %   3.1 ms  21.2 %  350 ms        48.7 %  9.1 ms
//   level 9   9.1 %  24.6 ms  21.1 %  693 ms        48.3 % 22.6 ms
// Content, fonts and every other stream: level 6. Level 9 is within 1 % of it on fonts and 16 %
// smaller on content, but takes three to eight times as long.
inline constexpr int kDeflateLevel = 6;
// Page content of many small pages (a 200-page text report, 1.1 MB of content in 200 streams;
// instructions of the whole run, file size):
//   level 1   98 M  480 KB    level 4  125 M  474 KB    level 6  141 M  470 KB
//   level 2  124 M  475 KB    level 5  138 M  470 KB    zlib 6, as it is written  208 M  466 KB
// Level 1 takes a fifth off the time of 4 for 1.4 % more bytes here, 0.1 % on an invoice: even beside
// the writing on a second processor, compressing is half a long report's work (wall time of the
// report, 60 runs: level 4 14.8 ms, level 1 12.1 ms). Level 5 saves little over 6. Compressing as
// the content is written costs half as much again, so only pages past a megabyte do it.
inline constexpr int kContentDeflateLevel = 1;
// Pages past a megabyte are compressed as they are written, by zlib, whose level 1 (no lazy matching)
// made a page of 5 million short lines 24 % larger than its level 4 (21.3 MB against 17.2 MB).
inline constexpr int kStreamedContentDeflateLevel = 4;
// Picture samples, which are most of the work when a document holds pictures: level 2 takes a
// quarter less time than level 6 for 5 % more bytes; level 1 would add 8 %. Rows with PNG
// predictors (25 PNGs' samples, 110 MB; stream / PNG file, geometric mean; deflate time of all):
//   level 1  0.986  1.45 s    level 4  0.929  1.58 s    level 9   0.812  21.4 s
//   level 2  0.952  1.39 s    level 6  0.892  2.79 s    level 12  0.754  92.5 s
// Level 2 stays: 4 saves 2 % for 14 % more time, 6 saves 6 % for twice the time.
inline constexpr int kImageDeflateLevel = 2;

// Data this short is stored, not compressed: compression could save a few dozen bytes at most, and
// would set up a compressor's tables (hundreds of KB, each page of them a fault) in a process that
// may compress nothing else, as when a document only passes scans through.
inline constexpr std::size_t kStoredBytes = 128;

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

// A zlib stream made piece by piece, for data that is produced faster than it should be held: each
// compressed piece goes to out as soon as it is made.
class TDeflateStream {
public:
    TDeflateStream(int level, std::function<void(std::string_view)> out);
    ~TDeflateStream();
    TDeflateStream(const TDeflateStream&) = delete;
    TDeflateStream& operator=(const TDeflateStream&) = delete;

    void Write(std::string_view data);
    // Ends the stream; nothing may be written after it.
    void Finish();
    // Compressed bytes handed to out so far.
    uint64_t Size() const;

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

// Compresses whole buffers on one worker thread beside the caller, who takes the results back in the
// order they were pushed. A caller that must wait for a result compresses the next waiting buffer
// meanwhile, so that both threads compress when compressing is the slower side.
class TDeflateQueue {
public:
    TDeflateQueue();  // throws std::system_error when no thread can be started
    ~TDeflateQueue(); // the worker ends the buffer it has begun; results not taken are dropped
    TDeflateQueue(const TDeflateQueue&) = delete;
    TDeflateQueue& operator=(const TDeflateQueue&) = delete;

    void Push(std::string data, int level);
    // The oldest result not taken yet, rethrowing what compressing it threw; without wait, nothing
    // while it is not ready.
    std::optional<TDeflated> Take(bool wait);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

} // namespace pagelith
