// Layout of Unicode text: a paragraph is shaped, its embedding levels resolved and its lines broken
// where the line breaking rules allow, by shaped widths; then each line is shaped again run by run
// and its runs are put in the order they are shown.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/obj_list.h"
#include "fonts/font_res.h"
#include "text/text_line.h"

namespace pagelith {

struct TParagraphFlow {
    // Written lines [First, Last) of the store: Unicode lines, each after the first continuing the one
    // before.
    std::size_t First = 0;
    std::size_t Last = 0;
    // The paragraph starts on the visual line before it, after Width points of natural width.
    bool Continues = false;
    double Width = 0;
    // Lines break at their maximum widths; false keeps each paragraph on one line.
    bool Wrap = true;
    // Widths in the segments are natural widths times this.
    double Factor = 1;
};

// Appends the paragraph's segments, each visual line's from the left, and returns the natural
// width of its last visual line.
double LayOutParagraph(const TLineStore& lines, const TObjList<TPDFFontRes>& fonts,
                       const TParagraphFlow& flow, TSegmentList& out);

// The natural width of a line of Unicode text in a style, shaped, in points.
double ShapedWidth(const TObjList<TPDFFontRes>& fonts, const TLineStyle& style, std::string_view utf8);

} // namespace pagelith
