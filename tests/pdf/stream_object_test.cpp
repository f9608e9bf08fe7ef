#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

#include "document/pagelith.h"
#include "images/image_res.h"
#include "pdf/image_objects.h"
#include "pdf/pdf_file.h"
#include "pdf/stream_object.h"
#include "support/pdf_check.h"

namespace pagelith {
namespace {

TPdfFile NewFile() {
    TPdfFile file;
    file.Offsets.assign(16, 0);
    file.Next = 3;
    return file;
}

std::string Inflate(std::string_view packed) {
    std::string out(1 << 16, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK)
        return "(inflate failed)";
    out.resize(size);
    return out;
}

// "stream" always ends with CR LF, so data that starts with 0x0A keeps its first byte.
TEST(StreamObject, CopiedBodyForEachLengthForm) {
    const struct {
        TStreamLength length;
        std::string expected;
    } cases[] = {
        {TStreamLength::Direct, "3 0 obj\r<< /Length 4 >>\rstream\r\n\nabcendstream\rendobj\r"},
        {TStreamLength::WithLineEnd, "3 0 obj\r<< /Length 4 >>\rstream\r\n\nabc\rendstream\rendobj\r"},
        {TStreamLength::Separate,
         "3 0 obj\r<< /Length 4 0 R >>\rstream\r\n\nabcendstream\rendobj\r4 0 obj\r4\rendobj\r"},
    };
    for (const auto& c : cases) {
        TPdfFile file = NewFile();
        TStreamObject stream(file, c.length);
        EXPECT_EQ(stream.Number(), 3);
        stream.Dictionary().Text("<< ");
        stream.Copy("\nabc", " >>");
        EXPECT_EQ(file.Buffer, c.expected);
        EXPECT_EQ(file.Offsets[3], 0);
        EXPECT_EQ(file.Next, c.length == TStreamLength::Separate ? 5 : 4);
    }
}

TEST(StreamObject, DeflatedBodyCountsTheCompressedBytes) {
    const std::string text(5000, 'x');
    for (TStreamLength length : {TStreamLength::Direct, TStreamLength::Separate}) {
        TPdfFile file = NewFile();
        TStreamObject stream(file, length);
        stream.Dictionary().Line("<< /Filter /FlateDecode");
        stream.Deflate(text, " >>");
        const std::string& b = file.Buffer;
        const auto data = b.find("stream\r\n") + 8;
        const auto end = b.find("endstream\r");
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(Inflate(std::string_view(b).substr(data, end - data)), text);
        const std::string count = std::to_string(end - data);
        if (length == TStreamLength::Direct)
            EXPECT_NE(b.find("/Length " + count + " >>\r"), std::string::npos) << b.substr(0, 60);
        else
            EXPECT_TRUE(b.ends_with("endstream\rendobj\r4 0 obj\r" + count + "\rendobj\r"));
    }
}

// Past the first 64 KB, bodies are compressed beside the writing and take their places later: every
// offset still points at its object, every length object states its body's size, and a sink gets the
// bytes the buffer would hold.
TEST(PdfFile, BodiesCompressedBesideTakeTheirPlaces) {
    const struct {
        int Bodies;
        std::size_t Lines, Flush, Picture; // a picture passed on after every fifth body
    } cases[] = {{3, 20, 0, 0}, {60, 400, 32 * 1024, 0}, {60, 400, 0, 70000}, {40, 900, 1, 70000}};
    for (const auto& c : cases) {
        std::string whole[2];
        for (bool sink : {false, true}) {
            TPdfFile file;
            file.Offsets.assign(std::size_t(3 * c.Bodies + 3), 0);
            file.Next = 1;
            if (sink) file.Sink = [&](std::string_view piece) { whole[1].append(piece); };
            std::vector<std::pair<int32_t, std::string>> bodies;
            for (int i = 0; i < c.Bodies; ++i) {
                std::string text;
                for (std::size_t line = 0; line < c.Lines; ++line) text += std::to_string(line * i) + " Tm\r";
                TStreamObject stream(file, TStreamLength::Separate);
                bodies.emplace_back(stream.Number(), text);
                stream.Dictionary().Text("<< ");
                stream.Deflate(text, " >>", kContentDeflateLevel);
                if (c.Picture && i % 5 == 0)
                    TStreamObject(file, TStreamLength::Direct).Copy(std::string(c.Picture, 'p'), "");
                file.Flush(c.Flush);
            }
            file.Settle();
            file.Flush();
            if (!sink) whole[0] = file.Buffer;
            const std::string& pdf = whole[sink];
            for (int32_t n = 1; n < file.Next; ++n)
                ASSERT_EQ(pdf.substr(file.Offsets[n], std::to_string(n).size() + 6),
                          std::to_string(n) + " 0 obj");
            for (const auto& [n, text] : bodies) {
                const std::size_t data = pdf.find("stream\r\n", file.Offsets[n]) + 8;
                const std::size_t length =
                    std::stoul(pdf.substr(file.Offsets[n + 1]).substr(std::to_string(n + 1).size() + 7));
                EXPECT_EQ(Inflate(std::string_view(pdf).substr(data, length)), text) << n;
            }
        }
        EXPECT_EQ(whole[1], whole[0]);
    }
}

struct TImageCase {
    const char* name;
    uint8_t filter;
    bool blackIs1, cmyk, inverted, gray;
    const char* dictionary; // the lines between "/Subtype /Image" and "/Length"
    bool predicted = false;
};

TEST(ImageObjects, DictionaryOfEachKind) {
    const TImageCase cases[] = {
        {"ccitt", kCompressCCITT, false, false, false, false,
         "/Filter /CCITTFaxDecode\r/DecodeParms \r<<\r/K -1 /Columns 16>>\r/Width 16\r/Height 2\r"
         "/BitsPerComponent 1\r/ColorSpace /DeviceGray\r"},
        {"ccitt-black-is-1", kCompressCCITT, true, false, false, false,
         "/Filter /CCITTFaxDecode\r/DecodeParms \r<<\r/K -1 /Columns 16 /BlackIs1 true>>\r/Width 16\r"
         "/Height 2\r/BitsPerComponent 1\r/ColorSpace /DeviceGray\r"},
        {"dct-rgb", kCompressDCT, false, false, false, false,
         "/Filter /DCTDecode\r/Width 16\r/Height 2\r/BitsPerComponent 8\r/ColorSpace /DeviceRGB\r"},
        {"dct-gray", kCompressDCT, false, false, false, true,
         "/Filter /DCTDecode\r/Width 16\r/Height 2\r/BitsPerComponent 8\r/ColorSpace /DeviceGray\r"},
        {"dct-cmyk", kCompressDCT, false, true, false, false,
         "/Filter /DCTDecode\r/Width 16\r/Height 2\r/BitsPerComponent 8\r/ColorSpace /DeviceCMYK\r"},
        {"dct-cmyk-inverted", kCompressDCT, false, true, true, false,
         "/Filter /DCTDecode\r/Width 16\r/Height 2\r/BitsPerComponent 8\r/ColorSpace /DeviceCMYK\r"
         "/Decode [1 0 1 0 1 0 1 0]\r"},
        {"raw", kCompressNone, true, true, true, false,
         "/Width 16\r/Height 2\r/BitsPerComponent 8\r/ColorSpace /DeviceRGB\r"},
        {"flate-predicted", kCompressFlate, false, false, false, false,
         "/Filter /FlateDecode\r/DecodeParms << /Predictor 15 /Colors 3 /BitsPerComponent 8 /Columns 16 >>\r"
         "/Width 16\r/Height 2\r/BitsPerComponent 8\r/ColorSpace /DeviceRGB\r",
         true},
    };
    for (const auto& c : cases) {
        TPDFImageRes image;
        image.Width = 16;
        image.Height = 2;
        image.Filter = c.filter;
        image.BitsPerComponent = 8;
        image.BlackIs1 = c.blackIs1;
        image.CMYKJPEG = c.cmyk;
        image.InvertedCMYK = c.inverted;
        image.GrayJPEG = c.gray;
        image.PngPredicted = c.predicted;
        image.Colors = 3;
        image.Data = "DATA";
        TPdfFile file = NewFile();
        WriteImageObjects(file, image);
        EXPECT_EQ(file.Buffer, std::string("3 0 obj\r<<\r/Type /XObject\r/Subtype /Image\r") + c.dictionary +
                                   "/Length 4 >>\rstream\r\nDATA\rendstream\rendobj\r")
            << c.name;
    }
}

// Raw samples starting with 0x0A come back whole from a real reader.
TEST(ImageObjects, RawDataStartingWithLineFeedReadsBack) {
    TPagelith doc;
    doc.AddPage(0);
    for (bool indexed : {false, true}) {
        auto image = std::make_unique<TPDFImageRes>();
        image->Width = 4;
        image->Height = 1;
        image->XResolution = image->YResolution = 72;
        image->BitsPerComponent = 8;
        image->Indexed = indexed;
        if (indexed) {
            image->PaletteSize = 11;
            image->Palette.assign(33, '\x0a');
            image->Data = std::string("\x0a\x0d\x00\x0a", 4);
        } else {
            image->Data = std::string("\x0a\x0d\x0a\x20\x0d\x0a\x00\x01\x02\x0a\x0a\x0a", 12);
        }
        doc.Resources.Append(std::move(image));
        doc.ApplyResource(1, static_cast<int32_t>(doc.Resources.Count()));
    }
    const std::string pdf = testing::SavePdf(doc);
    const auto path = testing::WriteFile("image-leading-lf.pdf", pdf);
    EXPECT_TRUE(testing::QpdfClean(path));
    // Page 3, content 4 and 5, the raw image 6, the indexed image 7 with its palette 9.
    const struct {
        int object;
        std::string data;
    } expected[] = {{6, std::string("\x0a\x0d\x0a\x20\x0d\x0a\x00\x01\x02\x0a\x0a\x0a", 12)},
                    {7, std::string("\x0a\x0d\x00\x0a", 4)},
                    {9, std::string(33, '\x0a')}};
    for (const auto& e : expected) {
        std::string out;
        ASSERT_EQ(testing::Run("qpdf --show-object=" + std::to_string(e.object) + " --raw-stream-data '" +
                                   path.string() + "'",
                               &out),
                  0);
        // The carriage return after the data is not counted: a reader that counted it would take it
        // for a sample or a palette byte.
        EXPECT_EQ(out, e.data) << e.object;
    }
}

} // namespace
} // namespace pagelith
