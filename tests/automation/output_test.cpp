// The three output channels: file, byte array and the web response.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fake_response.h"
#include "output/response_stream.h"
#include "output/save_to_file.h"
#include "platform/object_context.h"
#include "platform/ole_error.h"
#include "script_host.h"

namespace pagelith::test {
namespace {

namespace fs = std::filesystem;

fs::path OutputDir() {
    fs::path dir = fs::path(PAGELITH_TEST_OUTPUT_DIR) / "automation";
    fs::create_directories(dir);
    return dir;
}

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string StreamBytes(const TScriptObject& doc) {
    const TCall call = doc.Call(u"StreamData");
    if (call.Value.vt() != (VT_ARRAY | VT_UI1)) return {};
    SAFEARRAY* array = (*call.Value).parray;
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(upper - lower + 1));
    SafeArrayUnaccessData(array);
    return bytes;
}

TEST(SaveToFile, PdfExtensionRule) {
    EXPECT_EQ(WithPdfExtension(u"report"), u"report.pdf");
    EXPECT_EQ(WithPdfExtension(u"report.txt"), u"report.txt.pdf");
    EXPECT_EQ(WithPdfExtension(u"REPORT.PDF"), u"REPORT.PDF");
    EXPECT_EQ(WithPdfExtension(u"C:\\out\\doc"), u"C:\\out\\doc.pdf");
    EXPECT_EQ(WithPdfExtension(u"C:\\out.old\\doc"), u"C:\\out.old\\doc.pdf");
    EXPECT_EQ(WithPdfExtension(u"a.b:c"), u"a.b:c.pdf");
    EXPECT_EQ(WithPdfExtension(u""), u".pdf");
    EXPECT_EQ(WithPdfExtension(u"x.Pdf"), u"x.Pdf");
}

TEST(SaveToFile, WritesTheWholeFileAndNothingWithoutPages) {
    TScriptObject doc;
    const fs::path base = OutputDir() / "saved";
    fs::remove(base.string() + ".pdf");
    EXPECT_EQ(doc.Call(u"SaveToFile", {Str(Wide(base.string()))}).Hr, S_OK);
    EXPECT_FALSE(fs::exists(base.string() + ".pdf"));

    doc.Call(u"AddPage", {I4(0)});
    EXPECT_EQ(doc.Call(u"SaveToFile", {Str(Wide(base.string()))}).Hr, S_OK);
    const std::string written = ReadFile(base.string() + ".pdf");
    EXPECT_EQ(written.substr(0, 5), "%PDF-");
    // The two saves may fall in different seconds; only the creation date may differ.
    const auto undated = [](std::string pdf) {
        const auto at = pdf.find("/CreationDate (D:");
        if (at != std::string::npos) pdf.replace(at + 17, 14, 14, '0');
        return pdf;
    };
    EXPECT_EQ(undated(written), undated(StreamBytes(doc)));
}

TEST(SaveToFile, CannotCreateReportsTheReason) {
    TScriptObject doc;
    doc.Call(u"AddPage", {I4(0)});
    const TCall call = doc.Call(u"SaveToFile", {Str(u"/no/such/folder/doc")});
    EXPECT_EQ(call.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<uint32_t>(call.Scode), 0x8000FFFFu);
    EXPECT_EQ(call.Description, u"Cannot create file \"/no/such/folder/doc.pdf\". No such file or directory");
    const TCall nul = doc.Call(u"SaveToFile", {Str(std::u16string(u"/tmp/a\0b", 8))});
    EXPECT_EQ(nul.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(nul.Description.substr(0, 20), u"Cannot create file \"");
}

TEST(StreamData, ByteArrayFromOne) {
    TScriptObject doc;
    const TCall call = doc.Call(u"StreamData"); // a document without pages still gives the writer's output
    ASSERT_EQ(call.Hr, S_OK);
    ASSERT_EQ(call.Value.vt(), VT_ARRAY | VT_UI1);
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound((*call.Value).parray, 1, &lower);
    SafeArrayGetUBound((*call.Value).parray, 1, &upper);
    EXPECT_EQ(lower, 1);
    const std::string bytes = StreamBytes(doc);
    EXPECT_EQ(upper, static_cast<LONG>(bytes.size()));
    EXPECT_EQ(bytes[0], '%');
}

TEST(ResponseStream, HeadersAndChunksOf150000Bytes) {
    TFakeResponse response;
    const std::string pdf(150000, 'x');
    SendToResponse(&response, pdf, u"invoice.pdf", false);
    EXPECT_EQ(response.ContentType, u"application/pdf");
    ASSERT_EQ(response.Headers.size(), 2u);
    EXPECT_EQ(response.Headers[0].first, u"Content-Disposition");
    EXPECT_EQ(response.Headers[0].second, u"attachment; filename=\"invoice.pdf\"");
    EXPECT_EQ(response.Headers[1].first, u"Content-Length");
    EXPECT_EQ(response.Headers[1].second, u"150000");
    EXPECT_EQ(response.Chunks, (std::vector<std::size_t>{65536, 65536, 18928}));
    EXPECT_EQ(response.ChunkLowerBounds, (std::vector<LONG>{1, 1, 1}));
    EXPECT_EQ(response.Body, pdf);
    EXPECT_EQ(response.Calls,
              (std::vector<std::string>{"ContentType", "AddHeader", "AddHeader", "BinaryWrite", "Flush",
                                        "BinaryWrite", "Flush", "BinaryWrite", "Flush"}));
    EXPECT_EQ(response.RefCount, 1);
}

TEST(ResponseStream, WholeMultipleEndsWithAnEmptyChunk) {
    TFakeResponse response;
    SendToResponse(&response, std::string(131072, 'y'), u"", true);
    EXPECT_EQ(response.Headers[0].second, u"inline");
    EXPECT_EQ(response.Chunks, (std::vector<std::size_t>{65536, 65536, 0}));
    TFakeResponse small;
    SendToResponse(&small, std::string(65535, 'z'), u"", true);
    EXPECT_EQ(small.Chunks, (std::vector<std::size_t>{65535}));
    TFakeResponse empty;
    SendToResponse(&empty, "", u"", true);
    EXPECT_EQ(empty.Chunks, (std::vector<std::size_t>{0}));
    EXPECT_EQ(empty.Headers[1].second, u"0");
}

TEST(ResponseStream, FileNamesCannotBreakTheHeader) {
    const std::u16string longName = std::u16string(300, u'n') + u".pdf";
    const std::u16string cutName = std::u16string(kMaxDispositionName - 4, u'n') + u".pdf";
    const std::u16string longWide = u"\u00E9" + std::u16string(194, u'n') + u"\xD83D\xDE00" + u"x.pdf";
    const struct {
        std::u16string Name;
        bool Inline;
        std::u16string Value;
    } cases[] = {
        {u"a\r\nSet-Cookie: x=\"1\".pdf", true, u"inline; filename=\"a__Set-Cookie: x=_1_.pdf\""},
        // The closing quote cannot be escaped, and only the last path component is sent.
        {u"evil\\", false, u"attachment"},
        {u"a\\b\\c.pdf", false, u"attachment; filename=\"c.pdf\""},
        {u"/srv/reports/2024/q1.pdf", true, u"inline; filename=\"q1.pdf\""},
        {u"..\\..\\x.pdf", true, u"inline; filename=\"x.pdf\""},
        {u"folder/", true, u"inline"},
        // Long names are cut, keeping the extension.
        {longName, true, u"inline; filename=\"" + cutName + u"\""},
        // Outside ASCII: the code-page name and the exact one in UTF-8.
        {u"\u20AC-\u4E2D-\xD83D\xDE00.pdf", false,
         u"attachment; filename=\"\u20AC-?-?.pdf\"; filename*=UTF-8''%E2%82%AC-%E4%B8%AD-%F0%9F%98%80.pdf"},
        {u"\xD800.pdf", false, u"attachment; filename=\"?.pdf\"; filename*=UTF-8''%EF%BF%BD.pdf"},
        {u"caf\u00E9 (1);x.pdf", true,
         u"inline; filename=\"caf\u00E9 (1);x.pdf\"; filename*=UTF-8''caf%C3%A9%20%281%29%3Bx.pdf"},
        // A cut never splits a surrogate pair.
        {longWide, true,
         u"inline; filename=\"\u00E9" + std::u16string(194, u'n') + u".pdf\"; filename*=UTF-8''%C3%A9" +
             std::u16string(194, u'n') + u".pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name.begin(), c.Name.end()));
        EXPECT_EQ(ContentDisposition(c.Name, c.Inline), c.Value);
    }
}

TEST(ResponseStream, AFailingCallEndsItWithItsOwnCodeAndDescription) {
    for (bool exception : {true, false}) {
        TFakeResponse response;
        response.FailAtCall = 6; // the second BinaryWrite
        response.FailWithException = exception;
        try {
            SendToResponse(&response, std::string(150000, 'x'), u"", true);
            ADD_FAILURE() << "no error";
        } catch (const EOleSysError& e) {
            EXPECT_EQ(e.Code(), response.FailCode);
            EXPECT_EQ(e.Description(), u"The client disconnected.");
        }
        EXPECT_EQ(response.Calls.size(), 6u);
        EXPECT_EQ(response.Chunks, (std::vector<std::size_t>{65536}));
    }
}

TEST(BinaryWrite, SendsTheDocumentThroughTheContextResponse) {
    TScriptObject doc;
    doc.Call(u"AddPage", {I4(0)});
    doc.Put(u"StreamFileName", {Str(u"report.pdf")});
    TFakeResponse response;
    ASSERT_EQ(PagelithSetObjectContext(&response), S_OK);
    const TCall call = doc.Call(u"BinaryWrite");
    PagelithSetObjectContext(nullptr);
    EXPECT_EQ(call.Hr, S_OK);
    const std::string pdf = StreamBytes(doc);
    EXPECT_EQ(response.Body, pdf);
    ASSERT_EQ(response.Headers.size(), 2u);
    EXPECT_EQ(response.Headers[0].second, u"inline; filename=\"report.pdf\"");
    EXPECT_EQ(response.Headers[1].second, Wide(std::to_string(pdf.size())));
    EXPECT_EQ(response.RefCount, 1);
}

TEST(BinaryWrite, ResponseFailuresReachTheScript) {
    TScriptObject doc;
    TFakeResponse response;
    response.FailAtCall = 2;
    response.FailWithException = false;
    PagelithSetObjectContext(&response);
    const TCall call = doc.Call(u"BinaryWrite");
    PagelithSetObjectContext(nullptr);
    EXPECT_EQ(call.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.Scode, response.FailCode);
    EXPECT_EQ(call.Description, u"The client disconnected.");
    EXPECT_EQ(call.Source, u"PagelithASP.PDFSvrDoc");
    EXPECT_EQ(response.Calls.size(), 2u);
    EXPECT_EQ(response.RefCount, 1);
}

TEST(BinaryWrite, OutsideARequestFailsAndSendsNothing) {
    TScriptObject doc;
    doc.Call(u"AddPage", {I4(0)});
    PagelithSetObjectContext(nullptr);
    const TCall call = doc.Call(u"BinaryWrite");
    EXPECT_EQ(call.Hr, DISP_E_EXCEPTION);
    EXPECT_LT(call.Scode, 0);
    EXPECT_FALSE(call.Description.empty());
}

} // namespace
} // namespace pagelith::test
