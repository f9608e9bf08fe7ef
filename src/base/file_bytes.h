// Reading a whole file that must be a regular file: fonts and images come from names a script supplies,
// and a FIFO, a device or a folder under such a name must never block the call or be read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pagelith {

// Bounds on what is read whole. No real TrueType font comes near 256 MiB (table offsets are 32-bit
// anyway), and an image file of more than 1 GiB could not become a bitmap within the bitmap bound.
inline constexpr uint64_t kMaxFontFileBytes = uint64_t{256} << 20;
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{1} << 30;

enum class TFileReadStatus {
    Ok,
    NotFound,   // no such file, an empty name or a name with a NUL
    NotRegular, // a folder, FIFO, socket or device: neither waited for nor read
    TooLarge,   // larger than the bound: refused before any byte is read
    Failed,     // opened, but reading failed
};

// What tells one version of a file from another without reading it: a file replaced or rewritten gets
// a new inode or modification time, and mostly a new size.
struct TFileStamp {
    uint64_t Size = 0;
    int64_t ModifiedNs = 0;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    bool operator==(const TFileStamp&) const = default;
};

struct TFileBytes {
    TFileReadStatus Status = TFileReadStatus::NotFound;
    std::vector<uint8_t> Bytes;
    int Error = 0;    // the system's error number when there was one
    TFileStamp Stamp; // of the file as opened, when Status is Ok
};

// The whole content of a regular file of at most maxBytes bytes, read into buffer's storage. The name
// is as the file layer takes it (UTF-8 on Linux, the ANSI code page on Windows).
TFileBytes ReadRegularFile(const std::string& name, uint64_t maxBytes, std::vector<uint8_t> buffer = {});

// Whether the name is an existing regular file; asks without opening it.
bool IsRegularFile(const std::string& name);
// The stamp of an existing regular file, asked without opening it.
std::optional<TFileStamp> RegularFileStamp(const std::string& name);

} // namespace pagelith
