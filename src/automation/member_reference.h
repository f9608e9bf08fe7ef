// The user-facing member reference (docs/members.md), derived from the member table and the
// document's own code tables so that it cannot drift from them.
#pragma once

#include <string>

namespace pagelith {

std::string MemberReferenceMarkdown();

} // namespace pagelith
