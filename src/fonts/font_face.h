// A HarfBuzz face and font over one face of a font file. HarfBuzz asks for its tables through
// TSfntView, so it reads the same tables, by the same rule, as our own readers.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "fonts/sfnt_view.h"

struct hb_face_t;
struct hb_font_t;

namespace pagelith {

// A font file's bytes, shared by every copy of the fonts made from it.
using TFontBytes = std::shared_ptr<const std::vector<uint8_t>>;

enum class TOutlines : uint8_t { None, TrueType, Cff, Cff2 };

// One glyph of shaped text: its place relative to the pen and how far it moves the pen, in
// thousandths of an em; the cluster is the byte offset of its first character in the shaped run.
struct TShapedGlyph {
    uint16_t Glyph = 0;
    uint32_t Cluster = 0;
    float Advance = 0;
    float XOffset = 0;
    float YOffset = 0;
    float Nominal = 0; // the advance a viewer applies after it: the font's own, as /W gives it
};

// Memo bytes of every font in the process against one bound: false, and nothing taken, when `bytes`
// more would pass it. Small, since a server meets new text in every request and would otherwise
// grow its memos all day: the words and subsets worth keeping recur within minutes.
inline constexpr std::size_t kProcessMemoBytes = 32u << 20;
bool TakeMemoBytes(std::size_t bytes);
void ReturnMemoBytes(std::size_t bytes);

// Values a font has worked out, by what decides them. Bounded on its own and, with every other
// font's memos, by the process's bound, so a server keeping many fonts keeps their memos small;
// a memo that is full starts over rather than grow.
template <class TValue> class TFontMemo {
public:
    explicit TFontMemo(std::size_t maxBytes) : maxBytes_(maxBytes) {}
    ~TFontMemo() { ReturnMemoBytes(bytes_); }
    TFontMemo(const TFontMemo&) = delete;
    TFontMemo& operator=(const TFontMemo&) = delete;

    // Calls use(value) under the memo's lock when key is kept; false when it is not.
    template <class TUse> bool Visit(const std::string& key, TUse use) {
        const std::lock_guard<std::mutex> hold(lock_);
        const auto it = values_.find(key);
        if (it == values_.end()) return false;
        use(it->second);
        return true;
    }
    // Keeps value under key, counted as `bytes`, unless it does not fit even in an empty memo.
    void Keep(std::string key, TValue value, std::size_t bytes) {
        if (bytes > maxBytes_ / 4) return; // a value that large is not met twice
        const std::lock_guard<std::mutex> hold(lock_);
        if (bytes_ + bytes > maxBytes_ || !TakeMemoBytes(bytes)) {
            ReturnMemoBytes(bytes_);
            values_.clear();
            bytes_ = 0;
            if (!TakeMemoBytes(bytes)) return;
        }
        if (values_.emplace(std::move(key), std::move(value)).second)
            bytes_ += bytes;
        else
            ReturnMemoBytes(bytes);
    }

private:
    std::mutex lock_;
    std::unordered_map<std::string, TValue> values_;
    std::size_t bytes_ = 0;
    const std::size_t maxBytes_;
};

// Runs a font has shaped, by what decides their shape; a server shapes the same words in every request.
struct TShapeCache {
    TFontMemo<std::vector<TShapedGlyph>> Runs{1u << 20};
    // By script and features: whether none of the lookups they apply sees the space glyph.
    TFontMemo<bool> InertSpace{64u << 10};
};

// A font program deflated as a file embeds it, with its length before compression.
struct TPackedProgram {
    std::string Deflated;
    std::size_t Length = 0;
    bool Subset = false; // false: the whole face, where it was asked for or could not be subset
};

// Programs a font has packed, by what decides their bytes: a server embeds the same glyphs of the
// same font in one document after another.
struct TProgramCache : TFontMemo<std::shared_ptr<const TPackedProgram>> {
    TProgramCache() : TFontMemo(8u << 20) {}
};

class TFontFace {
public:
    // `view` reads *file.
    TFontFace(TFontBytes file, const TSfntView& view);
    ~TFontFace();
    TFontFace(const TFontFace&) = delete;
    TFontFace& operator=(const TFontFace&) = delete;

    TOutlines Outlines() const;
    hb_face_t* Face() const { return face_; }
    hb_font_t* Font() const { return font_; }
    const TSfntView& View() const { return view_; }

    uint32_t GlyphCount() const;
    uint16_t UnitsPerEm() const;
    // The glyph of a character in the face's best character map, 0 when it has none.
    uint16_t Glyph(char32_t c) const;
    // Whether the face maps any character at all.
    bool MapsCharacters() const;
    // Advance width in font units.
    int32_t Advance(uint16_t glyph) const;
    int32_t Ascender() const;
    int32_t Descender() const;
    double ItalicAngle() const;
    // A name record (6 the PostScript name), from Windows or Macintosh records; empty when the face
    // has none.
    std::string Name(uint32_t nameId) const;

private:
    TFontBytes file_;
    TSfntView view_;
    hb_face_t* face_ = nullptr;
    hb_font_t* font_ = nullptr;
};

} // namespace pagelith
