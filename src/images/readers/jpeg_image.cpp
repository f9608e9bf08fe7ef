#include "images/readers/jpeg_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <jerror.h>

#include "base/byte_reader.h"
#include "images/readers/jpeg_error_manager.h"

namespace pagelith {

namespace {

// libjpeg's own working memory (coefficient buffers of progressive files, mostly), bounded
// like the picture it decodes to.
constexpr long kMaxJPEGMemory = static_cast<long>(kMaxBitmapBytes);
// Every scan is a pass over the picture, and a file may repeat scans without end. libjpeg's
// progressive script writes 10 scans (6 for gray); 100 leaves room for other encoders' scripts.
constexpr uint32_t kMaxScans = 100;
// The most 8x8 blocks one byte of entropy-coded data can stand for. A Huffman code is one bit at
// least: a sequential block needs a DC code and an end-of-block code, a progressive block its DC code
// in the first scan (later scans may skip it with end-of-band runs). Arithmetic coding has no such
// floor, a flat picture codes to a few bytes, so its bound is a choice: 1 bit per 32 blocks.
constexpr uint64_t kSequentialBlocksPerByte = 4;
constexpr uint64_t kProgressiveBlocksPerByte = 8;
constexpr uint64_t kArithmeticBlocksPerByte = 256;

bool IsRestartMarker(uint8_t code) {
    return code >= 0xD0 && code <= 0xD7;
}

// Counts the entropy-coded bytes from the reader's position to the next marker that is not a
// restart, and leaves the reader there. A stuffed 0xFF 0x00 is one byte of data.
uint64_t EntropyBytes(TByteReader& r) {
    const auto rest = r.Bytes(r.Position(), r.Size() - r.Position());
    uint64_t count = 0;
    std::size_t i = 0;
    while (i < rest.size()) {
        const auto ff =
            static_cast<std::size_t>(std::find(rest.begin() + i, rest.end(), 0xFF) - rest.begin());
        count += ff - i;
        i = ff;
        if (i + 1 >= rest.size()) break;
        const uint8_t next = rest[i + 1];
        if (next == 0x00)
            ++count;
        else if (next != 0xFF && !IsRestartMarker(next))
            break;
        i += next == 0xFF ? 1 : 2; // fill bytes may precede a marker
    }
    r.Skip(i);
    return count;
}

// Walks the markers as libjpeg reads them: bytes between segments and fill bytes are skipped, and a
// scan's data runs to the first marker that is not a restart.
TJPEGImageExtra::TLayout WalkMarkers(std::span<const uint8_t> data) {
    TJPEGImageExtra::TLayout layout;
    TByteReader r(data, TByteReader::TOrder::BigEndian);
    r.Seek(2);
    while (r.Ok()) {
        if (r.U8() != 0xFF) continue;
        uint8_t code = r.U8();
        while (code == 0xFF && r.Ok()) code = r.U8();
        if (!r.Ok() || code == JPEG_EOI) break;
        if (code == 0x00 || code == 0x01 || IsRestartMarker(code)) continue; // no length follows
        const uint16_t length = r.U16();
        const uint64_t body = r.Position();
        if (length < 2) break;
        r.Seek(body + length - 2);
        if (code == 0xDA) { // start of scan
            ++layout.Scans;
            layout.EntropyBytes += EntropyBytes(r);
        }
    }
    return layout;
}

const JOCTET kFakeEOI[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Past the end of the data: warn and supply an EOI, so a truncated file decodes what it has.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kFakeEOI;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
        FillInputBuffer(cinfo);
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

// One libjpeg decompressor over a byte range; every libjpeg call runs under the guard.
class TDecompressor {
public:
    explicit TDecompressor(std::span<const uint8_t> data) {
        std::memset(&cinfo_, 0, sizeof cinfo_);
        cinfo_.err = errors_.Manager();
        if (!errors_.Guarded([&] { jpeg_create_decompress(&cinfo_); })) {
            errors_.Guarded([&] { jpeg_destroy_decompress(&cinfo_); });
            throw EInvalidGraphic(errors_.Message());
        }
        cinfo_.mem->max_memory_to_use = kMaxJPEGMemory;
        source_.init_source = &InitSource;
        source_.fill_input_buffer = &FillInputBuffer;
        source_.skip_input_data = &SkipInputData;
        source_.resync_to_restart = &jpeg_resync_to_restart;
        source_.term_source = &TermSource;
        source_.next_input_byte = data.data();
        source_.bytes_in_buffer = data.size();
        cinfo_.src = &source_;
    }
    ~TDecompressor() {
        errors_.Guarded([&] { jpeg_destroy_decompress(&cinfo_); });
    }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    jpeg_decompress_struct& Info() { return cinfo_; }

    template <class F> void Run(F&& work) {
        if (!errors_.Guarded(work)) throw EInvalidGraphic(errors_.Message());
    }

private:
    TJPEGErrorManager errors_;
    jpeg_decompress_struct cinfo_;
    jpeg_source_mgr source_{};
};

// Ink amounts (0 = none) to a colour channel, with the black ink folded in.
uint8_t InkToChannel(uint32_t ink, uint32_t black) {
    const uint32_t k = 255 - black;
    // round(ink / 255 * k) has no ties: 2 * ink * k is even, 255 * odd is odd.
    const uint32_t amount = (ink * k + 127) / 255 + black;
    return static_cast<uint8_t>(255 - std::min<uint32_t>(amount, 255));
}

} // namespace

void TJPEGImageExtra::LoadFromBytes(std::span<const uint8_t> data) {
    owned_.assign(data.begin(), data.end());
    Load(owned_);
}

void TJPEGImageExtra::LoadFromView(std::span<const uint8_t> data) {
    owned_.clear();
    Load(data);
}

void TJPEGImageExtra::Load(std::span<const uint8_t> data) {
    width_ = height_ = xDensity_ = yDensity_ = rawXDensity_ = rawYDensity_ = 0;
    components_ = 0;
    densityUnit_ = 0;
    adobeInverted_ = progressive_ = arithmetic_ = false;
    metadata_ = {};
    data_ = data;
    layout_ = WalkMarkers(data_);
    TDecompressor d(data_);
    auto& c = d.Info();
    d.Run([&] {
        jpeg_save_markers(&c, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&c, JPEG_APP0 + 2, 0xFFFF);
        jpeg_save_markers(&c, JPEG_APP0 + 13, 0xFFFF);
        jpeg_read_header(&c, TRUE);
    });
    CheckPixels(c.image_width, c.image_height);
    width_ = c.image_width;
    height_ = c.image_height;
    components_ = c.num_components;
    adobeInverted_ = c.saw_Adobe_marker != 0;
    progressive_ = c.progressive_mode != 0;
    arithmetic_ = c.arith_code != 0;
    densityUnit_ = c.density_unit;
    rawXDensity_ = c.X_density;
    rawYDensity_ = c.Y_density;
    if (densityUnit_ == 1) {
        xDensity_ = rawXDensity_;
        yDensity_ = rawYDensity_;
    } else if (densityUnit_ == 2) {
        xDensity_ = (rawXDensity_ * 254 + 50) / 100;
        yDensity_ = (rawYDensity_ * 254 + 50) / 100;
    }
    for (auto* m = c.marker_list; m != nullptr; m = m->next)
        metadata_.AddSegment(m->marker, {m->data, m->data_length});
    metadata_.Finish();
}

void TJPEGImageExtra::AssignTo(TBMPImage& bitmap) {
    TDecompressor d(data_);
    auto& c = d.Info();
    d.Run([&] { jpeg_read_header(&c, TRUE); });

    const bool gray = c.jpeg_color_space == JCS_GRAYSCALE;
    const bool ink = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
    c.out_color_space = gray ? JCS_GRAYSCALE : ink ? JCS_CMYK : JCS_RGB;
    const int channels = gray ? 1 : ink ? 4 : 3;
    const bool inverted = ink && c.saw_Adobe_marker;

    const auto format = gray ? TPixelFormat::Indexed8 : TPixelFormat::Rgb24;
    const auto width = static_cast<int32_t>(c.image_width);
    const auto height = static_cast<int32_t>(c.image_height);
    if (!TBMPImage::SizeAllowed(format, width, height)) throw EInvalidGraphic("Image is too large");
    // libjpeg makes up what the data lacks, so the data must be able to fill the picture.
    uint64_t blocks = 0;
    for (int i = 0; i < c.num_components; ++i)
        blocks += uint64_t{c.comp_info[i].width_in_blocks} * c.comp_info[i].height_in_blocks;
    const uint64_t perByte = c.arith_code         ? kArithmeticBlocksPerByte
                             : c.progressive_mode ? kProgressiveBlocksPerByte
                                                  : kSequentialBlocksPerByte;
    if (blocks > layout_.EntropyBytes * perByte)
        throw EInvalidGraphic("JPEG file has too little data for its size");
    if (layout_.Scans > kMaxScans) throw EInvalidGraphic("Too many scans in JPEG file");
    // Progressive files take their coefficient memory here, before the picture is allocated.
    d.Run([&] { jpeg_start_decompress(&c); });

    TBMPImage out;
    out.SetSize(format, width, height);
    if (gray)
        for (std::size_t i = 0; i < out.Palette.size(); ++i) {
            const auto v = static_cast<uint8_t>(i);
            out.Palette[i] = {v, v, v};
        }
    std::vector<JSAMPLE> line(std::size_t{c.image_width} * channels);

    d.Run([&] {
        // No scaling was asked for, so the output has the frame's size checked above.
        while (c.output_scanline < c.output_height) {
            const auto y = static_cast<int32_t>(c.output_scanline);
            JSAMPROW row = line.data();
            if (jpeg_read_scanlines(&c, &row, 1) != 1) break;
            const auto dst = out.Row(y);
            const std::size_t width = c.output_width;
            if (gray) {
                std::memcpy(dst.data(), line.data(), width);
            } else if (ink) {
                for (std::size_t x = 0; x < width; ++x) {
                    uint32_t cmyk[4];
                    for (int i = 0; i < 4; ++i) {
                        const uint32_t v = line[4 * x + i];
                        cmyk[i] = inverted ? 255 - v : v;
                    }
                    dst[3 * x] = InkToChannel(cmyk[2], cmyk[3]);
                    dst[3 * x + 1] = InkToChannel(cmyk[1], cmyk[3]);
                    dst[3 * x + 2] = InkToChannel(cmyk[0], cmyk[3]);
                }
            } else {
                for (std::size_t x = 0; x < width; ++x) {
                    dst[3 * x] = line[3 * x + 2];
                    dst[3 * x + 1] = line[3 * x + 1];
                    dst[3 * x + 2] = line[3 * x];
                }
            }
        }
    });

    if (densityUnit_ == 1) {
        out.XPelsPerMeter = static_cast<int32_t>(std::lround(rawXDensity_ * 39.37007874));
        out.YPelsPerMeter = static_cast<int32_t>(std::lround(rawYDensity_ * 39.37007874));
    } else if (densityUnit_ == 2) {
        out.XPelsPerMeter = static_cast<int32_t>(rawXDensity_ * 100);
        out.YPelsPerMeter = static_cast<int32_t>(rawYDensity_ * 100);
    }
    bitmap = std::move(out);
}

} // namespace pagelith
