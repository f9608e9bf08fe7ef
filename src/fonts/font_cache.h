// Fonts read from files, kept for the life of the process: a server builds every document from the
// same few font files, and reading and parsing one costs more than laying out a small document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "base/file_bytes.h"
#include "fonts/ticfont.h"

namespace pagelith {

// Loaded fonts by file name and face, each from the version of the file its stamp names. Entries are
// immutable and shared; the least recently used go once their files' bytes pass the bound.
class TFontCache {
public:
    static constexpr int64_t kAddFontRules = -1; // the face of a font loaded as AddFont loads it

    explicit TFontCache(std::size_t maxBytes) : maxBytes_(maxBytes) {}

    // The font as loaded from the file with this stamp; null when it is not kept or the file changed.
    std::shared_ptr<const TicFont> Find(const std::string& path, int64_t face, const TFileStamp& stamp);
    void Keep(const std::string& path, int64_t face, const TFileStamp& stamp,
              std::shared_ptr<const TicFont> font);

    std::size_t Bytes() const;
    std::size_t Count() const;
    void Clear();

private:
    using TKey = std::pair<std::string, int64_t>;
    struct TEntry {
        TKey Key;
        TFileStamp Stamp;
        std::shared_ptr<const TicFont> Font;
    };
    void Drop(std::list<TEntry>::iterator entry);

    mutable std::mutex lock_;
    std::size_t maxBytes_;
    std::size_t bytes_ = 0;
    std::list<TEntry> entries_; // most recently used first
    std::map<TKey, std::list<TEntry>::iterator> index_;
};

// The process's cache, shared by every document.
TFontCache& ProcessFontCache();

// A font file by AddFont's rules; an unusable font (Valid() false) when it cannot be read or parsed.
TicFont ReadFontFile(TFontCache& cache, const std::string& path);
// Face `face` of a font file, as LoadFont takes it; throws EPDFError saying why it cannot be used.
TicFont OpenFontFile(TFontCache& cache, const std::string& path, int32_t face);

} // namespace pagelith
