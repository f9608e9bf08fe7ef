// File names that name a FIFO, a device or a folder: the members that read files answer at once
// (a FIFO opened for reading would wait for a writer for ever) and read nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "script_host.h"

namespace pagelith::test {
namespace {

namespace fs = std::filesystem;

TEST(SpecialFiles, FileMembersRefuseWhatIsNotARegularFile) {
    const fs::path dir = fs::path(PAGELITH_TEST_OUTPUT_DIR) / "special_files";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TScriptObject doc;
    for (const std::u16string& name : {fifo.u16string(), dir.u16string(), std::u16string(u"/dev/zero")}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const TCall font = doc.Call(u"AddFont", {Str(name)});
        EXPECT_EQ(font.Hr, S_OK);
        EXPECT_EQ(font.Long(), 0);
        EXPECT_LT(doc.Call(u"AddImageFile", {Str(name)}).Hr, 0);
        EXPECT_LT(doc.Get(u"ImageCount", {Str(name)}).Hr, 0);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
}

} // namespace
} // namespace pagelith::test
