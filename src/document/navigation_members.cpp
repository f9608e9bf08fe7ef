#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "document/navigation.h"
#include "document/pagelith.h"

namespace pagelith {

namespace {

// A whole decimal number that fills text, or nothing.
template <class T> std::optional<T> WholeNumber(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> Decimal(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<TInternalLink> ParseInternalLink(std::string_view target) {
    if (target.empty() || target.front() != '#') return std::nullopt;
    target.remove_prefix(1);
    constexpr std::string_view kPage = "page=";
    constexpr std::string_view kY = "&y=";
    if (target.starts_with(kPage)) {
        std::string_view rest = target.substr(kPage.size());
        const std::size_t amp = rest.find('&');
        const auto page = WholeNumber<int32_t>(rest.substr(0, amp));
        std::optional<double> y;
        if (amp != std::string_view::npos) {
            y = rest.substr(amp).starts_with(kY) ? Decimal(rest.substr(amp + kY.size())) : std::nullopt;
            if (!y) return TInternalLink{0, std::nullopt, target}; // not a page link: a name
        }
        if (page && *page >= 1) return TInternalLink{*page, y, {}};
    }
    return TInternalLink{0, std::nullopt, target};
}

int32_t TPagelith::AddBookmark(std::u16string_view title, int32_t page, double y, int32_t level) {
    // A level nests under the latest entry one level up; deeper levels have no parent and are clamped.
    const int32_t deepest = Bookmarks.empty() ? 0 : Bookmarks.back().Level + 1;
    Bookmarks.push_back(TBookmark{std::u16string(title), page, static_cast<double>(ToPoints(y)),
                                  std::clamp(level, 0, deepest), false});
    return static_cast<int32_t>(Bookmarks.size());
}

bool TPagelith::GetBookmarkOpen(int32_t number) const {
    return number >= 1 && static_cast<std::size_t>(number) <= Bookmarks.size() &&
           Bookmarks[static_cast<std::size_t>(number) - 1].Open;
}

void TPagelith::SetBookmarkOpen(int32_t number, bool open) {
    if (number >= 1 && static_cast<std::size_t>(number) <= Bookmarks.size())
        Bookmarks[static_cast<std::size_t>(number) - 1].Open = open;
}

void TPagelith::AddDestination(std::string_view name, int32_t page, double y) {
    if (!name.empty())
        Destinations.insert_or_assign(std::string(name),
                                      TDestination{page, static_cast<double>(ToPoints(y))});
}

const TDestination* TPagelith::Destination(std::string_view name) const {
    const auto found = Destinations.find(name);
    return found == Destinations.end() ? nullptr : &found->second;
}

void TPagelith::SetPageMode(int32_t mode) {
    if (mode >= 0 && mode <= 2) PageMode = mode;
}

void TPagelith::SetOpenPage(int32_t page) {
    if (page >= 0) OpenPage = page;
}

void TPagelith::PageInserted(int32_t page) {
    for (TBookmark& b : Bookmarks)
        if (b.Page >= page) ++b.Page;
    for (auto& [name, d] : Destinations)
        if (d.Page >= page) ++d.Page;
}

std::string TPagelith::LinkTarget(std::string_view link) const {
    const auto internal = ParseInternalLink(link);
    if (!internal || !internal->Y) return std::string(link);
    char buffer[64];
    const auto points = static_cast<double>(ToPoints(*internal->Y));
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, points).ptr;
    return "#page=" + std::to_string(internal->Page) + "&y=" + std::string(buffer, end);
}

void TPagelith::ClearNavigation() {
    Bookmarks.clear();
    Destinations.clear();
}

} // namespace pagelith
