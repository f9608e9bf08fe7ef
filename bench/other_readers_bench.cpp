// Decoding speed of the GIF, PSD, PCX and WBMP readers on 2000 × 1500 pictures built in memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "images/readers/gif_image.h"
#include "images/readers/pcx_image.h"
#include "images/readers/psd_image.h"
#include "images/readers/wbmp_image.h"

namespace {

using namespace pagelith;

constexpr uint32_t kWidth = 2000, kHeight = 1500;

uint8_t Sample(uint32_t x, uint32_t y) {
    return static_cast<uint8_t>((x / 7 + y / 5 + ((x * y) >> 9)) & 0xFF);
}

void Put16Le(std::vector<uint8_t>& f, uint32_t v) {
    f.push_back(static_cast<uint8_t>(v));
    f.push_back(static_cast<uint8_t>(v >> 8));
}
void Put16Be(std::vector<uint8_t>& f, uint32_t v) {
    f.push_back(static_cast<uint8_t>(v >> 8));
    f.push_back(static_cast<uint8_t>(v));
}
void Put32Be(std::vector<uint8_t>& f, uint32_t v) {
    Put16Be(f, v >> 16);
    Put16Be(f, v & 0xFFFF);
}

// 8-bit GIF; LZW written with the table growing to full width and cleared when full.
std::vector<uint8_t> MakeGif() {
    std::vector<uint8_t> f{'G', 'I', 'F', '8', '9', 'a'};
    Put16Le(f, kWidth);
    Put16Le(f, kHeight);
    f.insert(f.end(), {0xF7, 0, 0});
    for (unsigned i = 0; i < 256; ++i) f.insert(f.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    f.push_back(0x2C);
    f.insert(f.end(), {0, 0, 0, 0});
    Put16Le(f, kWidth);
    Put16Le(f, kHeight);
    f.push_back(0);
    f.push_back(8);
    std::vector<uint8_t> codes;
    uint32_t acc = 0, bits = 0, width = 9, next = 258;
    const auto emit = [&](uint32_t code) {
        acc |= code << bits;
        bits += width;
        while (bits >= 8) {
            codes.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    emit(256);
    bool first = true;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            emit(Sample(x, y));
            if (!first && next < 4096 && ++next == (1u << width) && width < 12) ++width;
            first = false;
            if (next == 4096) {
                emit(256);
                width = 9;
                next = 258;
                first = true;
            }
        }
    emit(257);
    if (bits) codes.push_back(static_cast<uint8_t>(acc));
    for (std::size_t i = 0; i < codes.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.size() - i);
        f.push_back(static_cast<uint8_t>(n));
        f.insert(f.end(), codes.begin() + static_cast<std::ptrdiff_t>(i),
                 codes.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    f.insert(f.end(), {0, 0x3B});
    return f;
}

// RGB PSD with PackBits rows of literals and runs.
std::vector<uint8_t> MakePsd() {
    std::vector<uint8_t> f{'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    Put16Be(f, 3);
    Put32Be(f, kHeight);
    Put32Be(f, kWidth);
    Put16Be(f, 8);
    Put16Be(f, 3);
    Put32Be(f, 0);
    Put32Be(f, 0);
    Put32Be(f, 0);
    Put16Be(f, 1);
    std::vector<std::vector<uint8_t>> rows;
    for (uint32_t c = 0; c < 3; ++c)
        for (uint32_t y = 0; y < kHeight; ++y) {
            std::vector<uint8_t> row;
            for (uint32_t x = 0; x < kWidth; x += 128) {
                const uint32_t n = std::min<uint32_t>(128, kWidth - x);
                if ((x / 128 + y) % 2) {
                    row.push_back(static_cast<uint8_t>(257 - n));
                    row.push_back(Sample(x, y + c));
                } else {
                    row.push_back(static_cast<uint8_t>(n - 1));
                    for (uint32_t i = 0; i < n; ++i) row.push_back(Sample(x + i, y + c));
                }
            }
            rows.push_back(std::move(row));
        }
    for (const auto& r : rows) Put16Be(f, static_cast<uint32_t>(r.size()));
    for (const auto& r : rows) f.insert(f.end(), r.begin(), r.end());
    return f;
}

// 24-bit PCX, three planes per line.
std::vector<uint8_t> MakePcx() {
    std::vector<uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = 1;
    f[3] = 8;
    f[8] = static_cast<uint8_t>(kWidth - 1);
    f[9] = static_cast<uint8_t>((kWidth - 1) >> 8);
    f[10] = static_cast<uint8_t>(kHeight - 1);
    f[11] = static_cast<uint8_t>((kHeight - 1) >> 8);
    f[65] = 3;
    f[66] = static_cast<uint8_t>(kWidth);
    f[67] = static_cast<uint8_t>(kWidth >> 8);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t p = 0; p < 3; ++p)
            for (uint32_t x = 0; x < kWidth; ++x) {
                const uint8_t v = Sample(x / 4 * 4, y + p);
                f.push_back(0xC1);
                f.push_back(v);
            }
    return f;
}

std::vector<uint8_t> MakeWbmp() {
    std::vector<uint8_t> f{0, 0, 0x8F, 0x50, 0x8B, 0x5C}; // 2000, 1500
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth / 8; ++x) f.push_back(Sample(x, y));
    return f;
}

template <typename R> void Decode(benchmark::State& state, const std::vector<uint8_t>& file) {
    for (auto _ : state) {
        R reader;
        reader.LoadFromBytes(file);
        TBMPImage bitmap;
        reader.AssignTo(bitmap);
        benchmark::DoNotOptimize(bitmap.Pixels().data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}

void BM_GifDecode(benchmark::State& state) {
    Decode<TGIFImage>(state, MakeGif());
}
void BM_PsdDecode(benchmark::State& state) {
    Decode<TPSDImage>(state, MakePsd());
}
void BM_PcxDecode(benchmark::State& state) {
    Decode<TPCXImage>(state, MakePcx());
}
void BM_WbmpDecode(benchmark::State& state) {
    Decode<TWBMPImage>(state, MakeWbmp());
}

BENCHMARK(BM_GifDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PsdDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PcxDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WbmpDecode)->Unit(benchmark::kMillisecond);

} // namespace
