#include "fonts/font_cache.h"

#include "base/pdf_error.h"

namespace pagelith {

namespace {
// A few dozen faces of the usual sizes; a server that loads more reads the rarer ones again.
constexpr std::size_t kProcessCacheBytes = std::size_t{64} << 20;
} // namespace

std::shared_ptr<const TicFont> TFontCache::Find(const std::string& path, int64_t face,
                                                const TFileStamp& stamp) {
    const std::scoped_lock hold(lock_);
    const auto it = index_.find({path, face});
    if (it == index_.end()) return nullptr;
    if (!(it->second->Stamp == stamp)) {
        Drop(it->second);
        return nullptr;
    }
    entries_.splice(entries_.begin(), entries_, it->second);
    return it->second->Font;
}

void TFontCache::Keep(const std::string& path, int64_t face, const TFileStamp& stamp,
                      std::shared_ptr<const TicFont> font) {
    const std::size_t size = font->FileSize();
    if (size > maxBytes_) return;
    const std::scoped_lock hold(lock_);
    TKey key{path, face};
    if (const auto it = index_.find(key); it != index_.end()) Drop(it->second);
    while (!entries_.empty() && bytes_ + size > maxBytes_) Drop(std::prev(entries_.end()));
    entries_.push_front({key, stamp, std::move(font)});
    index_.emplace(std::move(key), entries_.begin());
    bytes_ += size;
}

void TFontCache::Drop(std::list<TEntry>::iterator entry) {
    bytes_ -= entry->Font->FileSize();
    index_.erase(entry->Key);
    entries_.erase(entry);
}

std::size_t TFontCache::Bytes() const {
    const std::scoped_lock hold(lock_);
    return bytes_;
}

std::size_t TFontCache::Count() const {
    const std::scoped_lock hold(lock_);
    return entries_.size();
}

void TFontCache::Clear() {
    const std::scoped_lock hold(lock_);
    entries_.clear();
    index_.clear();
    bytes_ = 0;
}

TFontCache& ProcessFontCache() {
    static TFontCache cache(kProcessCacheBytes);
    return cache;
}

TicFont ReadFontFile(TFontCache& cache, const std::string& path) {
    if (const auto stamp = RegularFileStamp(path))
        if (const auto font = cache.Find(path, TFontCache::kAddFontRules, *stamp)) return font->Fresh();
    TFileBytes file = ReadRegularFile(path, kMaxFontFileBytes);
    TicFont font;
    if (file.Status != TFileReadStatus::Ok || !font.LoadFromBytes(file.Bytes)) return font;
    cache.Keep(path, TFontCache::kAddFontRules, file.Stamp, std::make_shared<const TicFont>(font.Fresh()));
    return font;
}

TicFont OpenFontFile(TFontCache& cache, const std::string& path, int32_t face) {
    if (const auto stamp = face >= 0 ? RegularFileStamp(path) : std::nullopt)
        if (const auto font = cache.Find(path, face, *stamp)) return font->Fresh();
    TFileBytes file = ReadRegularFile(path, kMaxFontFileBytes);
    switch (file.Status) {
    case TFileReadStatus::Ok:
        break;
    case TFileReadStatus::NotFound:
        throw EPDFError("File not found: " + path);
    case TFileReadStatus::TooLarge:
        throw EPDFError("The font file is larger than 256 MB");
    default:
        throw EPDFError("The font file cannot be read: " + path);
    }
    if (face < 0) throw EPDFError("Face index " + std::to_string(face) + " is out of range");
    TicFont font = TicFont::Open(std::move(file.Bytes), static_cast<uint32_t>(face));
    cache.Keep(path, face, file.Stamp, std::make_shared<const TicFont>(font.Fresh()));
    return font;
}

} // namespace pagelith
