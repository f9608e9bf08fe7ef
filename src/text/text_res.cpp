#include "text/text_res.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "fonts/font_res.h"
#include "fonts/standard_fonts.h"
#include "text/line_fit.h"

namespace pagelith {

namespace {

using TWidths = std::array<uint16_t, 256>;

// A segment: the line's attributes with a piece of its text. Built field by
// field so that a long line is never copied once per piece.
TTextLine MakeSegment(const TTextLine& line, std::string_view piece, bool continues) {
    TTextLine s;
    s.Text.assign(piece);
    s.Size = line.Size;
    s.Font = line.Font;
    s.Color = line.Color;
    s.LineSpacing = line.LineSpacing;
    s.MaxWidth = line.MaxWidth;
    s.SkewX = line.SkewX;
    s.SkewY = line.SkewY;
    s.Link = line.Link;
    s.LinkBorder = line.LinkBorder;
    s.Underline = line.Underline;
    s.Continues = continues;
    return s;
}

uint64_t StringWidth(std::string_view text, const TWidths& widths) {
    uint64_t sum = 0;
    for (char c : text) sum += widths[static_cast<uint8_t>(c)];
    return sum;
}

// Width at natural size, in points.
double NaturalWidth(const TTextLine& s, const TWidths& widths) {
    return s.Size * static_cast<double>(StringWidth(s.Text, widths)) / 1000.0;
}

// Available width in thousandths of the size. A size of 0 or less cannot be
// divided by, and such a line is not wrapped.
double Available(double width, int32_t size) {
    return size > 0 ? width * 1000.0 / size : 0.0;
}

bool HasNonSpace(std::string_view text) {
    return text.find_first_not_of(' ') != std::string_view::npos;
}

} // namespace

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

void TPDFTextRes::StartLine(std::string_view link, bool append, bool linkBorder) {
    if (Lines.capacity() == 0) Lines.reserve(16);
    TTextLine& line = Lines.emplace_back();
    line.Font = Font;
    line.Size = Size;
    line.Color = Color;
    line.LineSpacing = LineSpacing;
    line.MaxWidth = MaxWidth;
    line.SkewX = SkewX;
    line.SkewY = SkewY;
    line.Link.assign(link);
    line.LinkBorder = linkBorder;
    line.Underline = !IsStandardFont(Font) && Underline;
    line.Continues = append;
}

void TPDFTextRes::AddText(std::string_view text, std::string_view link, bool append, bool linkBorder) {
    // Standard fonts cannot be measured, so they carry no links.
    if (IsStandardFont(Font)) link = {};
    if (!link.empty() && (Lines.empty() || Lines.back().Link != link)) ++LinkCount;
    StartLine(link, append, linkBorder);

    // Breaks are rare: find each kind with memchr rather than testing every byte.
    const auto next = [&](char c, std::size_t from) {
        const void* p = from < text.size() ? std::memchr(text.data() + from, c, text.size() - from) : nullptr;
        return p ? static_cast<std::size_t>(static_cast<const char*>(p) - text.data()) : text.size();
    };
    std::size_t cr = next('\r', 0), lf = next('\n', 0);
    std::size_t run = 0; // start of the bytes not yet copied
    while (cr < text.size() || lf < text.size()) {
        const std::size_t i = std::min(cr, lf);
        Lines.back().Text.append(text.substr(run, i - run));
        run = i + 1;
        if (i == cr) {
            StartLine(link, append, linkBorder);
            cr = next('\r', run);
            if (lf == run && lf < text.size()) { // CR LF is one break
                ++run;
                lf = next('\n', run);
            }
        } else {
            StartLine(link, append, linkBorder);
            lf = next('\n', run);
        }
    }
    Lines.back().Text.append(text.substr(run));
    if (!text.empty() && IsStandardFont(Font)) Alignment = 0;
}

void TPDFTextRes::SetAlignment(uint8_t alignment) {
    const bool standard =
        std::any_of(Lines.begin(), Lines.end(), [](const TTextLine& l) { return IsStandardFont(l.Font); });
    Alignment = standard ? 0 : alignment;
}

TTextBlockSize TPDFTextRes::Layout(const TObjList<TPDFFontRes>& fonts, double scale) {
    Segments.clear();
    Segments.reserve(Lines.size());

    // Widths of each line's font; a block with any unmeasurable line is not wrapped.
    std::vector<const TWidths*> lineWidths;
    lineWidths.reserve(Lines.size());
    bool measurable = true;
    for (const TTextLine& line : Lines) {
        const TPDFFontRes* font = IsStandardFont(line.Font)
                                      ? nullptr
                                      : fonts.Item(static_cast<uint32_t>(line.Font - kStandardFontCount));
        if (!font) {
            measurable = false;
            break;
        }
        lineWidths.push_back(&font->Font.Widths());
    }

    // Line breaks are decided at natural size, so a block wraps the same way at
    // every scale and the writer can count its link pieces once.
    const double factor = scale / 100.0;
    if (measurable) {
        double w = 0; // running natural width of the current visual line
        for (std::size_t k = 0; k < Lines.size(); ++k) {
            const TTextLine& line = Lines[k];
            const TWidths& widths = *lineWidths[k];
            const std::string_view text = line.Text;
            std::size_t p = 0;
            do {
                bool placed = false;
                TLineFit fit;
                if (line.Continues && w > 0 && p == 0 && (line.MaxWidth > w || line.MaxWidth <= 0)) {
                    fit = FitLine(text, p, Available(line.MaxWidth - w, line.Size), widths);
                    if (fit.Fits) {
                        TTextLine& s =
                            Segments.emplace_back(MakeSegment(line, text.substr(p, fit.End - p), true));
                        const double natural = NaturalWidth(s, widths);
                        s.Width = factor * natural;
                        w += natural;
                        placed = true;
                    } else {
                        w = 0;
                    }
                }
                if (!placed) {
                    fit = FitLine(text, p, Available(line.MaxWidth, line.Size), widths);
                    TTextLine& s =
                        Segments.emplace_back(MakeSegment(line, text.substr(p, fit.End - p), false));
                    w = NaturalWidth(s, widths);
                    s.Width = factor * w;
                }
                p = fit.End;
                while (p < text.size() && text[p] == ' ') ++p;
            } while (p < text.size());
        }
    } else {
        for (const TTextLine& line : Lines) {
            if (line.Continues && !Segments.empty())
                Segments.back().Text.append(line.Text);
            else
                Segments.push_back(MakeSegment(line, line.Text, false));
        }
    }

    // Trailing spaces at the end of each visual line do not count.
    if (measurable) {
        for (std::size_t i = 0; i < Segments.size(); ++i) {
            const bool lastOfLine = i + 1 == Segments.size() || !Segments[i + 1].Continues;
            TTextLine& s = Segments[i];
            if (!lastOfLine || !HasNonSpace(s.Text) || s.Text.back() != ' ') continue;
            s.Text.erase(s.Text.find_last_not_of(' ') + 1);
            const TPDFFontRes* font = fonts.Item(static_cast<uint32_t>(s.Font - kStandardFontCount));
            s.Width = factor * NaturalWidth(s, font->Font.Widths());
        }
    }

    // Visual lines: offsets within the line, then the baselines from the top.
    TTextBlockSize size;
    size.Measurable = measurable;
    double advance = 0; // A: the distance added by the lines above
    for (std::size_t first = 0; first < Segments.size();) {
        std::size_t end = first + 1;
        while (end < Segments.size() && Segments[end].Continues) ++end;
        int32_t height = Segments[first].Size;
        double lineWidth = 0;
        for (std::size_t i = first; i < end; ++i) {
            height = std::max(height, Segments[i].Size);
            Segments[i].XOffset = lineWidth;
            lineWidth += Segments[i].Width;
        }
        for (std::size_t i = first; i < end; ++i) {
            Segments[i].LineWidth = lineWidth;
            Segments[i].YOffset = height + advance;
        }
        size.Width = std::max(size.Width, lineWidth);
        size.Height = height + advance;
        if (end < Segments.size()) advance += (1 + Segments[end].LineSpacing / 100.0) * height;
        first = end;
    }
    return size;
}

double TPDFTextRes::BlockHeight(const TObjList<TPDFFontRes>& fonts) {
    return Layout(fonts, 100).Height;
}

double TPDFTextRes::BlockWidth(const TObjList<TPDFFontRes>& fonts) {
    const TTextBlockSize size = Layout(fonts, 100);
    return size.Measurable && size.Width > 0 ? size.Width : -1;
}

} // namespace pagelith
