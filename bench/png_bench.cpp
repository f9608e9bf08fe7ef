// PNG decode throughput on 2000 × 2000 RGB pictures: load and assignment into the working bitmap.
// The file comes from PNG_BENCH_FILE, or the shared benchmark inputs when they are there; a
// synthetic picture (smooth colour, flat shapes and noise, every row Paeth- or Sub-filtered) is
// always measured too.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "../tests/images/readers/png_test_writer.h"
#include "images/readers/png_image.h"

namespace {

using namespace pagelith;

std::vector<uint8_t> InputFile() {
    std::vector<std::filesystem::path> candidates;
    if (const char* env = std::getenv("PNG_BENCH_FILE")) candidates.emplace_back(env);
    for (const char* rel :
         {"/build-bench/compare/inputs/w4/rgb/01.png", "/../shared/bench/inputs/w4/rgb/01.png",
          "/../../shared/bench/inputs/w4/rgb/01.png"})
        candidates.emplace_back(std::string(PAGELITH_SOURCE_DIR) + rel);
    for (const auto& path : candidates) {
        std::ifstream in(path, std::ios::binary);
        if (in) return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    return {};
}

std::vector<uint8_t> SyntheticFile() {
    constexpr uint32_t kSize = 2000;
    test_png::TPicture p{kSize, kSize, 8, 2, 0, {}};
    p.Samples.resize(std::size_t(kSize) * kSize * 3);
    uint32_t noise = 1;
    for (uint32_t y = 0; y < kSize; ++y)
        for (uint32_t x = 0; x < kSize; ++x) {
            noise = noise * 1103515245u + 12345u;
            const bool flat = (x / 250 + y / 250) % 3 == 0;
            const uint32_t jitter = (noise >> 16) % 9;
            uint16_t* s = &p.Samples[(std::size_t(y) * kSize + x) * 3];
            s[0] = flat ? 200 : uint16_t((x / 8 + jitter) & 255);
            s[1] = flat ? 40 : uint16_t((y / 8 + jitter) & 255);
            s[2] = flat ? 90 : uint16_t(((x + y) / 16 + jitter) & 255);
        }
    return test_png::EncodePng(p, {}, 4, 1 << 16);
}

void Decode(benchmark::State& state, const std::vector<uint8_t>& file) {
    if (file.empty()) {
        state.SkipWithError("no input file (set PNG_BENCH_FILE or make the shared benchmark inputs)");
        return;
    }
    for (auto _ : state) {
        TtsPNGImage png;
        TBMPImage bitmap;
        png.LoadFromBytes(file);
        png.AssignTo(bitmap);
        benchmark::DoNotOptimize(bitmap.Pixels().data());
    }
    state.counters["Mpixel/s"] = benchmark::Counter(4.0, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file MB"] = static_cast<double>(file.size()) / 1e6;
}

void BM_PngDecodeFile(benchmark::State& state) {
    static const std::vector<uint8_t> file = InputFile();
    Decode(state, file);
}
BENCHMARK(BM_PngDecodeFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PngDecodeSynthetic(benchmark::State& state) {
    static const std::vector<uint8_t> file = SyntheticFile();
    Decode(state, file);
}
BENCHMARK(BM_PngDecodeSynthetic)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
