// The driver that the side-by-side comparisons time as a whole process:
//   pagelith-bench w1 LINES.txt OUT.pdf       200 pages of 50 lines of text, a rule and a frame
//   pagelith-bench w1 LINES.txt OUT.pdf FONT.ttf [embed] [subset] [unicode]
//                                             the same in a TrueType font, the lines passed as a
//                                             script passes them; the options set EmbedFont,
//                                             SubsetFonts and UnicodeText
//   pagelith-bench images OUT.pdf IMAGE...    one page per image file, default properties
//   pagelith-bench g4 PAGE.tif...             TIFF decode, then the Group 4 encoder alone
//   pagelith-bench decode IMAGE...            each file through its reader into the working bitmap
#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_bytes.h"
#include "document/pagelith.h"
#include "images/group4_encoder.h"
#include "images/readers/png_image.h"
#include "images/readers/tif_image.h"
#include "pdf/pdf_writer.h"

namespace {

using namespace pagelith;
using Clock = std::chrono::steady_clock;

std::vector<uint8_t> ReadFile(const std::string& name) {
    TFileBytes file = ReadRegularFile(name, kMaxImageFileBytes);
    if (file.Status != TFileReadStatus::Ok) throw std::runtime_error("cannot read " + name);
    return std::move(file.Bytes);
}

// The writer's pieces straight to disk as they come, as saving to a file does (without its sync).
void Save(TPagelith& doc, const std::string& name) {
    std::ofstream out(name, std::ios::binary);
    WritePdf(doc, [&out](std::string_view piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    });
    if (!out) throw std::runtime_error("cannot write " + name);
}

// A line as a script hands it over: UTF-16 (the bench's input is ASCII or Latin-1).
std::u16string Wide(std::string_view line) {
    std::u16string wide(line.size(), u' ');
    for (std::size_t i = 0; i < line.size(); ++i) wide[i] = static_cast<uint8_t>(line[i]);
    return wide;
}

struct TReportFont {
    std::string File; // empty: Helvetica
    bool Embed = false;
    bool Subset = false;
    bool Unicode = false;
};

int TextReport(const std::string& linesFile, const std::string& outFile,
               const TReportFont& fontOptions = {}) {
    const std::string& fontFile = fontOptions.File;
    constexpr int kPages = 200, kLines = 50;
    const std::vector<uint8_t> bytes = ReadFile(linesFile);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<std::string_view> lines; // into bytes, as the peer keeps pointers into its buffer
    lines.reserve(std::size_t{kPages} * kLines);
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        at = end + 1;
    }
    if (lines.size() < std::size_t{kPages} * kLines) {
        std::fprintf(stderr, "pagelith-bench: need %d lines, got %zu\n", kPages * kLines, lines.size());
        return 1;
    }
    TPagelith doc;
    int32_t font = 5; // Helvetica
    if (!fontFile.empty()) {
        font = doc.AddFont(fontFile);
        if (font == 0) throw std::runtime_error("cannot load " + fontFile);
        doc.SetEmbedFont(font, fontOptions.Embed);
        doc.SubsetFonts = fontOptions.Subset;
        doc.UnicodeText = fontOptions.Unicode;
    }
    // The line width is a whole number of points in this model, so the rule is drawn 1 point wide.
    const int32_t graphic = doc.CreateGraphic();
    doc.DrawLine(50, 800, 545, 800);
    doc.Rectangle(40, 40, 555, 810);
    for (int p = 1; p <= kPages; ++p) {
        doc.AddPage(0);
        doc.ApplyResource(p, graphic);
        const int32_t text = doc.CreateText();
        doc.SetTextFont(font);
        doc.SetTextSize(10);
        doc.SetTextLineSpacing(40); // 14 points between baselines at 10 points
        for (int l = 0; l < kLines; ++l) {
            const std::string_view line = lines[std::size_t((p - 1) * kLines + l)];
            if (fontFile.empty())
                doc.WriteText(line);
            else
                doc.WriteText(Wide(line));
        }
        // The first baseline lies one font size below the placement.
        doc.Locate(p, doc.ApplyResource(p, text), 56, 790);
    }
    Save(doc, outFile);
    return 0;
}

int Images(const std::string& outFile, const std::vector<std::string>& files) {
    TPagelith doc;
    int32_t page = 0;
    for (const std::string& file : files) {
        doc.AddPage(0);
        doc.ApplyResource(++page, doc.AddImageFile(file));
    }
    Save(doc, outFile);
    return 0;
}

int Group4(const std::vector<std::string>& files) {
    double readSeconds = 0, encodeSeconds = 0;
    std::size_t g4Bytes = 0;
    for (const std::string& file : files) {
        const std::vector<uint8_t> bytes = ReadFile(file);
        const auto t0 = Clock::now();
        TTIFImage reader;
        reader.LoadFromBytes(bytes);
        TBMPImage bitmap;
        reader.AssignTo(bitmap);
        const auto t1 = Clock::now();
        std::string encoded;
        EncodeGroup4(bitmap, encoded);
        const auto t2 = Clock::now();
        readSeconds += std::chrono::duration<double>(t1 - t0).count();
        encodeSeconds += std::chrono::duration<double>(t2 - t1).count();
        g4Bytes += encoded.size();
    }
    std::printf("read_s=%.6f encode_s=%.6f g4_bytes=%zu\n", readSeconds, encodeSeconds, g4Bytes);
    return 0;
}

// The decode alone, timed like the peer's: the file's read is part of it.
int DecodeOnly(const std::vector<std::string>& files) {
    double decodeSeconds = 0;
    std::size_t pixels = 0;
    for (const std::string& file : files) {
        const auto t0 = Clock::now();
        const std::vector<uint8_t> bytes = ReadFile(file);
        TtsPNGImage reader;
        reader.LoadFromView(bytes);
        TBMPImage bitmap;
        reader.AssignTo(bitmap);
        decodeSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
        pixels += std::size_t(bitmap.Width()) * std::size_t(bitmap.Height());
    }
    std::printf("decode_s=%.6f pixels=%zu\n", decodeSeconds, pixels);
    return 0;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: pagelith-bench w1 LINES.txt OUT.pdf [FONT.ttf [embed] [subset] [unicode]] | images OUT.pdf "
        "IMAGE... | g4 PAGE.tif... | decode IMAGE.png...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "w1") return TextReport(args[1], args[2]);
        if (args.size() >= 4 && args[0] == "w1") {
            TReportFont font{args[3]};
            for (std::size_t i = 4; i < args.size(); ++i) {
                if (args[i] == "embed")
                    font.Embed = true;
                else if (args[i] == "subset")
                    font.Subset = true;
                else if (args[i] == "unicode")
                    font.Unicode = true;
                else
                    return Usage();
            }
            return TextReport(args[1], args[2], font);
        }
        if (args.size() >= 2 && args[0] == "images") return Images(args[1], {args.begin() + 2, args.end()});
        if (args.size() >= 2 && args[0] == "g4") return Group4({args.begin() + 1, args.end()});
        if (args.size() >= 2 && args[0] == "decode") return DecodeOnly({args.begin() + 1, args.end()});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pagelith-bench: %s\n", e.what());
        return 1;
    }
    return Usage();
}
