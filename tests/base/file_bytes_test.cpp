// Whole-file reads of names a script supplies: only regular files are read, and never past the bound.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/file_bytes.h"

namespace pagelith {
namespace {

namespace fs = std::filesystem;

class FileBytes : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test: CTest runs the tests of this fixture side by side.
        dir_ = fs::path(PAGELITH_TEST_OUTPUT_DIR) / "file_bytes" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    fs::path dir_;
};

TEST_F(FileBytes, ReadsRegularFilesWhole) {
    const std::string bytes("\0\x01\xFF text\r\n", 10);
    const TFileBytes file = ReadRegularFile(Write("a.bin", bytes), 100);
    ASSERT_EQ(file.Status, TFileReadStatus::Ok);
    EXPECT_EQ(std::string(file.Bytes.begin(), file.Bytes.end()), bytes);
    EXPECT_EQ(ReadRegularFile(Write("empty", ""), 0).Status, TFileReadStatus::Ok);
    EXPECT_TRUE(IsRegularFile(Path("a.bin")));

    // A buffer handed in is read into, whatever it held; its storage serves the next file.
    std::vector<uint8_t> buffer(4096, 0xAA);
    const uint8_t* storage = buffer.data();
    TFileBytes again = ReadRegularFile(Path("a.bin"), 100, std::move(buffer));
    EXPECT_EQ(std::string(again.Bytes.begin(), again.Bytes.end()), bytes);
    EXPECT_EQ(again.Bytes.data(), storage);
    EXPECT_TRUE(ReadRegularFile(Path("missing"), 100, std::move(again.Bytes)).Bytes.empty());
}

// Each kind of name that is not a readable regular file, with what the reader reports.
TEST_F(FileBytes, RefusesWhatIsNotARegularFile) {
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(Path("folder"));
    const std::string link = Path("link");
    fs::create_symlink(Path("a.bin"), link);
    Write("a.bin", "xyz");
    const struct {
        std::string Name;
        TFileReadStatus Status;
        bool Regular;
    } cases[] = {
        {"", TFileReadStatus::NotFound, false},
        {Path("missing"), TFileReadStatus::NotFound, false},
        {Path("a.bin") + std::string(1, '\0') + "x", TFileReadStatus::NotFound, false},
        {Path("folder"), TFileReadStatus::NotRegular, false},
        {Path("folder") + "/", TFileReadStatus::NotRegular, false},
        {fifo, TFileReadStatus::NotRegular, false}, // would block for ever if opened for reading
        {"/dev/null", TFileReadStatus::NotRegular, false},
        {"/dev/zero", TFileReadStatus::NotRegular, false}, // would never end if read
        {link, TFileReadStatus::Ok, true},                 // a link to a regular file is that file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TFileBytes file = ReadRegularFile(c.Name, kMaxFontFileBytes);
        EXPECT_EQ(file.Status, c.Status);
        EXPECT_EQ(IsRegularFile(c.Name), c.Regular);
        if (c.Status != TFileReadStatus::Ok) {
            EXPECT_TRUE(file.Bytes.empty());
        }
    }
}

// The size is judged before reading: a sparse file far beyond the bound costs nothing.
TEST_F(FileBytes, SizeBoundComesBeforeReading) {
    const std::string name = Write("sparse", "");
    fs::resize_file(name, kMaxFontFileBytes + 1);
    EXPECT_EQ(ReadRegularFile(name, kMaxFontFileBytes).Status, TFileReadStatus::TooLarge);
    fs::resize_file(name, kMaxImageFileBytes + 1);
    EXPECT_EQ(ReadRegularFile(name, kMaxImageFileBytes).Status, TFileReadStatus::TooLarge);
    const std::string exact = Write("exact", std::string(64, 'a'));
    EXPECT_EQ(ReadRegularFile(exact, 64).Status, TFileReadStatus::Ok);
    EXPECT_EQ(ReadRegularFile(exact, 63).Status, TFileReadStatus::TooLarge);
}

TEST_F(FileBytes, UnreadableFileIsNotFoundOrFailed) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const std::string name = Write("locked", "abc");
    fs::permissions(name, fs::perms::none);
    EXPECT_EQ(ReadRegularFile(name, 10).Status, TFileReadStatus::Failed);
}

} // namespace
} // namespace pagelith
