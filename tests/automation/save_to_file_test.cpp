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
#include "output/native_text.h"
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
        SaveToFile(doc, NativeTextToWide(name));
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

// A link is saved through to the file at the end of its chain (relative links count from the link's
// folder), which need not exist yet; every link stays as it was. A loop is refused.
TEST_F(AtomicSave, SymbolicLinksAreSavedThrough) {
    OldFile("real.pdf");
    fs::create_directory(dir_ / "sub");
    const struct {
        std::vector<std::pair<std::string, std::string>> Links; // name -> what it holds
        std::string Saved;                                      // the name given to SaveToFile
        std::string Written;                                    // the file that gets the document; "" none
    } cases[] = {
        {{{"link.pdf", (dir_ / "real.pdf").string()}}, "link.pdf", "real.pdf"},
        {{{"dangling.pdf", (dir_ / "absent.pdf").string()}}, "dangling.pdf", "absent.pdf"},
        {{{"sub/relative.pdf", "../made.pdf"}}, "sub/relative.pdf", "made.pdf"},
        {{{"a.pdf", "b.pdf"}, {"b.pdf", "sub/c.pdf"}}, "a.pdf", "sub/c.pdf"},
        {{{"x.pdf", "y.pdf"}, {"y.pdf", "x.pdf"}}, "x.pdf", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Saved);
        for (const auto& [name, to] : c.Links) fs::create_symlink(to, dir_ / name);
        const std::string error = SaveError(doc_, (dir_ / c.Saved).string());
        EXPECT_EQ(error, c.Written.empty() ? "Cannot create file \"" + (dir_ / c.Saved).string() +
                                                 "\". Too many levels of symbolic links"
                                           : "");
        for (const auto& [name, to] : c.Links) EXPECT_EQ(fs::read_symlink(dir_ / name), to);
        if (!c.Written.empty()) {
            EXPECT_NE(ReadAll(dir_ / c.Written).find("(new)"), std::string::npos);
        }
    }
    EXPECT_EQ(Listing(dir_),
              (std::vector<std::string>{"a.pdf", "absent.pdf", "b.pdf", "dangling.pdf", "link.pdf",
                                        "made.pdf", "real.pdf", "sub", "x.pdf", "y.pdf"}));
    EXPECT_EQ(Listing(dir_ / "sub"), (std::vector<std::string>{"c.pdf", "relative.pdf"}));
}

// Every name the file system takes can be saved to, whatever room the temporary file's name needs;
// one byte more is refused by the file system itself.
TEST_F(AtomicSave, NamesUpToTheLimit) {
    const auto ascii = [](std::size_t bytes) { return std::string(bytes - 4, 'n') + ".pdf"; };
    const auto repeat = [](const std::string& piece, std::size_t times) {
        std::string s;
        for (std::size_t i = 0; i < times; ++i) s += piece;
        return s;
    };
    const struct {
        std::string Name;
        std::string Reason; // "" when the save succeeds
    } cases[] = {
        {"n.pdf", ""},
        {ascii(200), ""},
        {ascii(241), ""},
        {ascii(250), ""},
        {ascii(255), ""},
        {repeat("\xC3\xA9", 125) + ".pdf", ""},           // é: 254 bytes
        {repeat("\xE2\x82\xAC", 83) + "x.pdf", ""},       // €: 254 bytes, 87 characters
        {repeat("\xF0\x9F\x98\x80", 62) + "xyz.pdf", ""}, // an emoji: 255 bytes
        {ascii(256), "File name too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name.size());
        const fs::path path = dir_ / c.Name;
        const std::string error = SaveError(doc_, path.string());
        EXPECT_EQ(error, c.Reason.empty() ? "" : "Cannot create file \"" + path.string() + "\". " + c.Reason);
        EXPECT_EQ(Listing(dir_),
                  c.Reason.empty() ? std::vector<std::string>{c.Name} : std::vector<std::string>{});
        if (c.Reason.empty()) {
            EXPECT_TRUE(testing::ReadersAccept("long-name.pdf", ReadAll(path)));
            fs::remove(path);
        }
    }
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
