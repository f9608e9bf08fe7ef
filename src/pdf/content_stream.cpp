#include "pdf/content_stream.h"

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "base/deflate.h"
#include "base/pdf_string.h"
#include "document/pagelith.h"
#include "drawing/graphic_res.h"
#include "fonts/font_res.h"
#include "fonts/shaping.h"
#include "fonts/standard_fonts.h"
#include "images/image_res.h"
#include "pdf/font_objects.h"
#include "pdf/pdf_file.h"
#include "pdf/stream_object.h"
#include "text/text_res.h"

namespace pagelith {

namespace {

constexpr long double kPi = 3.14159265358979323846L;

struct TUnderline {
    double X, Y, Width, Thickness;
    uint32_t Color;
};

// v + 0.5 truncated toward zero, kept signed so areas left of or below the
// origin keep their place.
int64_t Nearest(double v) {
    const double t = std::trunc(v + 0.5);
    if (!(t > -9e18)) return t < 0 ? -9000000000000000000 : 0;
    if (t > 9e18) return 9000000000000000000;
    return static_cast<int64_t>(t);
}

// A number already rounded to hundredths, as the number format writes it: no trailing zeros, no
// point for a whole number. Kerned lines carry one per pair, so it avoids the general formatter.
void AppendHundredths(std::string& out, double v) {
    const auto h = static_cast<int64_t>(std::llround(v * 100));
    if (h < 0) out.push_back('-');
    const uint64_t a = h < 0 ? 0 - static_cast<uint64_t>(h) : static_cast<uint64_t>(h);
    out += std::to_string(a / 100);
    if (a % 100 == 0) return;
    out.push_back('.');
    out.push_back(static_cast<char>('0' + a % 100 / 10));
    if (a % 10 != 0) out.push_back(static_cast<char>('0' + a % 10));
}

class TSlotCursor {
public:
    explicit TSlotCursor(std::vector<TLinkSlot>& slots) : slots_(slots) {}
    // The next unfilled slot, or null when every reserved slot is taken.
    TLinkSlot* Take() { return next_ < slots_.size() ? &slots_[next_++] : nullptr; }

private:
    std::vector<TLinkSlot>& slots_;
    std::size_t next_ = 0;
};

constexpr std::string_view kContentTail = " /Filter /FlateDecode >>";

// A page's content: compressed in one call when it stays small, and piece by piece once it outgrows
// a piece, so that a long page is never held whole.
class TContentOut {
public:
    TContentOut(TPdfFile& file, TStreamObject& stream) : file_(file), stream_(stream) {}

    std::string Text; // written and not yet compressed

    void Spill() {
        if (Text.size() < kPiece) return;
        if (!deflater_) {
            stream_.Open(kContentTail);
            deflater_.emplace(kStreamedContentDeflateLevel,
                              [this](std::string_view bytes) { file_.Append(bytes); });
        }
        deflater_->Write(Text);
        Text.clear();
    }

    void Finish() {
        if (!deflater_) {
            stream_.Deflate(std::move(Text), kContentTail, kContentDeflateLevel);
            return;
        }
        deflater_->Write(Text);
        deflater_->Finish();
        stream_.Close(deflater_->Size());
    }

private:
    static constexpr std::size_t kPiece = 1 << 20;
    TPdfFile& file_;
    TStreamObject& stream_;
    std::optional<TDeflateStream> deflater_;
};

class TContentWriter {
public:
    TContentWriter(TContentOut& out, TPagelith& doc, std::vector<TLinkSlot>& slots, TLaidOutBlocks& blocks)
        : out_(out), text_(out.Text), doc_(doc), slots_(slots), blocks_(blocks) {}

    void Placement(const TPDFObj& obj) {
        TPDFResource* res = doc_.Resource(static_cast<int32_t>(obj.ResourceIndex));
        switch (obj.Kind) {
        case kImagePlacement:
            if (auto* image = dynamic_cast<const TPDFImageRes*>(res)) Image(obj, *image);
            break;
        case kGraphicPlacement:
            // The graphic's own line width and colours end with it: nothing placed later inherits them.
            if (auto* graphic = dynamic_cast<const TPDFGraphicRes*>(res)) {
                Out().Line("q");
                text_.append(graphic->Content());
                Out().Line("Q");
            }
            break;
        default:
            if (auto* text = dynamic_cast<const TPDFTextRes*>(res)) Text(obj, *text);
            break;
        }
    }

    void UnderlineBars() {
        for (std::size_t i = 0; i < underlines_.size(); ++i) {
            const TUnderline& u = underlines_[i];
            if (i == 0 || u.Color != underlines_[i - 1].Color)
                Out().Color(u.Color, true).EndLine().Color(u.Color, false).EndLine();
            Out().Operand(u.X).Operand(u.Y).Operand(u.Width).Number(u.Thickness).Line(" re").Line("B");
        }
    }

private:
    TOperatorText Out() { return TOperatorText(text_); }

    void RotationLine(double c, double s) {
        Out().Operand(c).Operand(s).Operand(-s).Operand(c).Line("0 0 cm");
    }

    // Maps the unit square of the stored picture onto the shown w x h box whose lower left corner is
    // (e, f): the picture's EXIF orientation turns or mirrors it there.
    void PlacementMatrix(uint8_t orientation, double w, double h, double e, double f) {
        struct TTurn {
            int8_t A, B, C, D, E, F; // in units of w (A, C, E) and h (B, D, F)
        };
        static constexpr TTurn kTurns[8] = {
            {1, 0, 0, 1, 0, 0},   {-1, 0, 0, 1, 1, 0}, {-1, 0, 0, -1, 1, 1}, {1, 0, 0, -1, 0, 1},
            {0, -1, -1, 0, 1, 1}, {0, -1, 1, 0, 0, 1}, {0, 1, 1, 0, 0, 0},   {0, 1, -1, 0, 1, 0},
        };
        const TTurn& t = kTurns[orientation >= 1 && orientation <= 8 ? orientation - 1 : 0];
        auto entry = [&](int8_t unit, double size) {
            if (unit == 0)
                Out().Text("0 ");
            else
                Out().Operand(unit * size);
        };
        entry(t.A, w);
        entry(t.B, h);
        entry(t.C, w);
        entry(t.D, h);
        Out().Operand(t.E ? e + w : e).Number(t.F ? f + h : f).Line(" cm");
    }

    void Image(const TPDFObj& obj, const TPDFImageRes& image) {
        // Resolutions are never 0 after intake; a hand-made resource gets 72 dpi.
        const auto across = image.ShownWidth();
        const auto down = image.ShownHeight();
        const double xres = across.Resolution ? across.Resolution : 72;
        const double yres = down.Resolution ? down.Resolution : 72;
        const double w = obj.Scale * across.Pixels * 72 / (xres * 100);
        const double h = obj.Scale * down.Pixels * 72 / (yres * 100);
        const double r = obj.Angle;
        double e = obj.X;
        double f = obj.Y - h;
        Out().Line("q").Line("q");
        if (r != 0) {
            const double c = std::cos(r);
            const double s = std::sin(r);
            e = obj.X * c + obj.Y * s;
            f = obj.Y * c - obj.X * s - h;
            RotationLine(c, s);
        }
        PlacementMatrix(image.Orientation, w, h, e, f);
        Out().Text("/Im").Integer(obj.ResourceIndex).Line(" Do").EndLine().Line("Q").Line("Q");
        if (!obj.Link.empty() && r == 0) {
            if (TLinkSlot* slot = slots_.Take()) {
                slot->Uri = obj.Link;
                slot->Border = obj.LinkBorder;
                slot->Left = Nearest(obj.X);
                slot->Top = Nearest(obj.Y);
                slot->Width = Nearest(w);
                slot->Bottom = Nearest(obj.Y - h);
            }
        }
    }

    void Text(const TPDFObj& obj, const TPDFTextRes& text) {
        Out().Line("q").Line("q").Line("BT");
        const double r = obj.Angle;
        double e = obj.X;
        double f = obj.Y;
        if (r != 0) {
            const double c = std::cos(r);
            const double s = std::sin(r);
            e = obj.X * c + obj.Y * s;
            f = obj.Y * c - obj.X * s;
            RotationLine(c, s);
        }
        selected_ = {};
        // One visual line at a time: a block's segments are never all held.
        const auto line = [&](const TSegmentList& segments, std::size_t first, std::size_t end) {
            for (std::size_t i = first; i < end; ++i) {
                const TSegment& seg = segments.At(i);
                const TLineStyle& style = segments.Style(i);
                Select(seg.Shaped ? seg.Font : style.Font, seg.Shaped);
                // Signed, as the layout measured it: a size of 0 or less is written as it stands.
                const double size = obj.Scale * style.Size / 100;
                const double tx = std::tan(static_cast<double>(style.SkewX * kPi / 180)) * size;
                const double ty = std::tan(static_cast<double>(style.SkewY * kPi / 180)) * size;
                Out().Color(style.Color, true).EndLine();
                double a = 0;
                if (text.Alignment == 1) a = -seg.LineWidth / 2;
                if (text.Alignment == 2) a = -seg.LineWidth;
                const double x = seg.XOffset + e + a;
                const double y = f - seg.YOffset;
                TLinkSlot* slot = (!style.Link.empty() && r == 0) ? slots_.Take() : nullptr;
                Out().Operand(size).Operand(tx).Operand(ty).Operand(size).Operand(x).Number(y).Line(" Tm");
                if (style.Underline && r == 0)
                    underlines_.push_back({x, y - 0.15 * size, seg.Width, 0.05 * size, style.Color});
                if (slot) {
                    slot->Uri = style.Link.View();
                    slot->Border = style.LinkBorder;
                    slot->Left = Nearest(x);
                    slot->Top = Nearest(y + size);
                    slot->Width = Nearest(seg.Width);
                    slot->Bottom = Nearest(y - 0.25 * size);
                }
                if (seg.Shaped) {
                    AppendGlyphs(seg.Font, segments.Glyphs(i));
                } else {
                    AppendLiteralString(segments.Text(i));
                    text_.append("Tj\r");
                }
            }
            out_.Spill();
        };
        blocks_.Draw(text, doc_.Fonts, obj.Scale, line);
        Out().Line("ET").Line("Q").Line("Q");
    }

    // Selects a font resource unless it is the one in use.
    void Select(int32_t font, bool unicode) {
        if (selected_.Font == font && selected_.Unicode == unicode) return;
        selected_ = {font, unicode};
        AppendFontResourceName(text_, font, unicode);
        Out().Line(" 1 Tf");
    }

    void AppendLiteralString(std::string_view bytes) {
        text_.push_back('(');
        AppendEscaped(text_, bytes);
        text_.push_back(')');
    }

    // Shaped glyphs by their codes (glyph IDs, or a CID-keyed font's CIDs), two bytes each as the
    // composite font's Identity-H encoding reads them. The viewer moves each glyph by its width in /W;
    // where the shaper places it elsewhere (kerning, marks), the array moves the text position, and a
    // text rise lifts a mark.
    void AppendGlyphs(int32_t fontNumber, std::span<const TShapedGlyph> glyphs) {
        if (glyphs.empty()) return;
        const TPDFFontRes* font = doc_.Fonts.Item(static_cast<uint32_t>(fontNumber - kStandardFontCount));
        if (!font) return;
        shown_.clear();
        codes_.clear();
        bool adjusted = false;
        const auto close = [&] { // the codes gathered so far become one string
            if (codes_.empty()) return;
            shown_.push_back('(');
            AppendEscaped(shown_, codes_);
            shown_.push_back(')');
            codes_.clear();
        };
        const auto flush = [&] {
            close();
            if (shown_.empty()) return;
            if (adjusted) text_.push_back('[');
            text_.append(shown_);
            text_.append(adjusted ? "]TJ\r" : "Tj\r");
            shown_.clear();
            adjusted = false;
        };
        double pen = 0, at = 0; // where the shaper and the viewer are, in thousandths of an em
        float rise = 0;
        for (const TShapedGlyph& g : glyphs) {
            if (g.YOffset != rise) {
                flush();
                rise = g.YOffset;
                Out().Number(rise / 1000.0).Line(" Ts");
            }
            const double move =
                std::round((pen + g.XOffset - at) * 100) / 100; // 0.005 of a thousandth at most
            if (std::abs(move) >= 0.01) {
                close();
                AppendHundredths(shown_, -move);
                at += move;
                adjusted = true;
            }
            const uint16_t code = font->Font.CodeOfGlyph(g.Glyph);
            codes_.push_back(static_cast<char>(code >> 8));
            codes_.push_back(static_cast<char>(code & 0xFF));
            at += g.Nominal;
            pen += g.Advance;
        }
        flush();
        if (rise != 0) Out().Line("0 Ts");
    }

    TContentOut& out_;
    std::string& text_;
    std::string shown_, codes_;
    struct {
        int32_t Font = 0;
        bool Unicode = false;
    } selected_; // the font resource in use in the current text object
    TPagelith& doc_;
    TSlotCursor slots_;
    TLaidOutBlocks& blocks_;
    std::vector<TUnderline> underlines_;
};

} // namespace

void WriteContentStream(TPdfFile& file, TPagelith& doc, const TPDFPage& page, std::vector<TLinkSlot>& slots,
                        TLaidOutBlocks& blocks) {
    TStreamObject stream(file, TStreamLength::Separate);
    stream.Dictionary().Text("<< ");
    TContentOut out(file, stream);
    TContentWriter content(out, doc, slots, blocks);
    for (const auto& obj : page.Placements) {
        content.Placement(*obj);
        out.Spill();
    }
    content.UnderlineBars();
    out.Finish();
}

} // namespace pagelith
