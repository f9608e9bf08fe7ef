// A text report: 200 pages of 50 lines of 10-point Helvetica, with one rule
// and one frame per page. Built and saved to memory by Pagelith and, for
// comparison, by libharu doing the same drawing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <hpdf.h>

#include "base/byte_stream.h"
#include "document/pagelith.h"

namespace {

using namespace pagelith;

constexpr int kPages = 200;
constexpr int kLines = 50;

// The report's lines, made once so that only the libraries are measured.
const std::vector<std::string>& Lines() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> all;
        for (int page = 1; page <= kPages; ++page)
            for (int line = 1; line <= kLines; ++line) {
                char buf[128];
                std::snprintf(buf, sizeof buf,
                              "Page %d, line %d: quarterly figures for region %d, total %d.%02d units", page,
                              line, line % 7, page * 1000 + line * 37, line);
                all.emplace_back(buf);
            }
        return all;
    }();
    return lines;
}

const std::string& LineText(int page, int line) {
    return Lines()[static_cast<std::size_t>((page - 1) * kLines + (line - 1))];
}

void SetCounters(benchmark::State& state, std::size_t bytes) {
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(kPages), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file KB"] = static_cast<double>(bytes) / 1e3;
}

void BM_PagelithReport(benchmark::State& state) {
    Lines();
    std::size_t bytes = 0;
    for (auto _ : state) {
        TPagelith doc;
        for (int p = 1; p <= kPages; ++p) {
            doc.AddPage(0);
            const int text = doc.CreateText();
            doc.SetTextSize(10);
            for (int l = 1; l <= kLines; ++l) doc.WriteText(LineText(p, l));
            doc.Locate(p, doc.ApplyResource(p, text), 56, 800);
            const int graphic = doc.CreateGraphic();
            doc.DrawLine(56, 810, 539, 810);
            doc.Rectangle(40, 40, 555, 820);
            doc.ApplyResource(p, graphic);
        }
        TMemoryStream out;
        doc.SaveToStream(out);
        bytes = out.Data.size();
        benchmark::DoNotOptimize(out.Data.data());
    }
    SetCounters(state, bytes);
}
BENCHMARK(BM_PagelithReport)->Unit(benchmark::kMillisecond);

void HaruError(HPDF_STATUS error, HPDF_STATUS detail, void*) {
    std::fprintf(stderr, "libharu error %04X %u\n", static_cast<unsigned>(error),
                 static_cast<unsigned>(detail));
}

void BM_LibharuReport(benchmark::State& state) {
    Lines();
    std::size_t bytes = 0;
    std::vector<HPDF_BYTE> data;
    for (auto _ : state) {
        HPDF_Doc pdf = HPDF_New(HaruError, nullptr);
        HPDF_SetCompressionMode(pdf, HPDF_COMP_ALL); // content streams compressed, as Pagelith does
        HPDF_Font font = HPDF_GetFont(pdf, "Helvetica", "WinAnsiEncoding");
        for (int p = 1; p <= kPages; ++p) {
            HPDF_Page page = HPDF_AddPage(pdf);
            HPDF_Page_SetWidth(page, 595);
            HPDF_Page_SetHeight(page, 842);
            HPDF_Page_BeginText(page);
            HPDF_Page_SetFontAndSize(page, font, 10);
            HPDF_Page_MoveTextPos(page, 56, 790);
            for (int l = 1; l <= kLines; ++l) {
                HPDF_Page_ShowText(page, LineText(p, l).c_str());
                HPDF_Page_MoveTextPos(page, 0, -11.5);
            }
            HPDF_Page_EndText(page);
            HPDF_Page_MoveTo(page, 56, 810);
            HPDF_Page_LineTo(page, 539, 810);
            HPDF_Page_Stroke(page);
            HPDF_Page_Rectangle(page, 40, 40, 515, 780);
            HPDF_Page_Stroke(page);
        }
        HPDF_SaveToStream(pdf);
        HPDF_UINT32 size = HPDF_GetStreamSize(pdf);
        data.resize(size);
        HPDF_ReadFromStream(pdf, data.data(), &size);
        bytes = size;
        benchmark::DoNotOptimize(data.data());
        HPDF_Free(pdf);
    }
    SetCounters(state, bytes);
}
BENCHMARK(BM_LibharuReport)->Unit(benchmark::kMillisecond);

} // namespace
