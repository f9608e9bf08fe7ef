// A block of text with per-line attributes, laid out at output time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/obj_list.h"
#include "base/pdf_resource.h"
#include "text/text_line.h"

namespace pagelith {

class TPDFFontRes;

// How a call's text is kept and measured: the document's settings when it is written.
struct TTextMode {
    // UTF-8 through the font's Unicode cmap, for TrueType fonts; code-page text otherwise.
    bool Unicode = false;
    // Standard fonts measure with their published widths.
    bool StandardMetrics = false;
    // For Unicode text: fonts for the characters the text's font lacks, and the OpenType features it
    // is shaped with.
    std::shared_ptr<const std::vector<int32_t>> Fallbacks;
    std::shared_ptr<const std::string> Features;
};

// Whether a line can be measured: a TrueType font, or a standard font with its published widths.
bool Measured(const TLineStyle& style);

// What one layout found: height and width in points.
struct TTextBlockSize {
    double Height = 0;
    double Width = 0;
    bool Measurable = false;
};

// Receives one placed visual line: segments [first, end) of segments, valid during the call only.
using TVisualLineSink = std::function<void(const TSegmentList& segments, std::size_t first, std::size_t end)>;

// Lays written lines out at scale percent and hands each visual line to sink once it is complete, so
// that only the line being built is held.
TTextBlockSize LayOutLines(const TLineStore& lines, const TObjList<TPDFFontRes>& fonts, double scale,
                           const TVisualLineSink& sink);

class TPDFTextRes final : public TPDFResource {
public:
    // Lays the block out at scale percent into Segments.
    TTextBlockSize Layout(const TObjList<TPDFFontRes>& fonts, double scale);
    // Lays the block out at scale percent line by line, leaving Segments alone.
    TTextBlockSize ForEachVisualLine(const TObjList<TPDFFontRes>& fonts, double scale,
                                     const TVisualLineSink& sink) const {
        return LayOutLines(Lines, fonts, scale, sink);
    }

    // Frees the laid-out segments; the next layout rebuilds them.
    void ReleaseSegments() { Segments.Release(); }

    // Written line or segment k (1-based); outside the range, an empty line in
    // the current attributes.
    TTextLine Line(uint32_t k) const;
    TTextLine Segment(uint32_t k) const;

    // Height of the block at natural size, in points.
    double BlockHeight(const TObjList<TPDFFontRes>& fonts);
    // Width of the widest line at natural size, or -1 when not measurable or empty.
    double BlockWidth(const TObjList<TPDFFontRes>& fonts);

    // Records text in the current attributes: CR, LF and CR LF start new lines. All lines of one
    // call share one copy of the link. A failure (out of memory) leaves the lines as they were.
    // With mode.Unicode, text is UTF-8 and the current font a TrueType font.
    void AddText(std::string_view text, std::string_view link, bool append, bool linkBorder,
                 const TTextMode& mode = {});
    // Caller's text: kept whole as UTF-8 when Unicode is asked for and the current font is a TrueType
    // font, else converted to the code page.
    void AddWideText(std::u16string_view text, std::string_view link, bool append, bool linkBorder,
                     const TTextMode& mode);

    // Alignment put: any line that cannot be measured keeps the block left-aligned.
    void SetAlignment(uint8_t alignment);

    int32_t Font = 5;
    int32_t Size = 10;
    uint32_t Color = 0;
    double LineSpacing = 15.0;
    uint8_t Alignment = 0;
    TLineStore Lines;
    double MaxWidth = -1;
    double SkewY = 0;
    double SkewX = 0;
    int32_t LinkCount = 0;
    bool Underline = false;
    // The paragraph direction of Unicode text written from now on, a TTextDirection.
    uint8_t Direction = 0;
    TSegmentList Segments{Lines};

private:
    TTextLine DefaultLine() const;
    void StartLine(const TLinkRef& link, bool append, bool linkBorder, const TTextMode& mode);
};

// Blocks laid out once per file and handed out again: a file lays each block out for its fonts, its
// links and its content. Only a block that a placement is still to draw is kept, and it is let go
// after its last placement. A block whose lines would pass the bound is laid out again each time, so
// the memory a file takes stays bounded however much text it holds.
class TLaidOutBlocks {
public:
    explicit TLaidOutBlocks(std::size_t maxBytes = kDefaultBytes) : maxBytes_(maxBytes) {}

    // A placement of the block at this scale, which the content pass will draw.
    void Place(const TPDFTextRes& text, double scale);

    // As text.ForEachVisualLine, from the memo when the block was laid out at this scale before.
    TTextBlockSize ForEachVisualLine(const TPDFTextRes& text, const TObjList<TPDFFontRes>& fonts,
                                     double scale, const TVisualLineSink& sink) {
        return Read(text, fonts, scale, sink, false);
    }

    // The same, for the content pass drawing one of the block's placements.
    TTextBlockSize Draw(const TPDFTextRes& text, const TObjList<TPDFFontRes>& fonts, double scale,
                        const TVisualLineSink& sink) {
        return Read(text, fonts, scale, sink, true);
    }

private:
    static constexpr std::size_t kDefaultBytes = 16u << 20;
    struct TBlock {
        explicit TBlock(const TLineStore& lines) : Segments(lines) {}
        TSegmentList Segments;
        std::vector<std::pair<std::size_t, std::size_t>> Lines; // [first, end) of each visual line
        TTextBlockSize Size;
        std::size_t Bytes = 0; // what it counts against the bound
        bool Kept = false;
        bool TooBig = false;   // it did not fit, and is laid out each time
        std::size_t Draws = 0; // placements still to draw
    };

    TTextBlockSize Read(const TPDFTextRes& text, const TObjList<TPDFFontRes>& fonts, double scale,
                        const TVisualLineSink& sink, bool draw);

    std::map<std::pair<const TPDFTextRes*, double>, TBlock> blocks_;
    std::size_t bytes_ = 0;
    std::size_t maxBytes_;
};

} // namespace pagelith
