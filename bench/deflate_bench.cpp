// Size and time of each compression level on the kinds of data the writer compresses: page
// content text, picture samples and a TrueType font. The level in base/deflate.h is chosen from these.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "base/deflate.h"

namespace {

using namespace pagelith;

// 50 lines of a text page, as the content writer spells them, 200 times over.
std::string ContentText() {
    std::string text;
    for (int page = 0; page < 200; ++page) {
        text += "q\r0 0 0 RG\r1 w\r50 800 m\r545 800 l\rS\r40 40 515 770 re\rS\rQ\rq\rBT\r/F1 10 Tf\r";
        for (int line = 0; line < 50; ++line)
            text += "1 0 0 1 56 " + std::to_string(780 - 14 * line) + " Tm\r(Line " +
                    std::to_string(page * 50 + line) + " of the quarterly report, with figures " +
                    std::to_string((page * 7919 + line * 104729) % 100000) + ")Tj\r";
        text += "ET\rQ\r";
    }
    return text;
}

// Smooth colour with some noise, like a photograph: 1000 x 1000 RGB.
std::string PictureSamples() {
    std::string samples;
    samples.reserve(3'000'000);
    uint32_t seed = 1;
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1000; ++x) {
            seed = seed * 1664525 + 1013904223;
            const int noise = static_cast<int>(seed >> 29);
            samples += static_cast<char>((x / 4 + noise) & 0xFF);
            samples += static_cast<char>((y / 4 + noise) & 0xFF);
            samples += static_cast<char>(static_cast<int>(128 + 100 * std::sin((x + y) / 50.0)) + noise);
        }
    return samples;
}

std::string FontFile() {
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Run(benchmark::State& state, const std::string& data) {
    if (data.empty()) {
        state.SkipWithError("no input");
        return;
    }
    std::string out;
    for (auto _ : state) {
        out.clear();
        AppendDeflated(out, data, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    state.counters["out/in %"] = 100.0 * static_cast<double>(out.size()) / static_cast<double>(data.size());
}

void BM_DeflateContent(benchmark::State& state) {
    static const std::string data = ContentText();
    Run(state, data);
}
void BM_DeflatePicture(benchmark::State& state) {
    static const std::string data = PictureSamples();
    Run(state, data);
}
void BM_DeflateFont(benchmark::State& state) {
    static const std::string data = FontFile();
    Run(state, data);
}

BENCHMARK(BM_DeflateContent)->Arg(1)->Arg(2)->Arg(4)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeflatePicture)->Arg(1)->Arg(2)->Arg(4)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeflateFont)->Arg(1)->Arg(2)->Arg(4)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

} // namespace
