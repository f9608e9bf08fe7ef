// The committed type-library source must say what the member table says: same members, order,
// DISPIDs, parameters, types and help strings, and the GUIDs of automation/guids.h.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "automation/member_reference.h"
#include "automation/member_table.h"

namespace {

std::string ReadSource(const std::string& relative) {
    std::ifstream in(std::string(PAGELITH_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string& Idl() {
    static const std::string text = ReadSource("src/platform/windows/PagelithASP.idl");
    return text;
}

// The GUIDs listed in guids.h as "// GUID <name> {<value>}".
std::map<std::string, std::string> HeaderGuids() {
    std::map<std::string, std::string> guids;
    const std::string header = ReadSource("src/automation/guids.h");
    const std::regex line(R"(// GUID (\w+) \{([0-9A-Fa-f-]{36})\})");
    for (auto it = std::sregex_iterator(header.begin(), header.end(), line); it != std::sregex_iterator();
         ++it)
        guids[(*it)[1]] = (*it)[2];
    return guids;
}

// The uuid(...) of the attribute block right before `keyword name`.
std::string UuidBefore(const std::string& keyword, const std::string& name) {
    const std::regex block("uuid\\(([0-9A-Fa-f-]{36})\\)[^\\]]*\\]\\s*" + keyword + "\\s+" + name + "\\b");
    std::smatch m;
    return std::regex_search(Idl(), m, block) ? m[1].str() : std::string();
}

// IPDFSvrDoc's block is marked "members", a later interface's "members <name>".
TEST(IdlDrift, MemberDeclarationsMatchTheMemberTable) {
    const std::string& idl = Idl();
    ASSERT_FALSE(idl.empty()) << "PagelithASP.idl not found";
    for (const pagelith::TInterfaceInfo& info : pagelith::kInterfaces) {
        SCOPED_TRACE(std::string(info.Name));
        const std::string suffix = &info == &pagelith::kDocInterface ? "" : " " + std::string(info.Name);
        const std::string begin = "    // BEGIN members" + suffix + "\n";
        const std::string end = "    // END members" + suffix + "\n";
        const auto from = idl.find(begin);
        const auto to = idl.find(end);
        ASSERT_NE(from, std::string::npos);
        ASSERT_NE(to, std::string::npos);
        ASSERT_LT(from, to);
        ASSERT_EQ(idl.find(begin, from + 1), std::string::npos) << "one member block only";
        const std::string committed = idl.substr(from + begin.size(), to - from - begin.size());
        // On a mismatch the expected text is the block to paste into the IDL.
        EXPECT_EQ(committed, pagelith::IdlMemberDeclarations(info));
        // The block sits in the body of its own interface.
        const auto body =
            idl.rfind("interface " + std::string(info.Name) + " : " + std::string(info.Base), from);
        ASSERT_NE(body, std::string::npos);
        EXPECT_GT(idl.find("};", body), to) << "the interface closes before its block ends";
    }
}

TEST(IdlDrift, LibraryInterfaceAndCoclassAttributes) {
    const auto guids = HeaderGuids();
    ASSERT_EQ(guids.size(), 4u);
    EXPECT_EQ(UuidBefore("library", "PagelithASP"), guids.at("LIBID_PagelithASP"));
    EXPECT_EQ(UuidBefore("interface", "IPDFSvrDoc"), guids.at("IID_IPDFSvrDoc"));
    EXPECT_EQ(UuidBefore("interface", "IPDFSvrDoc2"), guids.at("IID_IPDFSvrDoc2"));
    EXPECT_EQ(UuidBefore("coclass", "PDFSvrDoc"), guids.at("CLSID_PDFSvrDoc"));

    const std::string& idl = Idl();
    EXPECT_TRUE(std::regex_search(
        idl, std::regex(R"(version\(PAGELITH_VERSION\),\s*lcid\(0x0409\),\s*)"
                        R"(helpstring\("PagelithASP Library"\)\s*\]\s*library PagelithASP)")));
    EXPECT_TRUE(std::regex_search(
        idl, std::regex(R"(helpstring\("Dispatch interface for PDFSvrDoc Object"\),\s*)"
                        R"(dual,\s*oleautomation\s*\]\s*interface IPDFSvrDoc : IDispatch)")));
    EXPECT_TRUE(std::regex_search(
        idl, std::regex(R"(helpstring\("Dispatch interface for PDFSvrDoc Object, second version"\),\s*)"
                        R"(dual,\s*oleautomation\s*\]\s*interface IPDFSvrDoc2 : IPDFSvrDoc)")));
    EXPECT_TRUE(std::regex_search(
        idl,
        std::regex(
            R"(helpstring\("PDFSvrDoc Object"\)\s*\]\s*coclass PDFSvrDoc\s*\{\s*\[default\] interface IPDFSvrDoc2;\s*\};)")));
}

} // namespace

// docs/members.md is generated; a change of the member table or of the code tables must be followed
// by regenerating it (`pagelith_idlgen --markdown > docs/members.md`).
TEST(IdlDrift, MemberReferenceMatchesTheMemberTable) {
    const std::string committed = ReadSource("docs/members.md");
    ASSERT_FALSE(committed.empty()) << "docs/members.md not found";
    EXPECT_EQ(committed, pagelith::MemberReferenceMarkdown());
    for (const pagelith::TMemberInfo& m : pagelith::kMembers)
        EXPECT_NE(committed.find("### " + std::string(m.Name) + "\n"), std::string::npos) << m.Name;
}
