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

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + (i >> 9)) & 0xFF);
    return s;
}

TEST(ByteSpool, LivesInTheTemporaryFolderOnlyWhileItIsUsed) {
    const fs::path folder = fs::temp_directory_path() / "pagelith-spool-check";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const TTemporaryFolder tmp(folder.wstring() + L"\\");
    {
        THeldBytes held(Pattern(300000));
        {
            const auto spool = TByteSpool::Create();
            ASSERT_NE(spool, nullptr);
            EXPECT_EQ(FilesIn(folder), 1u);
            held.MoveTo(spool);
            ASSERT_TRUE(held.Spooled());
        }
        EXPECT_EQ(held.Bytes(), Pattern(300000)); // the held range keeps the spool open
        EXPECT_EQ(FilesIn(folder), 1u);
    }
    EXPECT_EQ(FilesIn(folder), 0u);
    fs::remove_all(folder);
}

// A 160 x 160 picture of 24 bits: 76,800 bytes of samples, above the spool's threshold.
std::vector<uint8_t> Bmp160() {
    std::vector<uint8_t> bmp(54 + 160 * 160 * 3, 0);
    const auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<uint32_t>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 160);
    put32(22, 160);
    bmp[26] = 1;
    bmp[28] = 24;
    for (std::size_t i = 54; i < bmp.size(); ++i) bmp[i] = static_cast<uint8_t>(i * 7);
    return bmp;
}

TEST(ByteSpool, AMissingTemporaryFolderKeepsPicturesInMemory) {
    std::string spooled, held;
    for (const bool missing : {false, true}) {
        std::optional<TTemporaryFolder> tmp;
        if (missing) tmp.emplace(L"C:\\nonexistent-folder\\for-the-spool\\");
        TPagelith doc;
        doc.Clock = [] { return std::time_t{1000000000}; };
        doc.CompressionRGB = 0;
        doc.AddPage(0);
        const int32_t image = doc.AddImageBytes(Bmp160());
        doc.ApplyResource(1, image);
        EXPECT_EQ(dynamic_cast<const TPDFImageRes&>(*doc.Resource(image)).Data.Spooled(), !missing);
        (missing ? held : spooled) = WritePdf(doc);
    }
    EXPECT_EQ(spooled, held);
    EXPECT_GT(spooled.size(), 76800u);
}

} // namespace
} // namespace pagelith
