#include "pdf/pdf_writer.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/byte_stream.h"
#include "base/pdf_string.h"
#include "base/pdf_text_string.h"
#include "base/version.h"
#include "document/pagelith.h"
#include "images/image_res.h"
#include "pdf/content_stream.h"
#include "pdf/font_objects.h"
#include "pdf/image_objects.h"
#include "pdf/pdf_file.h"
#include "text/text_res.h"

namespace pagelith {

namespace {

// Left and width are each clamped to about 9e18 by the content pass; their sum saturates.
int64_t RightEdge(const TLinkSlot& slot) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    if (slot.Width > 0 && slot.Left > kMax - slot.Width) return kMax;
    if (slot.Width < 0 && slot.Left < kMin - slot.Width) return kMin;
    return slot.Left + slot.Width;
}

class TPdfWriter {
public:
    explicit TPdfWriter(TPagelith& doc) : doc_(doc), fonts_(doc) {}

    // The whole file, or with a sink, the file in pieces through it (and an empty result).
    std::string Write(TPdfSink sink = {}) {
        Number();
        file_.Sink = std::move(sink);
        // Built whole, the buffer takes the pictures too; passed on, it holds a few pages at a time.
        file_.Buffer.reserve(file_.Sink ? 2 * kPassOnBytes
                                        : 4096 + std::size_t{doc_.Pages.Count()} * 256 + PlacedImageBytes());
        file_.Out().Text("%PDF-1.").Integer(minorVersion_).EndLine();
        file_.Next = 1;
        for (const TPlanned& entry : plan_) {
            if (entry.First != file_.Next) throw EPDFError(kIndexingError);
            Emit(entry);
            if (file_.Next - entry.First != entry.Count) throw EPDFError(kIndexingError);
            file_.Flush(kPassOnBytes);
        }
        CrossReference();
        file_.Flush();
        return std::move(file_.Buffer);
    }

private:
    // One entry of the plan: objects First .. First + Count - 1 hold one thing of the document.
    struct TPlanned {
        enum class TKind : uint8_t { Catalog, Page, Content, Image, Font, Links, Info };
        TKind Kind;
        int32_t First = 0;
        int32_t Count = 0;
        const TPDFPage* Page = nullptr; // Page, Content and Links
        const TPDFImageRes* Image = nullptr;
        const TPDFFontRes* Font = nullptr;
        const std::vector<std::string_view>* Targets = nullptr; // Links: the page's actions
    };

    void Emit(const TPlanned& entry) {
        using K = TPlanned::TKind;
        switch (entry.Kind) {
        case K::Catalog:
            Catalog();
            break;
        case K::Page:
            Page(*entry.Page);
            break;
        case K::Content:
            slots_.assign(static_cast<std::size_t>(entry.Page->AnnotCount), TLinkSlot{});
            WriteContentStream(file_, doc_, *entry.Page, slots_);
            break;
        case K::Image:
            WriteImageObjects(file_, *entry.Image);
            break;
        case K::Font:
            WriteFontObjects(file_, *entry.Font);
            break;
        case K::Links:
            Links(*entry.Page, *entry.Targets);
            break;
        case K::Info:
            Info();
            break;
        }
    }

    // What a text placement adds to its page's links: one slot per laid-out segment with a link, so
    // that the content pass never meets more links than it has slots, and its distinct targets.
    struct TTextLinks {
        bool Known = false;
        int32_t Segments = 0;
        std::vector<std::string_view> Targets;
    };

    const TTextLinks& TextLinks(int32_t resource, TPDFTextRes& text) {
        TTextLinks& links = textLinks_[static_cast<std::size_t>(resource)];
        if (links.Known) return links;
        links.Known = true;
        if (text.LinkCount <= 0) return links;
        text.Layout(doc_.Fonts, 100);
        const TLinkRef* last = nullptr;
        for (std::size_t i = 0; i < text.Segments.size(); ++i) {
            const TLinkRef& link = text.Segments.Style(i).Link;
            if (link.empty()) continue;
            ++links.Segments;
            if (!last || !(*last == link)) links.Targets.push_back(link.View());
            last = &link;
        }
        text.ReleaseSegments(); // the content pass lays the block out again
        return links;
    }

    // The stream bytes of the images the pages place: reserved at once, the buffer is never moved
    // while megabytes of samples are appended to it.
    std::size_t PlacedImageBytes() const {
        std::size_t total = 0;
        for (const auto& res : doc_.Resources) {
            const auto* image = dynamic_cast<const TPDFImageRes*>(res.get());
            if (image && image->ObjectNumber != 0)
                total += image->Data.size() + image->SoftMask.size() + image->Palette.size() + 1024;
        }
        return total;
    }

    // One URI action per distinct target of the page, in first-use order.
    static void AddTarget(std::vector<std::string_view>& targets, std::unordered_set<std::string_view>& seen,
                          std::string_view uri) {
        if (seen.insert(uri).second) targets.push_back(uri);
    }

    // Numbers every object and lists them in file order: the catalog and page tree, then each page
    // with its content, the images and fonts it uses first, and its links; the information last.
    void Number() {
        for (const auto& res : doc_.Resources) res->ObjectNumber = 0;
        textLinks_.assign(std::size_t{doc_.Resources.Count()} + 1, TTextLinks{});
        pageTargets_.assign(doc_.Pages.Count(), {});
        plan_.clear();
        minorVersion_ = 2;
        int32_t next = 1;
        using K = TPlanned::TKind;
        const auto plan = [&](K kind, int32_t count) -> TPlanned& {
            TPlanned& entry = plan_.emplace_back(TPlanned{kind, next, count});
            next += count;
            return entry;
        };
        plan(K::Catalog, 2);
        std::size_t pageIndex = 0;
        for (const auto& page : doc_.Pages) {
            std::vector<std::string_view>& targets = pageTargets_[pageIndex++];
            std::unordered_set<std::string_view> seen;
            page->ObjectNumber = next;
            page->AnnotCount = 0;
            plan(K::Page, 1).Page = page.get();
            if (page->Placements.Count() == 0) {
                page->FirstAnnot = next;
                continue;
            }
            plan(K::Content, 2).Page = page.get(); // the stream and its length
            for (const auto& obj : page->Placements) {
                if (obj->Kind != kImagePlacement) continue;
                auto* image =
                    dynamic_cast<TPDFImageRes*>(doc_.Resource(static_cast<int32_t>(obj->ResourceIndex)));
                if (image && image->ObjectNumber == 0) {
                    image->ObjectNumber = next;
                    minorVersion_ = std::max(minorVersion_, ImageMinorVersion(*image));
                    plan(K::Image, static_cast<int32_t>(ImageObjects(*image).size())).Image = image;
                }
            }
            for (const auto& obj : page->Placements) {
                const auto resource = static_cast<int32_t>(obj->ResourceIndex);
                if (obj->Kind == kImagePlacement) {
                    if (!obj->Link.empty() && obj->Angle == 0) {
                        ++page->AnnotCount;
                        AddTarget(targets, seen, obj->Link);
                    }
                    continue;
                }
                if (obj->Kind != kTextPlacement) continue;
                auto* text = dynamic_cast<TPDFTextRes*>(doc_.Resource(resource));
                if (!text) continue;
                if (obj->Angle == 0) {
                    const TTextLinks& links = TextLinks(resource, *text);
                    page->AnnotCount += links.Segments;
                    for (std::string_view uri : links.Targets) AddTarget(targets, seen, uri);
                }
                for (const TDocumentFonts::TUse& use : fonts_.TextFonts(*text)) {
                    if (fonts_.Find(use.Number, use.Unicode)) continue;
                    TPDFFontRes& font = fonts_.Add(use.Number, use.Unicode);
                    font.ObjectNumber = next;
                    minorVersion_ = std::max(minorVersion_, FontMinorVersion(font));
                    plan(K::Font, static_cast<int32_t>(FontObjects(font).size())).Font = &font;
                }
            }
            page->FirstAnnot = next;
            if (page->AnnotCount > 0) {
                TPlanned& links = plan(K::Links, page->AnnotCount + static_cast<int32_t>(targets.size()));
                links.Page = page.get();
                links.Targets = &targets;
            }
        }
        infoNumber_ = next;
        plan(K::Info, 1);
        file_.Offsets.assign(static_cast<std::size_t>(next) + 1, 0);
    }

    void Catalog() {
        file_.BeginObject();
        file_.Out().Line("<<").Line("/Type /Catalog").Line("/Pages 2 0 R >>");
        file_.EndObject();
        file_.BeginObject();
        file_.Out().Line("<<").Line("/Type /Pages").Text("/Kids [");
        for (const auto& page : doc_.Pages) file_.Out().Integer(page->ObjectNumber).Text(" 0 R ");
        file_.Out().Line("]").Text("/Count ").Integer(doc_.Pages.Count()).EndLine().Line(">>");
        file_.EndObject();
    }

    void Page(const TPDFPage& page) {
        const bool placed = page.Placements.Count() > 0;
        const int32_t n = file_.BeginObject();
        auto out = file_.Out();
        out.Line("<<").Line("/Type /Page").Line("/Parent 2 0 R ");
        out.Text("/MediaBox [ 0 0 ").Integer(page.Width).Text(" ").Integer(page.Height).Line("]");
        if (placed) {
            out.Line("/Resources ").Line("<<");
            if (page.Placements.ImagePlacements > 0) {
                out.Line("/XObject <<");
                // A dictionary names each key once: an image placed twice on the page is listed once.
                std::vector<uint32_t> named;
                for (const auto& obj : page.Placements) {
                    if (obj->Kind != kImagePlacement) continue;
                    if (std::find(named.begin(), named.end(), obj->ResourceIndex) != named.end()) continue;
                    named.push_back(obj->ResourceIndex);
                    const TPDFResource* image = doc_.Resource(static_cast<int32_t>(obj->ResourceIndex));
                    out.Text("/Im").Integer(obj->ResourceIndex).Text(" ");
                    out.Integer(image ? image->ObjectNumber : 0).Line(" 0 R ");
                }
                out.Line(">>");
            }
            out.Line("/ProcSet [ /PDF /ImageC ]");
            if (page.Placements.TextPlacements > 0) {
                out.Line("/Font <<");
                for (const TPDFFontRes* font : PageFonts(page)) {
                    AppendFontResourceName(file_.Buffer, font->Number, font->Unicode);
                    out.Text(" ").Integer(font->ObjectNumber).Line(" 0 R ");
                }
                out.Line(">>");
            }
            out.Line(">>").Text("/Contents ").Integer(int64_t{n} + 1).Line(" 0 R");
        }
        if (page.AnnotCount > 0) {
            out.Text("/Annots [ ");
            for (int32_t k = 0; k < page.AnnotCount; ++k)
                out.Integer(int64_t{page.FirstAnnot} + k).Text(" 0 R ");
            out.Line("]");
        }
        out.Line(">>");
        file_.EndObject();
    }

    // The annotations of the slots the content pass filled, then the actions they share.
    void Links(const TPDFPage& page, const std::vector<std::string_view>& targets) {
        std::unordered_map<std::string_view, int32_t> actions;
        int32_t action = page.FirstAnnot + page.AnnotCount;
        for (std::string_view uri : targets) actions.emplace(uri, action++);
        // Neighbouring slots mostly share one target: compare by place before hashing a long URI.
        std::string_view last;
        int32_t lastAction = 0;
        for (const TLinkSlot& slot : slots_) {
            if (last.data() != slot.Uri.data() || last.size() != slot.Uri.size()) {
                const auto found = actions.find(slot.Uri);
                if (found == actions.end()) throw EPDFError(kIndexingError);
                last = slot.Uri;
                lastAction = found->second;
            }
            Annotation(slot, lastAction);
        }
        for (std::string_view uri : targets) UriAction(uri);
    }

    // The fonts the page's text names, in first-use order on the page.
    std::vector<const TPDFFontRes*> PageFonts(const TPDFPage& page) {
        std::vector<const TPDFFontRes*> list;
        for (const auto& obj : page.Placements) {
            if (obj->Kind != kTextPlacement) continue;
            auto* text =
                dynamic_cast<const TPDFTextRes*>(doc_.Resource(static_cast<int32_t>(obj->ResourceIndex)));
            if (!text) continue;
            for (const TDocumentFonts::TUse& use : fonts_.TextFonts(*text)) {
                const TPDFFontRes* font = fonts_.Find(use.Number, use.Unicode);
                if (!font) continue;
                bool listed = false;
                for (const TPDFFontRes* f : list) listed = listed || f == font;
                if (!listed) list.push_back(font);
            }
        }
        return list;
    }

    void Annotation(const TLinkSlot& slot, int32_t action) {
        file_.BeginObject();
        auto out = file_.Out();
        out.Line("<< ")
            .Text("/A ")
            .Integer(action)
            .Line(" 0 R ")
            .Line("/Type /Annot ")
            .Line("/Subtype /Link ");
        out.Text("/Rect [ ").Integer(slot.Left).Text(" ").Integer(slot.Bottom).Text(" ");
        out.Integer(RightEdge(slot)).Text(" ").Integer(slot.Top).Line(" ] ");
        out.Line("/C [ 0 0 0 ] ").Line(slot.Border ? "/Border [ 0 0 1 ] " : "/Border [ 0 0 0 ] ");
        out.Line("/H /I ").Line(">> ");
        file_.EndObject();
    }

    void UriAction(std::string_view uri) {
        file_.BeginObject();
        file_.Out().Text("<< /URI (");
        AppendEscaped(file_.Buffer, uri);
        file_.Out().Line(")/S /URI >> ");
        file_.EndObject();
    }

    void InfoEntry(std::string_view key, const std::u16string& value) {
        if (value.empty()) return;
        file_.Out().Text(key).Text(" ");
        AppendTextString(file_.Buffer, value);
        file_.Out().EndLine();
    }

    void Info() {
        file_.BeginObject();
        file_.Out().Line("<< ").Text("/Producer (Tessarine PagelithASP ").Text(kVersionText).Line(")");
        InfoEntry("/Title", doc_.Title);
        InfoEntry("/Subject", doc_.Subject);
        InfoEntry("/Author", doc_.Author);
        InfoEntry("/Keywords", doc_.Keywords);
        file_.Out().Text("/CreationDate (").Text(PdfDate(doc_.Clock())).Line(")").Line(">> ");
        file_.EndObject();
    }

    void CrossReference() {
        const int64_t start = file_.Position();
        const int32_t size = infoNumber_ + 1;
        auto out = file_.Out();
        out.Line("xref").Text("0 ").Integer(size).EndLine().Line("0000000000 65535 f ");
        for (int32_t i = 1; i < size; ++i) {
            char entry[32];
            std::snprintf(entry, sizeof entry, "%010lld 00000 n \r",
                          static_cast<long long>(file_.Offsets[i]));
            out.Text(entry);
        }
        out.Line("trailer").Line("<< ").Text("/Size ").Integer(size).EndLine();
        out.Text("/Info ").Integer(int64_t{size} - 1).Line(" 0 R").Line("/Root 1 0 R").Line(">> ");
        out.Line("startxref").Integer(start).EndLine().Line("%%EOF");
    }

    static constexpr std::size_t kPassOnBytes = 32 * 1024;

    TPagelith& doc_;
    TDocumentFonts fonts_;
    TPdfFile file_;
    std::vector<TPlanned> plan_;
    std::vector<TTextLinks> textLinks_;
    std::vector<std::vector<std::string_view>> pageTargets_;
    std::vector<TLinkSlot> slots_; // filled by a page's content, read by its links
    int32_t infoNumber_ = 0;
    int32_t minorVersion_ = 2; // the header's PDF 1.x: raised only by what a document holds
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += (m <= 2);
}

} // namespace

std::string PdfDate(std::time_t t) {
    const int64_t secs = static_cast<int64_t>(t);
    int64_t days = secs / 86400;
    int64_t rem = secs % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    char text[48];
    std::snprintf(text, sizeof text, "D:%04lld%02u%02u%02d%02d%02dZ", static_cast<long long>(y), m, d,
                  static_cast<int>(rem / 3600), static_cast<int>(rem / 60 % 60), static_cast<int>(rem % 60));
    return text;
}

std::string WritePdf(TPagelith& doc) {
    return TPdfWriter(doc).Write();
}

void WritePdf(TPagelith& doc, const std::function<void(std::string_view)>& sink) {
    TPdfWriter(doc).Write(sink);
}

void TPagelith::SaveToStream(TStream& dest) {
    dest.Take(WritePdf(*this));
}

} // namespace pagelith
