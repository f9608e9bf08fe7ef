#include "text/text_res.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "base/ansi_text.h"
#include "base/utf8_text.h"
#include "fonts/font_res.h"
#include "fonts/standard_fonts.h"
#include "fonts/standard_widths.h"
#include "text/line_fit.h"
#include "text/shaped_layout.h"

namespace pagelith {

namespace {

// Width at natural size, in points.
double NaturalWidth(std::string_view text, int32_t size, const TCharWidths& widths) {
    return size * static_cast<double>(widths.Width(text)) / 1000.0;
}

// Available width in thousandths of the size. A size of 0 or less cannot be
// divided by, and such a line is not wrapped.
double Available(double width, int32_t size) {
    return size > 0 ? width * 1000.0 / size : 0.0;
}

bool HasNonSpace(std::string_view text) {
    return text.find_first_not_of(' ') != std::string_view::npos;
}

// One past the last line of the Unicode paragraph that starts at line k: the lines that continue it.
std::size_t ParagraphEnd(const TLineStore& lines, std::size_t k) {
    std::size_t last = k + 1;
    while (last < lines.size() && lines.Style(last).Unicode && lines.Continues(last)) ++last;
    return last;
}

} // namespace

TTextLine TLineStore::operator[](std::size_t i) const {
    TTextLine line;
    static_cast<TLineStyle&>(line) = Style(i);
    line.Text.assign(Text(i));
    line.Continues = Continues(i);
    return line;
}

const TLineStore::TRun& TLineStore::RunOf(std::size_t line) const {
    if (runs_.size() == 1) return runs_[0];
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), line,
                                        [](std::size_t l, const TRun& run) { return l < run.First; });
    return *(after - 1);
}

void TLineStore::StartLine(const TLineStyle& style, bool continues) {
    if (ends_.capacity() == 0) ends_.reserve(16);
    if (styles_.empty() || !(styles_.back() == style)) styles_.push_back(style);
    const auto styleIndex = static_cast<uint32_t>(styles_.size() - 1);
    // A run also ends before its ends outgrow four bytes.
    constexpr std::size_t kRunChars = std::size_t{1} << 31;
    if (runs_.empty() || runs_.back().Style != styleIndex || runs_.back().Continues != continues ||
        chars_.size() - runs_.back().Base >= kRunChars)
        runs_.push_back({ends_.size(), chars_.size(), styleIndex, continues});
    ends_.push_back(static_cast<uint32_t>(chars_.size() - runs_.back().Base));
}

void TLineStore::Append(std::string_view text) {
    const std::size_t end = chars_.size() + text.size() - runs_.back().Base;
    if (end > UINT32_MAX) throw std::length_error("line too long");
    chars_.append(text);
    ends_.back() = static_cast<uint32_t>(end);
}

void TLineStore::Rollback(const TMark& mark) noexcept {
    chars_.resize(mark.Chars);
    ends_.resize(mark.Lines);
    styles_.resize(mark.Styles);
    runs_.resize(mark.Runs);
    if (!ends_.empty()) ends_.back() = mark.LastEnd;
}

TTextLine TSegmentList::operator[](std::size_t i) const {
    TTextLine line;
    const TSegment& s = items_[i];
    static_cast<TLineStyle&>(line) = Style(i);
    line.Text.assign(Text(i));
    line.Continues = s.Continues;
    line.Width = s.Width;
    line.YOffset = s.YOffset;
    line.LineWidth = s.LineWidth;
    line.XOffset = s.XOffset;
    return line;
}

TTextLine TPDFTextRes::DefaultLine() const {
    TTextLine line;
    line.Font = Font;
    line.Size = Size;
    line.Color = Color;
    line.SkewX = SkewX;
    line.SkewY = SkewY;
    return line;
}

TTextLine TPDFTextRes::Line(uint32_t k) const {
    return k >= 1 && k <= Lines.size() ? Lines[k - 1] : DefaultLine();
}

TTextLine TPDFTextRes::Segment(uint32_t k) const {
    return k >= 1 && k <= Segments.size() ? Segments[k - 1] : DefaultLine();
}

namespace {
// A TrueType font, or a standard font with its published widths.
bool MeasuredFont(int32_t font, bool standardMetrics) {
    return !IsStandardFont(font) || standardMetrics;
}
} // namespace

bool Measured(const TLineStyle& style) {
    return MeasuredFont(style.Font, style.StandardMetrics);
}

void TPDFTextRes::StartLine(const TLinkRef& link, bool append, bool linkBorder, const TTextMode& mode) {
    TLineStyle style;
    style.Font = Font;
    style.Size = Size;
    style.Color = Color;
    style.LineSpacing = LineSpacing;
    style.MaxWidth = MaxWidth;
    style.SkewX = SkewX;
    style.SkewY = SkewY;
    style.Link = link;
    style.LinkBorder = linkBorder;
    style.Unicode = mode.Unicode;
    style.StandardMetrics = IsStandardFont(Font) && mode.StandardMetrics;
    if (mode.Unicode) {
        style.Fallbacks = mode.Fallbacks;
        style.Features = mode.Features;
        style.Direction = Direction;
    }
    style.Underline = Measured(style) && Underline;
    Lines.StartLine(style, append);
}

void TPDFTextRes::AddText(std::string_view text, std::string_view uri, bool append, bool linkBorder,
                          const TTextMode& mode) {
    // Text that cannot be measured carries no links.
    const bool measured = MeasuredFont(Font, mode.StandardMetrics);
    if (!measured) uri = {};
    const TLinkRef link(uri);
    const bool newLink = !uri.empty() && (Lines.empty() || !(Lines.Style(Lines.size() - 1).Link == uri));
    const TLineStore::TMark mark = Lines.Mark();
    try {
        StartLine(link, append, linkBorder, mode);

        // Breaks are rare: find each kind with memchr rather than testing every byte.
        const auto next = [&](char c, std::size_t from) {
            const void* p =
                from < text.size() ? std::memchr(text.data() + from, c, text.size() - from) : nullptr;
            return p ? static_cast<std::size_t>(static_cast<const char*>(p) - text.data()) : text.size();
        };
        std::size_t cr = next('\r', 0), lf = next('\n', 0);
        std::size_t run = 0; // start of the bytes not yet copied
        while (cr < text.size() || lf < text.size()) {
            const std::size_t i = std::min(cr, lf);
            Lines.Append(text.substr(run, i - run));
            run = i + 1;
            if (i == cr) {
                StartLine(link, append, linkBorder, mode);
                cr = next('\r', run);
                if (lf == run && lf < text.size()) { // CR LF is one break
                    ++run;
                    lf = next('\n', run);
                }
            } else {
                StartLine(link, append, linkBorder, mode);
                lf = next('\n', run);
            }
        }
        Lines.Append(text.substr(run));
    } catch (...) {
        Lines.Rollback(mark);
        throw;
    }
    if (newLink) ++LinkCount;
    if (!text.empty() && !measured) Alignment = 0;
}

void TPDFTextRes::AddWideText(std::u16string_view text, std::string_view link, bool append, bool linkBorder,
                              const TTextMode& mode) {
    // Standard fonts have no Unicode cmap to look characters up in.
    if (mode.Unicode && !IsStandardFont(Font)) {
        AddText(WideToUtf8(text), link, append, linkBorder, mode);
        return;
    }
    TTextMode codePage = mode;
    codePage.Unicode = false;
    AddText(WideToAnsi(text), link, append, linkBorder, codePage);
}

void TPDFTextRes::SetAlignment(uint8_t alignment) {
    const auto& styles = Lines.Styles();
    const bool unmeasured =
        std::any_of(styles.begin(), styles.end(), [](const TLineStyle& l) { return !Measured(l); });
    Alignment = unmeasured ? 0 : alignment;
}

TTextBlockSize TPDFTextRes::Layout(const TObjList<TPDFFontRes>& fonts, double scale) {
    Segments.Clear();
    return LayOutLines(Lines, fonts, scale,
                       [this](const TSegmentList& line, std::size_t first, std::size_t end) {
                           Segments.AppendFrom(line, first, end);
                       });
}

void TSegmentList::DropFront(std::size_t n) {
    items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(n));
    // Glyphs are appended in segment order: those before the first kept segment's are done with.
    std::size_t used = glyphs_.size();
    for (const TSegment& s : items_)
        if (s.GlyphCount > 0) used = std::min<std::size_t>(used, s.FirstGlyph);
    glyphs_.erase(glyphs_.begin(), glyphs_.begin() + static_cast<std::ptrdiff_t>(used));
    for (TSegment& s : items_)
        s.FirstGlyph = s.GlyphCount > 0 ? s.FirstGlyph - static_cast<uint32_t>(used) : 0;
}

void TSegmentList::AppendFrom(const TSegmentList& other, std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
        const std::span<const TShapedGlyph> glyphs = other.Glyphs(i);
        TSegment& s = items_.emplace_back(other.items_[i]);
        s.FirstGlyph = static_cast<uint32_t>(glyphs_.size());
        glyphs_.insert(glyphs_.end(), glyphs.begin(), glyphs.end());
    }
}

TTextBlockSize LayOutLines(const TLineStore& lines, const TObjList<TPDFFontRes>& fonts, double scale,
                           const TVisualLineSink& sink) {
    // The visual lines not yet handed on: the last may still be continued by the next written line.
    TSegmentList segments(lines);

    // Widths of each style's font; a block with any unmeasurable line is not wrapped.
    const std::vector<TLineStyle>& styles = lines.Styles();
    std::vector<TCharWidths> styleWidths;
    styleWidths.reserve(styles.size());
    bool measurable = true;
    for (const TLineStyle& style : styles) {
        if (style.StandardMetrics) {
            if (const auto* widths = StandardFontWidths(style.Font)) {
                styleWidths.emplace_back(*widths);
                continue;
            }
        }
        const TPDFFontRes* font = IsStandardFont(style.Font)
                                      ? nullptr
                                      : fonts.Item(static_cast<uint32_t>(style.Font - kStandardFontCount));
        if (!font) {
            measurable = false;
            break;
        }
        styleWidths.emplace_back(font->Font); // Unicode lines are shaped instead
    }
    const auto widthsOf = [&](std::size_t line) -> const TCharWidths& {
        return styleWidths[static_cast<std::size_t>(&lines.Style(line) - styles.data())];
    };

    // Line breaks are decided at natural size, so a block wraps the same way at
    // every scale and the writer can count its link pieces once.
    const double factor = scale / 100.0;

    TTextBlockSize size;
    size.Measurable = measurable;
    double advance = 0; // A: the distance added by the lines above
    double above = -1;  // the height of the line above; none yet
    // Trims and places visual line [first, end) of segments, then hands it on.
    const auto place = [&](std::size_t first, std::size_t end) {
        // Trailing spaces at the end of a visual line do not count.
        const std::string_view last = segments.Text(end - 1);
        if (measurable && !segments.At(end - 1).Shaped && HasNonSpace(last) && last.back() == ' ') {
            TSegment& s = segments.At(end - 1);
            s.Length = last.find_last_not_of(' ') + 1;
            s.Width =
                factor * NaturalWidth(segments.Text(end - 1), segments.Style(end - 1).Size, widthsOf(s.Line));
        }
        int32_t height = segments.Style(first).Size;
        double lineWidth = 0;
        for (std::size_t i = first; i < end; ++i) {
            height = std::max(height, segments.Style(i).Size);
            segments.At(i).XOffset = lineWidth;
            lineWidth += segments.At(i).Width;
        }
        if (above >= 0) advance += (1 + segments.Style(first).LineSpacing / 100.0) * above;
        above = height;
        for (std::size_t i = first; i < end; ++i) {
            segments.At(i).LineWidth = lineWidth;
            segments.At(i).YOffset = height + advance;
        }
        size.Width = std::max(size.Width, lineWidth);
        size.Height = height + advance;
        sink(segments, first, end);
    };
    bool started = false;    // a segment was made: later lines may continue it
    std::size_t open = 0;    // where the last visual line of segments starts
    std::size_t scanned = 0; // segments looked at for line starts
    // Hands on every complete visual line; with all, the last one too.
    const auto flush = [&](bool all) {
        for (; scanned < segments.size(); ++scanned)
            if (!segments.At(scanned).Continues) open = scanned;
        const std::size_t done = all ? segments.size() : open;
        for (std::size_t first = 0; first < done;) {
            std::size_t end = first + 1;
            while (end < done && segments.At(end).Continues) ++end;
            place(first, end);
            first = end;
        }
        if (done == 0) return;
        segments.DropFront(done);
        open -= std::min(open, done);
        scanned -= done;
    };

    // The Unicode paragraph that starts at line k, shaped; k moves to its last line.
    const auto paragraph = [&](std::size_t& k, bool continues, double width, bool wrap) {
        TParagraphFlow flow;
        flow.First = k;
        flow.Last = ParagraphEnd(lines, k);
        flow.Continues = continues;
        flow.Width = width;
        flow.Wrap = wrap;
        flow.Factor = factor;
        k = flow.Last - 1;
        return LayOutParagraph(lines, fonts, flow, segments);
    };
    if (measurable) {
        double w = 0; // running natural width of the current visual line
        for (std::size_t k = 0; k < lines.size(); ++k, flush(false)) {
            const TLineStyle& line = lines.Style(k);
            const bool continues = lines.Continues(k);
            if (line.Unicode) {
                w = paragraph(k, continues && w > 0 && (line.MaxWidth > w || line.MaxWidth <= 0), w, true);
                continue;
            }
            const TCharWidths& widths = widthsOf(k);
            const std::string_view text = lines.Text(k);
            const std::size_t base = lines.Start(k);
            const auto add = [&](std::size_t p, std::size_t end, bool more) -> TSegment& {
                TSegment s;
                s.Start = base + p;
                s.Length = end - p;
                s.Line = static_cast<uint32_t>(k);
                s.Continues = more;
                return segments.Add(s);
            };
            std::size_t p = 0;
            do {
                bool placed = false;
                TLineFit fit;
                if (continues && w > 0 && p == 0 && (line.MaxWidth > w || line.MaxWidth <= 0)) {
                    fit = FitLine(text, p, Available(line.MaxWidth - w, line.Size), widths);
                    if (fit.Fits) {
                        const double natural = NaturalWidth(text.substr(p, fit.End - p), line.Size, widths);
                        add(p, fit.End, true).Width = factor * natural;
                        w += natural;
                        placed = true;
                    } else {
                        w = 0;
                    }
                }
                if (!placed) {
                    fit = FitLine(text, p, Available(line.MaxWidth, line.Size), widths);
                    w = NaturalWidth(text.substr(p, fit.End - p), line.Size, widths);
                    add(p, fit.End, false).Width = factor * w;
                }
                p = fit.End;
                while (p < text.size() && text[p] == ' ') ++p;
            } while (p < text.size());
        }
    } else {
        // Continued lines run on in one segment; they are neighbours in the store's characters. Unicode
        // paragraphs are shaped, on one line each.
        for (std::size_t k = 0; k < lines.size(); ++k, started = true, flush(false)) {
            if (lines.Style(k).Unicode) {
                paragraph(k, lines.Continues(k) && started, 0, false);
                continue;
            }
            if (lines.Continues(k) && !segments.empty() && !segments.At(segments.size() - 1).Shaped) {
                TSegment& last = segments.At(segments.size() - 1);
                last.Length = lines.Start(k) + lines.Text(k).size() - last.Start;
            } else {
                TSegment s;
                s.Start = lines.Start(k);
                s.Length = lines.Text(k).size();
                s.Line = static_cast<uint32_t>(k);
                s.Continues = lines.Continues(k) && started;
                segments.Add(s);
            }
        }
    }
    flush(true);
    return size;
}

double TPDFTextRes::BlockHeight(const TObjList<TPDFFontRes>& fonts) {
    return ForEachVisualLine(fonts, 100, [](const TSegmentList&, std::size_t, std::size_t) {}).Height;
}

double TPDFTextRes::BlockWidth(const TObjList<TPDFFontRes>& fonts) {
    const TTextBlockSize size =
        ForEachVisualLine(fonts, 100, [](const TSegmentList&, std::size_t, std::size_t) {});
    return size.Measurable && size.Width > 0 ? size.Width : -1;
}

void TLaidOutBlocks::Place(const TPDFTextRes& text, double scale) {
    ++blocks_.try_emplace({&text, scale}, text.Lines).first->second.Draws;
}

TTextBlockSize TLaidOutBlocks::Read(const TPDFTextRes& text, const TObjList<TPDFFontRes>& fonts, double scale,
                                    const TVisualLineSink& sink, bool draw) {
    TBlock& block = blocks_.try_emplace({&text, scale}, text.Lines).first->second;
    if (draw && block.Draws > 0) --block.Draws;
    if (block.Kept) {
        for (const auto& [first, end] : block.Lines) sink(block.Segments, first, end);
        const TTextBlockSize size = block.Size;
        if (block.Draws == 0) { // nothing reads it again
            block.Segments.Release();
            std::vector<std::pair<std::size_t, std::size_t>>().swap(block.Lines);
            bytes_ -= block.Bytes;
            block.Kept = false;
        }
        return size;
    }
    if (block.Draws == 0 || block.TooBig) return text.ForEachVisualLine(fonts, scale, sink);

    const std::size_t room = maxBytes_ - std::min(bytes_, maxBytes_);
    std::size_t bytes = 0;
    bool fits = true;
    block.Size = text.ForEachVisualLine(
        fonts, scale, [&](const TSegmentList& segments, std::size_t first, std::size_t end) {
            sink(segments, first, end);
            if (!fits) return;
            for (std::size_t i = first; i < end; ++i)
                bytes += sizeof(TSegment) + segments.At(i).GlyphCount * sizeof(TShapedGlyph);
            bytes += sizeof(block.Lines[0]);
            fits = bytes <= room;
            if (!fits) {
                block.Segments.Release();
                std::vector<std::pair<std::size_t, std::size_t>>().swap(block.Lines);
                return;
            }
            const std::size_t at = block.Segments.size();
            block.Segments.AppendFrom(segments, first, end);
            block.Lines.emplace_back(at, block.Segments.size());
        });
    block.Kept = fits;
    block.TooBig = !fits;
    if (fits) {
        block.Bytes = bytes;
        bytes_ += bytes;
    }
    return block.Size;
}

} // namespace pagelith
