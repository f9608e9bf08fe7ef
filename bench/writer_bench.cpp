// Writer throughput: many pages, and one very large graphic.
#include <benchmark/benchmark.h>

#include <chrono>

#include "base/byte_stream.h"
#include "document/pagelith.h"
#include "drawing/graphic_res.h"

namespace {

using namespace pagelith;
using Clock = std::chrono::steady_clock;

// Every page carries one small graphic so each has a content stream.
void BM_WritePages(benchmark::State& state) {
    const auto pages = static_cast<int>(state.range(0));
    TPagelith doc;
    const int g = doc.CreateGraphic();
    doc.Rectangle(72, 72, 523, 770);
    doc.DrawLine(72, 400, 523, 400);
    for (int i = 0; i < pages; ++i) {
        doc.AddPage(0);
        doc.ApplyResource(i + 1, g);
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream out;
        doc.SaveToStream(out);
        bytes = out.Data.size();
        benchmark::DoNotOptimize(out.Data.data());
    }
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["us/page"] =
        benchmark::Counter(static_cast<double>(pages) * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["file MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_WritePages)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// One million lines: formatting happens while drawing, deflate while saving.
void BM_MillionLines(benchmark::State& state) {
    double formatSeconds = 0, saveSeconds = 0, contentBytes = 0;
    for (auto _ : state) {
        TPagelith doc;
        doc.AddPage(0);
        const auto t0 = Clock::now();
        const int g = doc.CreateGraphic();
        for (int i = 0; i < 1000000; ++i)
            doc.DrawLine(i % 595 + 0.25, (i * 7) % 842 + 0.5, (i * 13) % 595, (i * 3) % 842 + 0.125);
        const auto t1 = Clock::now();
        doc.ApplyResource(1, g);
        TMemoryStream out;
        doc.SaveToStream(out);
        const auto t2 = Clock::now();
        formatSeconds += std::chrono::duration<double>(t1 - t0).count();
        saveSeconds += std::chrono::duration<double>(t2 - t1).count();
        contentBytes += static_cast<double>(doc.CurrentGraphicRes()->Content().size());
        benchmark::DoNotOptimize(out.Data.data());
    }
    const double total = formatSeconds + saveSeconds;
    state.counters["content MB/s"] = contentBytes / 1e6 / total;
    state.counters["format share %"] = 100 * formatSeconds / total;
    state.counters["deflate+write share %"] = 100 * saveSeconds / total;
}
BENCHMARK(BM_MillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
