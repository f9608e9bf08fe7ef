// SaveToFile replaces its target in one step: a save that fails, whatever the cause, leaves the old
// file byte for byte and no temporary file behind; names that are not regular files are refused.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "base/pdf_error.h"
#include "document/pagelith.h"
#include "output/save_to_file.h"
#include "support/pdf_check.h"

namespace pagelith::test {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The message of the EPDFError a save raises, or "" when it succeeds.
std::string SaveError(TPagelith& doc, const std::string& name) {
    try {
        SaveToFile(doc, Wide(name));
    } catch (const EPDFError& e) {
        return e.what();
    }
    return "";
}

class AtomicSave : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test: CTest runs the tests of this fixture side by side.
        dir_ = fs::path(PAGELITH_TEST_OUTPUT_DIR) / "atomic_save" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        doc_.AddPage(0);
        doc_.Title = u"new";
    }
    // A good file from an earlier save, to be kept or replaced.
    std::string OldFile(const std::string& name) {
        TPagelith old;
        old.AddPage(0);
        old.Title = u"old";
        SaveToFile(old, Wide((dir_ / name).string()));
        return ReadAll(dir_ / name);
    }
    fs::path dir_;
    TPagelith doc_;
};

TEST_F(AtomicSave, ReplacesTheOldFileAndLeavesNothingElse) {
    const std::string old = OldFile("doc.pdf");
    ASSERT_NE(old.find("(old)"), std::string::npos);
    fs::permissions(dir_ / "doc.pdf", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(SaveError(doc_, (dir_ / "doc").string()), "");
    const std::string written = ReadAll(dir_ / "doc.pdf");
    EXPECT_NE(written.find("(new)"), std::string::npos);
    EXPECT_TRUE(testing::ReadersAccept("atomic-save.pdf", written));
    EXPECT_EQ(Listing(dir_), std::vector<std::string>{"doc.pdf"});
    // The replaced file keeps its permissions.
    EXPECT_EQ(fs::status(dir_ / "doc.pdf").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Memory runs out while the file is built: the old file stays as it was, byte for byte.
TEST_F(AtomicSave, FailureWhileBuildingKeepsTheOldFile) {
    const std::string old = OldFile("doc.pdf");
    doc_.Clock = []() -> std::time_t { throw std::bad_alloc(); }; // the writer asks it late
    EXPECT_THROW(SaveToFile(doc_, Wide((dir_ / "doc.pdf").string())), std::bad_alloc);
    EXPECT_EQ(ReadAll(dir_ / "doc.pdf"), old);
    EXPECT_EQ(Listing(dir_), std::vector<std::string>{"doc.pdf"});
    // Without an old file, nothing at all appears.
    EXPECT_THROW(SaveToFile(doc_, Wide((dir_ / "fresh.pdf").string())), std::bad_alloc);
    EXPECT_EQ(Listing(dir_), std::vector<std::string>{"doc.pdf"});
}

// A link is saved through: its target is replaced and the link stays a link.
TEST_F(AtomicSave, SymbolicLinkIsSavedThrough) {
    OldFile("real.pdf");
    fs::create_symlink(dir_ / "real.pdf", dir_ / "link.pdf");
    EXPECT_EQ(SaveError(doc_, (dir_ / "link.pdf").string()), "");
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.pdf"));
    EXPECT_NE(ReadAll(dir_ / "real.pdf").find("(new)"), std::string::npos);
}

// Names without a base name, and targets that are not regular files, are refused at once: nothing
// blocks, nothing is written, and what was there stays.
TEST_F(AtomicSave, RefusedNames) {
    const fs::path fifo = dir_ / "pipe.pdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder.pdf");
    const struct {
        std::string Name;
        std::string Message;
    } cases[] = {
        {"", "Cannot create file \".pdf\". Invalid argument"},
        {(dir_ / "").string(), "Cannot create file \"" + (dir_ / ".pdf").string() + "\". Invalid argument"},
        {fifo.string(), "Cannot create file \"" + fifo.string() + "\". Invalid argument"},
        {(dir_ / "folder.pdf").string(),
         "Cannot create file \"" + (dir_ / "folder.pdf").string() + "\". Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(SaveError(doc_, c.Name), c.Message);
    }
    EXPECT_FALSE(fs::exists(".pdf"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(dir_ / "folder.pdf"));
    EXPECT_EQ(Listing(dir_), (std::vector<std::string>{"folder.pdf", "pipe.pdf"}));
    // A document without pages writes nothing and raises nothing, whatever the name.
    TPagelith empty;
    EXPECT_EQ(SaveError(empty, ""), "");
}

// The disk fills up half-way through the new file: the old one survives whole.
TEST_F(AtomicSave, FullDiskKeepsTheOldFile) {
    const fs::path small = dir_ / "small";
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
    struct TUnmount {
        fs::path Dir;
        ~TUnmount() { ::umount2(Dir.c_str(), MNT_DETACH); }
    } unmount{small};
    TPagelith old;
    old.AddPage(0);
    old.Title = std::u16string(100 * 1024, u'o'); // the Information dictionary is not compressed
    ASSERT_EQ(SaveError(old, (small / "doc.pdf").string()), "");
    const std::string before = ReadAll(small / "doc.pdf");
    ASSERT_GT(before.size(), 100u * 1024);

    doc_.Title = std::u16string(200 * 1024, u'n'); // with the old file, more than 256 KiB
    const std::string error = SaveError(doc_, (small / "doc.pdf").string());
    EXPECT_EQ(error, "Cannot write file \"" + (small / "doc.pdf").string() + "\". No space left on device");
    EXPECT_EQ(ReadAll(small / "doc.pdf"), before);
    EXPECT_EQ(Listing(small), std::vector<std::string>{"doc.pdf"});
}

} // namespace
} // namespace pagelith::test
