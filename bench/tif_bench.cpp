// TIFF decoding throughput on a scanned-page-sized picture: uncompressed and LZW, 8-bit gray.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "images/readers/tif_image.h"

namespace {

using namespace pagelith;
using TBytes = std::vector<uint8_t>;

constexpr uint32_t kWidth = 2480, kHeight = 3508;

class TCodeWriter {
public:
    TBytes out;
    void Put(uint32_t code, uint32_t width) {
        bits_ = (bits_ << width) | code;
        held_ += width;
        while (held_ >= 8) {
            held_ -= 8;
            out.push_back(static_cast<uint8_t>(bits_ >> held_));
        }
    }
    void Flush() {
        if (held_) out.push_back(static_cast<uint8_t>(bits_ << (8 - held_)));
        held_ = 0;
    }

private:
    uint64_t bits_ = 0;
    uint32_t held_ = 0;
};

// TIFF's LZW with the early width change, as a writer of such files produces it.
TBytes EncodeLzw(const TBytes& in) {
    std::vector<uint16_t> table(4096 * 256, 0);
    TCodeWriter w;
    uint32_t width = 9, next = 258;
    w.Put(256, width);
    uint32_t prefix = in[0];
    auto grow = [&] {
        if (++next == 4094) {
            w.Put(256, width);
            std::fill(table.begin(), table.end(), 0);
            next = 258;
            width = 9;
        } else if (next > (1u << width) - 1) {
            ++width;
        }
    };
    for (std::size_t i = 1; i < in.size(); ++i) {
        const uint16_t known = table[prefix * 256 + in[i]];
        if (known) {
            prefix = known;
            continue;
        }
        w.Put(prefix, width);
        table[prefix * 256 + in[i]] = static_cast<uint16_t>(next);
        grow();
        prefix = in[i];
    }
    w.Put(prefix, width);
    grow();
    w.Put(257, width);
    w.Flush();
    return w.out;
}

void Put16(TBytes& b, uint32_t v) {
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
}
void Put32(TBytes& b, uint32_t v) {
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

TBytes GrayTiff(uint16_t compression) {
    TBytes pixels(std::size_t{kWidth} * kHeight);
    uint32_t noise = 1;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            const bool text = (y / 40) % 3 == 1 && (x / 12) % 5 != 0;
            pixels[std::size_t{y} * kWidth + x] = static_cast<uint8_t>(text ? 20 + (noise >> 28) : 240);
        }
    const TBytes strip = compression == 5 ? EncodeLzw(pixels) : pixels;
    TBytes file = {'I', 'I'};
    Put16(file, 42);
    Put32(file, 8 + static_cast<uint32_t>(strip.size()));
    file.insert(file.end(), strip.begin(), strip.end());
    const uint32_t tags[][3] = {{256, 4, kWidth},
                                {257, 4, kHeight},
                                {258, 3, 8},
                                {259, 3, compression},
                                {262, 3, 1},
                                {273, 4, 8},
                                {279, 4, uint32_t(strip.size())}};
    Put16(file, 7);
    for (const auto& t : tags) {
        Put16(file, t[0]);
        Put16(file, t[1]);
        Put32(file, 1);
        Put32(file, t[2]);
    }
    Put32(file, 0);
    return file;
}

void BM_DecodeGray(benchmark::State& state) {
    const TBytes file = GrayTiff(static_cast<uint16_t>(state.range(0)));
    for (auto _ : state) {
        TTIFImage tif;
        tif.LoadFromBytes(file);
        TBMPImage bmp;
        tif.AssignTo(bmp);
        benchmark::DoNotOptimize(bmp.Pixels().data());
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(kWidth) * kHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file MB"] = double(file.size()) / 1e6;
}
BENCHMARK(BM_DecodeGray)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
