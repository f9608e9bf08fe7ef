// JPEG and BMP reading and JPEG writing on a 3000 x 2000 picture, beside a plain copy of the
// same bytes (the JPEG pass-through loads the header only, so it should stay near the copy).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "images/jpeg_encoder.h"
#include "images/readers/bmp_reader.h"
#include "images/readers/jpeg_image.h"

namespace {

using namespace pagelith;

constexpr int32_t kWidth = 3000, kHeight = 2000;

const TBMPImage& Picture() {
    static const TBMPImage picture = [] {
        TBMPImage b;
        b.SetSize(TPixelFormat::Rgb24, kWidth, kHeight);
        for (int32_t y = 0; y < kHeight; ++y) {
            auto row = b.Row(y);
            for (int32_t x = 0; x < kWidth; ++x) {
                row[3 * x] = static_cast<uint8_t>(x * 7 + y);
                row[3 * x + 1] = static_cast<uint8_t>(y / 8 + x / 16);
                row[3 * x + 2] = static_cast<uint8_t>((x ^ y) & 0xFF);
            }
        }
        b.XPelsPerMeter = b.YPelsPerMeter = 11811;
        return b;
    }();
    return picture;
}

const std::vector<uint8_t>& JPEGFile() {
    static const std::vector<uint8_t> file = [] {
        const std::string s = EncodeJPEG(Picture(), false);
        return std::vector<uint8_t>(s.begin(), s.end());
    }();
    return file;
}

const std::vector<uint8_t>& BMPFile() {
    static const std::vector<uint8_t> file = [] {
        const auto& p = Picture();
        const uint32_t image = static_cast<uint32_t>(p.Stride() * kHeight);
        std::vector<uint8_t> f(54 + image);
        auto put32 = [&](std::size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        f[0] = 'B', f[1] = 'M';
        put32(2, static_cast<uint32_t>(f.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, kWidth);
        put32(22, kHeight);
        f[26] = 1, f[28] = 24;
        for (int32_t y = 0; y < kHeight; ++y)
            std::memcpy(f.data() + 54 + p.Stride() * std::size_t(kHeight - 1 - y), p.Row(y).data(),
                        p.Stride());
        return f;
    }();
    return file;
}

void BM_CopyJPEGBytes(benchmark::State& state) {
    const auto& file = JPEGFile();
    for (auto _ : state) {
        std::vector<uint8_t> copy(file.begin(), file.end());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_JPEGLoadForPassThrough(benchmark::State& state) {
    const auto& file = JPEGFile();
    for (auto _ : state) {
        TJPEGImageExtra jpeg;
        jpeg.LoadFromBytes(file);
        benchmark::DoNotOptimize(jpeg.Data().data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_JPEGDecode(benchmark::State& state) {
    TJPEGImageExtra jpeg;
    jpeg.LoadFromBytes(JPEGFile());
    for (auto _ : state) {
        TBMPImage bitmap;
        jpeg.AssignTo(bitmap);
        benchmark::DoNotOptimize(bitmap.Pixels().data());
    }
}

void BM_JPEGEncode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodeJPEG(Picture(), state.range(0) != 0));
}

void BM_BMPDecode24(benchmark::State& state) {
    const auto& file = BMPFile();
    for (auto _ : state) {
        TBMPReader reader;
        reader.LoadFromBytes(file);
        TBMPImage bitmap;
        reader.AssignTo(bitmap);
        benchmark::DoNotOptimize(bitmap.Pixels().data());
    }
}

BENCHMARK(BM_CopyJPEGBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JPEGLoadForPassThrough)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JPEGDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JPEGEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BMPDecode24)->Unit(benchmark::kMillisecond);

} // namespace
