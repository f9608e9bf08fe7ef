// Group 4 encoder throughput on a scanned-like A4 page at 300 dpi.
#include <benchmark/benchmark.h>

#include <string>

#include "images/bilevel_pictures.h"
#include "images/group4_encoder.h"

namespace {

void BM_EncodeGroup4Page(benchmark::State& state) {
    const pagelith::TBMPImage page = pagelith::testing::ScannedPage(2480, 3508, 7);
    std::string out;
    for (auto _ : state) {
        out.clear();
        pagelith::EncodeGroup4(page, out);
        benchmark::DoNotOptimize(out.data());
    }
    const double pixels = 2480.0 * 3508.0;
    state.counters["Mpixel/s"] = benchmark::Counter(pixels * static_cast<double>(state.iterations()) / 1e6,
                                                    benchmark::Counter::kIsRate);
    state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_EncodeGroup4Page)->Unit(benchmark::kMillisecond);

void BM_EncodeGroup4White(benchmark::State& state) {
    pagelith::TBMPImage page;
    page.SetSize(pagelith::TPixelFormat::Indexed1, 2480, 3508);
    pagelith::testing::FillRect(page, 0, 0, 2480, 3508, true);
    std::string out;
    for (auto _ : state) {
        out.clear();
        pagelith::EncodeGroup4(page, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["Mpixel/s"] = benchmark::Counter(
        2480.0 * 3508.0 * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeGroup4White)->Unit(benchmark::kMillisecond);

} // namespace
