#include "text/shaped_layout.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "base/utf8_text.h"
#include "fonts/shaping.h"
#include "text/bidi.h"
#include "text/char_widths.h"
#include "text/line_breaks.h"

namespace pagelith {

namespace {

bool IsSpace(char32_t c) {
    return c == ' ' || c == 0x3000;
}

// Characters that end a line by themselves; like spaces at a line's end, they take no room.
bool EndsLine(char32_t c) {
    return c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// A stretch of the paragraph in one written line, font, script and level.
struct TItem {
    std::size_t Begin = 0, End = 0; // characters
    uint32_t Line = 0;
    std::size_t Font = 0; // in the line's chain
    uint32_t Script = 0;
    uint8_t Level = 0;
};

// The working arrays of paragraph layout, kept from one paragraph to the next: a document lays out
// thousands of paragraphs, each of them a few dozen characters.
struct TScratch {
    std::vector<TFontChain> Chains;
    std::vector<char32_t> Chars;
    std::vector<uint32_t> At, LineOf, ChainOf, Scripts;
    std::vector<std::size_t> Fonts, Order;
    std::vector<uint8_t> Levels, LevelsOfRuns;
    std::vector<TItem> Items, Runs;
    std::vector<double> Widths;
    std::vector<bool> ClusterStart;
    std::vector<TBreak> BreakBefore, Bytes;
    std::vector<TShapedGlyph> Glyphs;    // each item's, as measured
    std::vector<std::size_t> ItemGlyphs; // where each item's glyphs start in Glyphs
};

// Out of line: inlined, the compiler takes the thread's address afresh at each use of the scratch, and
// in a shared library each of those is a call into the dynamic linker.
[[gnu::noinline]] TScratch& Scratch() {
    thread_local TScratch scratch;
    return scratch;
}

class TParagraph {
public:
    TParagraph(const TLineStore& lines, const TObjList<TPDFFontRes>& fonts, const TParagraphFlow& flow,
               TSegmentList& out)
        : lines_(lines), flow_(flow), out_(out) {
        chains_.clear();
        chars_.clear();
        at_.clear();
        lineOf_.clear();
        chainOf_.clear();
        items_.clear();
        base_ = lines.Start(flow.First);
        text_ = std::string_view(lines.Chars())
                    .substr(base_, lines.Start(flow.Last - 1) + lines.Text(flow.Last - 1).size() - base_);
        for (std::size_t k = flow.First; k < flow.Last; ++k) {
            const TLineStyle& style = lines.Style(k);
            if (chains_.empty() || &style != lastStyle_) {
                chains_.emplace_back(fonts, style.Font, style.Fallbacks.get());
                lastStyle_ = &style;
            }
            const std::string_view line = lines.Text(k);
            const std::size_t offset = lines.Start(k) - base_;
            for (std::size_t i = 0; i < line.size();) {
                at_.push_back(static_cast<uint32_t>(offset + i));
                chars_.push_back(NextCodePoint(line, i));
                lineOf_.push_back(static_cast<uint32_t>(k));
                chainOf_.push_back(static_cast<uint32_t>(chains_.size() - 1));
            }
        }
        at_.push_back(static_cast<uint32_t>(text_.size()));
    }

    double LayOut() {
        const std::size_t n = chars_.size();
        ResolveLevels(chars_, static_cast<TTextDirection>(lines_.Style(flow_.First).Direction), levels_);
        Itemize();

        bool continues = flow_.Continues;
        double before = continues ? flow_.Width : 0; // natural width already on the visual line
        if (n == 0) return before + EmitLine(0, 0, continues);
        const bool hardBreaks = std::any_of(chars_.begin(), chars_.end(), EndsLine);
        if (!hardBreaks && !Wraps())
            return before + EmitLine(0, Shown(0, n), continues); // shaped once, as drawn
        Measure();
        // Most paragraphs fit their width (a table's cells, say): then no break is looked for, and a line
        // of all the paragraph's items draws the glyphs measured.
        if (!hardBreaks && Fits(before)) {
            const std::size_t e = Shown(0, n);
            return before + EmitLine(0, e, continues, e == n);
        }
        Breaks();
        double last = 0;
        for (std::size_t s = 0; s < n;) {
            const std::size_t e = LineEnd(s, before, continues);
            if (e == s) { // not even a word fits after the text before it: a line of its own
                continues = false;
                before = 0;
                continue;
            }
            last = before + EmitLine(s, Shown(s, e), continues);
            continues = false;
            before = 0;
            s = e;
            while (s < n && chars_[s] == ' ') ++s;
        }
        return last;
    }

private:
    // The end of what line [s, e) shows: characters that end a line are never drawn, and trailing
    // spaces only on a line of nothing else.
    std::size_t Shown(std::size_t s, std::size_t e) const {
        while (e > s && EndsLine(chars_[e - 1])) --e;
        std::size_t visible = e;
        while (visible > s && IsSpace(chars_[visible - 1])) --visible;
        return visible > s ? visible : e;
    }

    const TFontChain& ChainOf(const TItem& item) const { return chains_[chainOf_[item.Begin]]; }
    const TLineStyle& StyleOf(std::size_t c) const { return lines_.Style(lineOf_[c]); }
    std::string_view FeaturesOf(const TItem& item) const {
        const TLineStyle& style = lines_.Style(item.Line);
        return style.Features ? std::string_view(*style.Features) : std::string_view();
    }

    // Whether a line has a maximum width to wrap at.
    bool Wraps() const {
        for (std::size_t k = flow_.First; k < flow_.Last; ++k) {
            const TLineStyle& style = lines_.Style(k);
            if (flow_.Wrap && style.MaxWidth > 0 && style.Size > 0) return true;
        }
        return false;
    }

    // Whether the text up to character j, `sum` points wide, is past j's maximum width.
    bool Overflows(std::size_t j, double sum) const {
        const TLineStyle& style = StyleOf(j);
        return flow_.Wrap && style.MaxWidth > 0 && style.Size > 0 && sum > style.MaxWidth + 1e-9;
    }

    // Whether the whole paragraph fits after `before` points, as LineEnd measures.
    bool Fits(double before) const {
        double sum = before;
        for (std::size_t j = 0; j < chars_.size(); ++j)
            if (Overflows(j, sum += widths_[j])) return false;
        return true;
    }

    // Cut where the written line, the font, the script or the level changes. Marks and format
    // characters stay in the font before them; characters of no script of their own take their
    // neighbours'.
    void Itemize() {
        const std::size_t n = chars_.size();
        std::vector<uint32_t>& scripts = scratch_.Scripts;
        std::vector<std::size_t>& fonts = scratch_.Fonts;
        scripts.assign(n, 0);
        fonts.assign(n, 0);
        uint32_t script = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const TCharProps props = CharProps(chars_[i]);
            const TFontChain& chain = chains_[chainOf_[i]];
            const bool sameLine = i > 0 && lineOf_[i] == lineOf_[i - 1];
            if (chain.size() < 2)
                fonts[i] = 0;
            else if (sameLine &&
                     (props.Format ||
                      (props.Mark && chain.Font(fonts[i - 1]).UnicodeMetric(chars_[i]).Glyph != 0)))
                fonts[i] = fonts[i - 1];
            else
                fonts[i] = chain.Pick(chars_[i]).Font;
            const bool own = props.Script != kCommonScript && props.Script != kInheritedScript &&
                             props.Script != kUnknownScript;
            if (own) {
                if (script == 0)
                    std::fill(scripts.begin(), scripts.begin() + static_cast<std::ptrdiff_t>(i),
                              props.Script);
                script = props.Script;
            }
            scripts[i] = script;
        }
        for (std::size_t i = 0; i < n;) {
            TItem item{i, i + 1, lineOf_[i], fonts[i], scripts[i], levels_[i]};
            while (item.End < n && lineOf_[item.End] == item.Line && fonts[item.End] == item.Font &&
                   scripts[item.End] == item.Script && levels_[item.End] == item.Level)
                ++item.End;
            items_.push_back(item);
            i = item.End;
        }
    }

    // Each character's share of the shaped paragraph's width, in natural points: a cluster's glyphs
    // count at its first character.
    void Measure() {
        widths_.assign(chars_.size(), 0.0);
        clusterStart_.assign(chars_.size(), false);
        std::vector<TShapedGlyph>& glyphs = scratch_.Glyphs;
        std::vector<std::size_t>& starts = scratch_.ItemGlyphs;
        glyphs.clear();
        starts.clear();
        for (const TItem& item : items_) {
            starts.push_back(glyphs.size());
            Shape(item, item.Begin, item.End, text_, glyphs);
            const double size = lines_.Style(item.Line).Size;
            for (const TShapedGlyph& g : std::span(glyphs).subspan(starts.back())) {
                const std::size_t byte = at_[item.Begin] + g.Cluster;
                const auto c = static_cast<std::size_t>(std::upper_bound(at_.begin(), at_.end() - 1, byte) -
                                                        at_.begin()) -
                               1;
                widths_[c] += g.Advance * size / 1000.0;
                clusterStart_[c] = true;
            }
        }
    }

    // Where a line may break before each character: where the rules allow, and between written lines.
    void Breaks() {
        std::vector<TBreak>& bytes = scratch_.Bytes;
        LineBreaks(text_, bytes);
        breakBefore_.assign(chars_.size() + 1, TBreak::None);
        for (std::size_t i = 1; i < chars_.size(); ++i) {
            breakBefore_[i] = bytes[at_[i] - 1];
            if (lineOf_[i] != lineOf_[i - 1] && breakBefore_[i] == TBreak::None)
                breakBefore_[i] = TBreak::Allowed;
        }
        breakBefore_[chars_.size()] = TBreak::Mandatory;
    }

    bool CanBreak(std::size_t i) const {
        return breakBefore_[i] == TBreak::Allowed || breakBefore_[i] == TBreak::Mandatory;
    }

    // The end of the line that starts at s: the last break that keeps it within its maximum width, or
    // a cut inside the word at a cluster's start; s itself when the paragraph continues a visual line
    // and not even its first word fits there.
    std::size_t LineEnd(std::size_t s, double before, bool continues) const {
        const std::size_t n = chars_.size();
        double sum = before;
        std::size_t over = n;
        for (std::size_t j = s; j < n; ++j) {
            if (j > s && breakBefore_[j] == TBreak::Mandatory) return j;
            sum += widths_[j];
            if (Overflows(j, sum)) {
                over = j;
                break;
            }
        }
        if (over == n) return n;
        // Spaces hang past the edge: a break after an overflowing space still fits.
        for (std::size_t b = over + 1; b > s; --b) {
            if (b == over + 1 ? IsSpace(chars_[over]) && CanBreak(b) : CanBreak(b)) return b;
        }
        if (continues) return s;
        for (std::size_t b = over; b > s; --b)
            if (clusterStart_[b]) return b;
        // A cluster wider than the whole line goes on a line of its own.
        std::size_t b = s + 1;
        while (b < n && !clusterStart_[b]) ++b;
        return b;
    }

    // Shapes characters [begin, end) of an item, within the context given.
    void Shape(const TItem& item, std::size_t begin, std::size_t end, std::string_view context,
               std::vector<TShapedGlyph>& glyphs) const {
        const std::size_t contextStart = static_cast<std::size_t>(context.data() - text_.data());
        TShapeRun run;
        run.Context = context;
        run.Start = at_[begin] - contextStart;
        run.Length = at_[end] - at_[begin];
        run.Rtl = item.Level % 2 == 1;
        run.Script = item.Script;
        run.Features = FeaturesOf(item);
        if (ChainOf(item).size() > 0) ShapeRun(ChainOf(item).Font(item.Font), run, glyphs);
    }

    // Shapes characters [s, e) as one line, run by run, and appends its segments from the left;
    // returns its natural width. `measured`: the line is the whole paragraph, whose items Measure shaped
    // in the same context.
    double EmitLine(std::size_t s, std::size_t e, bool continues, bool measured = false) {
        runs_.clear();
        levelsOfRuns_.clear();
        // Lines come in order: the items before this one are done with.
        while (firstItem_ < items_.size() && items_[firstItem_].End <= s) ++firstItem_;
        for (std::size_t i = firstItem_; i < items_.size() && items_[i].Begin < e; ++i) {
            const TItem& item = items_[i];
            TItem run = item;
            run.Begin = std::max(item.Begin, s);
            run.End = std::min(item.End, e);
            runs_.push_back(run);
            levelsOfRuns_.push_back(run.Level);
        }
        if (runs_.empty()) { // an empty line still takes its height
            TSegment seg;
            seg.Start = base_ + at_[s];
            seg.Line = s < lineOf_.size() ? lineOf_[s] : static_cast<uint32_t>(flow_.First);
            seg.Continues = continues;
            seg.Shaped = true;
            seg.Font = lines_.Style(seg.Line).Font;
            out_.Add(seg);
            return 0;
        }
        VisualOrder(levelsOfRuns_, order_);
        const std::string_view line = text_.substr(at_[s], at_[e] - at_[s]);
        std::vector<TShapedGlyph>& store = out_.GlyphStore();
        double width = 0;
        for (std::size_t k = 0; k < order_.size(); ++k) {
            const TItem& run = runs_[order_[k]];
            const std::size_t first = store.size();
            if (measured) {
                const std::vector<std::size_t>& starts = scratch_.ItemGlyphs;
                const auto from = scratch_.Glyphs.begin();
                const std::size_t i = order_[k]; // the runs are the items
                store.insert(store.end(), from + static_cast<std::ptrdiff_t>(starts[i]),
                             i + 1 < starts.size() ? from + static_cast<std::ptrdiff_t>(starts[i + 1])
                                                   : scratch_.Glyphs.end());
            } else {
                Shape(run, run.Begin, run.End, line, store);
            }
            double advance = 0;
            for (std::size_t g = first; g < store.size(); ++g) advance += store[g].Advance;
            const double natural = advance * lines_.Style(run.Line).Size / 1000.0;
            TSegment seg;
            seg.Start = base_ + at_[run.Begin];
            seg.Length = at_[run.End] - at_[run.Begin];
            seg.Line = run.Line;
            seg.Continues = k > 0 || continues;
            seg.Shaped = true;
            seg.Font = ChainOf(run).size() > 0 ? ChainOf(run).Number(run.Font) : lines_.Style(run.Line).Font;
            seg.FirstGlyph = static_cast<uint32_t>(first);
            seg.GlyphCount = static_cast<uint32_t>(store.size() - first);
            seg.Width = flow_.Factor * natural;
            out_.Add(seg);
            width += natural;
        }
        return width;
    }

    const TLineStore& lines_;
    const TParagraphFlow& flow_;
    TSegmentList& out_;
    std::size_t base_ = 0;
    std::string_view text_;
    TScratch& scratch_ = Scratch();
    std::vector<TFontChain>& chains_ = scratch_.Chains;
    const TLineStyle* lastStyle_ = nullptr;
    std::size_t firstItem_ = 0; // the first item the next line can reach
    std::vector<char32_t>& chars_ = scratch_.Chars;
    std::vector<uint32_t>& at_ = scratch_.At; // each character's first byte in text_, and text_'s size
    std::vector<uint32_t>&lineOf_ = scratch_.LineOf, &chainOf_ = scratch_.ChainOf;
    std::vector<uint8_t>& levels_ = scratch_.Levels;
    std::vector<TItem>& items_ = scratch_.Items;
    std::vector<double>& widths_ = scratch_.Widths;
    std::vector<bool>& clusterStart_ = scratch_.ClusterStart;
    std::vector<TBreak>& breakBefore_ = scratch_.BreakBefore;
    std::vector<TItem>& runs_ = scratch_.Runs;
    std::vector<uint8_t>& levelsOfRuns_ = scratch_.LevelsOfRuns;
    std::vector<std::size_t>& order_ = scratch_.Order;
};

} // namespace

double ShapedWidth(const TObjList<TPDFFontRes>& fonts, const TLineStyle& style, std::string_view utf8) {
    TLineStore line;
    line.StartLine(style, false);
    line.Append(utf8);
    TSegmentList segments(line);
    TParagraphFlow flow;
    flow.Last = 1;
    flow.Wrap = false;
    return LayOutParagraph(line, fonts, flow, segments);
}

double LayOutParagraph(const TLineStore& lines, const TObjList<TPDFFontRes>& fonts,
                       const TParagraphFlow& flow, TSegmentList& out) {
    return TParagraph(lines, fonts, flow, out).LayOut();
}

} // namespace pagelith
