// Written lines of a text resource and their laid-out segments, in flat stores: a line costs a
// small fixed entry beside its characters, and its settings are kept once per run of lines that
// share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fonts/font_face.h"

namespace pagelith {

// A link target, shared by every line and segment of one WriteLink call; empty is no link.
class TLinkRef {
public:
    TLinkRef() = default;
    explicit TLinkRef(std::string_view uri)
        : uri_(uri.empty() ? nullptr : std::make_shared<const std::string>(uri)) {}
    bool empty() const { return !uri_; }
    std::string_view View() const { return uri_ ? std::string_view(*uri_) : std::string_view(); }
    friend bool operator==(const TLinkRef& a, std::string_view b) { return a.View() == b; }
    friend bool operator==(const TLinkRef& a, const TLinkRef& b) {
        return a.uri_ == b.uri_ || a.View() == b.View();
    }

private:
    std::shared_ptr<const std::string> uri_;
};

// The settings a line is written in.
struct TLineStyle {
    int32_t Size = 0;
    int32_t Font = 0;
    uint32_t Color = 0;
    double LineSpacing = 0;
    double MaxWidth = -1;
    double SkewX = 0;
    double SkewY = 0;
    TLinkRef Link;
    bool LinkBorder = false;
    bool Underline = false;
    // The line's bytes are UTF-8 for a TrueType font's Unicode cmap, not code-page text.
    bool Unicode = false;
    // A standard font measured with its published widths.
    bool StandardMetrics = false;
    // Unicode lines: the fonts that draw the characters the line's font lacks, in order.
    std::shared_ptr<const std::vector<int32_t>> Fallbacks;
    // Unicode lines: the paragraph direction (a TTextDirection) and OpenType features to shape with.
    uint8_t Direction = 0;
    std::shared_ptr<const std::string> Features;
    friend bool operator==(const TLineStyle&, const TLineStyle&) = default;
};

// One written line or laid-out segment as a whole value (tests and single lookups).
struct TTextLine : TLineStyle {
    std::string Text;
    bool Continues = false;
    // Layout results, meaningful in segments only.
    double Width = 0;
    double YOffset = 0;
    double LineWidth = 0;
    double XOffset = 0;
};

// Iteration by value over a store that hands out TTextLine copies.
template <class TStore> class TLineIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = TTextLine;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = TTextLine;
    TLineIterator(const TStore* store, std::size_t i) : store_(store), i_(i) {}
    TTextLine operator*() const { return (*store_)[i_]; }
    TLineIterator& operator++() {
        ++i_;
        return *this;
    }
    TLineIterator operator++(int) {
        TLineIterator before = *this;
        ++i_;
        return before;
    }
    bool operator==(const TLineIterator& other) const { return i_ == other.i_; }

private:
    const TStore* store_;
    std::size_t i_;
};

// The written lines: their characters end to end, four bytes per line for its end, and one run entry
// per stretch of lines written in the same settings and append flag.
class TLineStore {
public:
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    TTextLine operator[](std::size_t i) const;
    TTextLine back() const { return (*this)[size() - 1]; }
    TLineIterator<TLineStore> begin() const { return {this, 0}; }
    TLineIterator<TLineStore> end() const { return {this, size()}; }

    std::string_view Text(std::size_t i) const {
        const TRun& run = RunOf(i);
        const std::size_t start = Start(run, i);
        return std::string_view(chars_).substr(start, run.Base + ends_[i] - start);
    }
    // Offset of line i's first character in Chars().
    std::size_t Start(std::size_t i) const { return Start(RunOf(i), i); }
    const TLineStyle& Style(std::size_t i) const { return styles_[RunOf(i).Style]; }
    bool Continues(std::size_t i) const { return RunOf(i).Continues; }
    const std::string& Chars() const { return chars_; }
    // Every style in first-use order.
    const std::vector<TLineStyle>& Styles() const { return styles_; }

    // A new, empty line in style; the style is stored only when it differs from the last one.
    void StartLine(const TLineStyle& style, bool continues);
    // Appends to the last line.
    void Append(std::string_view text);

    // The store's extent, to undo a call that failed half-way.
    struct TMark {
        std::size_t Chars = 0, Lines = 0, Styles = 0, Runs = 0;
        uint32_t LastEnd = 0;
    };
    TMark Mark() const {
        return {chars_.size(), ends_.size(), styles_.size(), runs_.size(), empty() ? 0 : ends_.back()};
    }
    void Rollback(const TMark& mark) noexcept;

private:
    struct TRun {
        std::size_t First = 0; // its first line
        std::size_t Base = 0;  // where its first line starts in chars_; its lines' ends count from here
        uint32_t Style = 0;
        bool Continues = false;
    };
    const TRun& RunOf(std::size_t line) const;
    std::size_t Start(const TRun& run, std::size_t i) const {
        return run.Base + (i == run.First ? 0 : ends_[i - 1]);
    }

    std::string chars_;
    std::vector<uint32_t> ends_;
    std::vector<TRun> runs_;
    std::vector<TLineStyle> styles_;
};

// One laid-out segment: a piece of a written line (or, unmeasured, continued lines run together)
// named by its place in the store's characters. A shaped segment is a run of Unicode text in one
// font and direction, drawn as its glyphs; a visual line lists its segments from the left.
struct TSegment {
    std::size_t Start = 0;
    std::size_t Length = 0;
    uint32_t Line = 0; // the written line whose settings it carries
    bool Continues = false;
    bool Shaped = false;
    int32_t Font = 0; // shaped: the font its glyphs are in, the line's own or a fallback
    uint32_t FirstGlyph = 0;
    uint32_t GlyphCount = 0;
    double Width = 0;
    double YOffset = 0;
    double LineWidth = 0;
    double XOffset = 0;
};

// The segments of one layout, read against the lines they were cut from.
class TSegmentList {
public:
    explicit TSegmentList(const TLineStore& lines) : lines_(lines) {}
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    TTextLine operator[](std::size_t i) const;
    TTextLine back() const { return (*this)[size() - 1]; }
    TLineIterator<TSegmentList> begin() const { return {this, 0}; }
    TLineIterator<TSegmentList> end() const { return {this, size()}; }

    std::string_view Text(std::size_t i) const {
        return std::string_view(lines_.Chars()).substr(items_[i].Start, items_[i].Length);
    }
    const TLineStyle& Style(std::size_t i) const { return lines_.Style(items_[i].Line); }
    TSegment& At(std::size_t i) { return items_[i]; }
    const TSegment& At(std::size_t i) const { return items_[i]; }

    void Clear() {
        items_.clear();
        glyphs_.clear();
    }
    void Reserve(std::size_t n) { items_.reserve(n); }
    TSegment& Add(const TSegment& s) { return items_.emplace_back(s); }
    void Release() {
        std::vector<TSegment>().swap(items_);
        std::vector<TShapedGlyph>().swap(glyphs_);
    }
    // Drops the first n segments and the glyphs only they use.
    void DropFront(std::size_t n);
    // Appends segments [first, end) of other, with their glyphs.
    void AppendFrom(const TSegmentList& other, std::size_t first, std::size_t end);

    // A shaped segment's glyphs, left to right; clusters count from the segment's first byte.
    std::span<const TShapedGlyph> Glyphs(std::size_t i) const {
        return std::span<const TShapedGlyph>(glyphs_).subspan(items_[i].FirstGlyph, items_[i].GlyphCount);
    }
    // Where the glyphs of shaped segments are appended.
    std::vector<TShapedGlyph>& GlyphStore() { return glyphs_; }

private:
    const TLineStore& lines_;
    std::vector<TSegment> items_;
    std::vector<TShapedGlyph> glyphs_;
};

} // namespace pagelith
