// The picture-data spool on Windows: a file in the user's temporary folder that nobody else can
// open and that is gone once the document is.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_spool.h"
#include "base/held_bytes.h"
#include "document/pagelith.h"
#include "images/image_res.h"
#include "pdf/pdf_writer.h"
#include "support/spool_data.h"

namespace pagelith {
namespace {

namespace fs = std::filesystem;

// TMP names the temporary folder for the scope of one test.
class TTemporaryFolder {
public:
    explicit TTemporaryFolder(const std::wstring& folder) {
        GetEnvironmentVariableW(L"TMP", old_, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~TTemporaryFolder() { SetEnvironmentVariableW(L"TMP", old_[0] ? old_ : nullptr); }

private:
    wchar_t old_[MAX_PATH] = {};
};

std::size_t FilesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ByteSpool, LivesInTheTemporaryFolderOnlyWhileItIsUsed) {
    const fs::path folder = fs::temp_directory_path() / "pagelith-spool-check";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const TTemporaryFolder tmp(folder.wstring() + L"\\");
    {
        THeldBytes held;
        {
            const auto spool = TByteSpool::Open();
            ASSERT_NE(spool, nullptr);
            EXPECT_EQ(FilesIn(folder), 1u);
            held = THeldBytes::Keep(testing::PatternBytes(300000), spool);
            ASSERT_TRUE(held.Spooled());
        }
        EXPECT_EQ(held.Bytes(), testing::PatternBytes(300000)); // the held range keeps the spool open
        EXPECT_EQ(FilesIn(folder), 1u);
    }
    EXPECT_EQ(FilesIn(folder), 0u);
    fs::remove_all(folder);
}

TEST(ByteSpool, AMissingTemporaryFolderKeepsPicturesInMemory) {
    std::string spooled, held;
    for (const bool missing : {false, true}) {
        std::optional<TTemporaryFolder> tmp;
        if (missing) tmp.emplace(L"C:\\nonexistent-folder\\for-the-spool\\");
        TPagelith doc;
        doc.Clock = [] { return std::time_t{1000000000}; };
        doc.UseSourceCompression = true;
        doc.AddPage(0);
        const int32_t image = doc.AddImageBytes(testing::NoiseJpeg(300));
        doc.ApplyResource(1, image);
        EXPECT_EQ(dynamic_cast<const TPDFImageRes&>(*doc.Resource(image)).Data.Spooled(), !missing);
        (missing ? held : spooled) = WritePdf(doc);
    }
    EXPECT_EQ(spooled, held);
    EXPECT_GT(spooled.size(), THeldBytes::kSpoolBytes);
}

} // namespace
} // namespace pagelith
