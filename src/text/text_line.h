// One written line of a text resource, or one laid-out segment of it.
#pragma once

#include <cstdint>
#include <string>

namespace pagelith {

struct TTextLine {
    std::string Text;
    int32_t Size = 0;
    int32_t Font = 0;
    uint32_t Color = 0;
    double LineSpacing = 0;
    double MaxWidth = -1;
    double SkewX = 0;
    double SkewY = 0;
    std::string Link;
    bool LinkBorder = false;
    bool Underline = false;
    bool Continues = false;
    // Layout results, meaningful in segments only.
    double Width = 0;
    double YOffset = 0;
    double LineWidth = 0;
    double XOffset = 0;
};

} // namespace pagelith
