#include <gtest/gtest.h>

#include "document/navigation.h"
#include "document/pagelith.h"

namespace pagelith {
namespace {

TEST(NavigationMembers, InternalLinks) {
    const struct {
        const char* Target;
        bool Internal;
        int32_t Page;
        double Y; // -1: none
        const char* Name;
    } cases[] = {
        {"#page=3", true, 3, -1, ""},
        {"#page=3&y=100.5", true, 3, 100.5, ""},
        {"#chapter-2", true, 0, -1, "chapter-2"},
        {"#page=0", true, 0, -1, "page=0"},
        {"#page=2&y=top", true, 0, -1, "page=2&y=top"},
        {"#page=2&z=1", true, 0, -1, "page=2&z=1"},
        {"http://example.com/#page=2", false, 0, -1, ""},
        {"", false, 0, -1, ""},
    };
    for (const auto& c : cases) {
        const auto link = ParseInternalLink(c.Target);
        ASSERT_EQ(link.has_value(), c.Internal) << c.Target;
        if (!link) continue;
        EXPECT_EQ(link->Page, c.Page) << c.Target;
        EXPECT_EQ(link->Y.value_or(-1), c.Y) << c.Target;
        EXPECT_EQ(link->Name, c.Name) << c.Target;
    }
}

// Bookmarks and destinations follow their page as pages go in before it; appending moves nothing.
TEST(NavigationMembers, EntriesFollowInsertedPagesAndGoWithThem) {
    TPagelith doc;
    for (int i = 0; i < 3; ++i) doc.AddPage(0);
    doc.AddBookmark(u"a", 1, 0, 0);
    doc.AddBookmark(u"b", 3, 0, 0);
    doc.AddDestination("c", 2, 0);
    doc.AddDestination("c", 3, 0); // defined again: moves
    const struct {
        int32_t Insert;
        int32_t A, B, C;
    } steps[] = {{0, 1, 3, 3}, {2, 1, 4, 4}, {1, 2, 5, 5}, {6, 2, 5, 5}, {5, 2, 6, 6}};
    for (const auto& s : steps) {
        doc.AddPage(s.Insert);
        EXPECT_EQ(doc.Bookmarks[0].Page, s.A) << s.Insert;
        EXPECT_EQ(doc.Bookmarks[1].Page, s.B) << s.Insert;
        ASSERT_EQ(doc.Destinations.size(), 1u);
        EXPECT_EQ(doc.Destination("c")->Page, s.C) << s.Insert;
    }
    doc.DeleteAllPages();
    EXPECT_TRUE(doc.Bookmarks.empty() && doc.Destinations.empty());
    doc.AddBookmark(u"a", 1, 0, 0);
    doc.AddDestination("c", 1, 0);
    doc.Clear();
    EXPECT_TRUE(doc.Bookmarks.empty() && doc.Destinations.empty());
}

} // namespace
} // namespace pagelith
