// Outline entries, named destinations and links inside the document.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pagelith {

// An outline entry: a title shown at a level of the tree, leading to a height on a page.
struct TBookmark {
    std::u16string Title;
    int32_t Page = 0;
    double Top = 0; // points, upward from the bottom edge
    int32_t Level = 0;
    bool Open = false;
};

// A named place; the name is its key in the document's map.
struct TDestination {
    int32_t Page = 0;
    double Top = 0; // points
};

// A link target that stays in the document: "#page=N", "#page=N&y=Y" or "#name" for a named
// destination. Y is in the document's units as given, and in points once stored (LinkTarget).
struct TInternalLink {
    int32_t Page = 0; // 0 for a named destination
    std::optional<double> Y;
    std::string_view Name;
};

// Any target starting with '#' is internal; others are URIs and give nothing.
std::optional<TInternalLink> ParseInternalLink(std::string_view target);

} // namespace pagelith
