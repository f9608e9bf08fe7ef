#include "pdf/pdf_writer.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/byte_stream.h"
#include "base/pdf_string.h"
#include "base/pdf_text_string.h"
#include "base/version.h"
#include "document/navigation.h"
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
    explicit TPdfWriter(TPagelith& doc) : doc_(doc), fonts_(doc, blocks_) {}

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
        file_.Settle();
        CrossReference();
        file_.Flush();
        return std::move(file_.Buffer);
    }

private:
    // One entry of the plan: objects First .. First + Count - 1 hold one thing of the document.
    struct TPlanned {
        enum class TKind : uint8_t { Catalog, Page, Content, Image, Font, Links, Outlines, Dests, Info };
        TKind Kind;
        int32_t First = 0;
        int32_t Count = 0;
        int32_t Slots = 0;              // Content: the links the content pass meets, written or not
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
            slots_.assign(static_cast<std::size_t>(entry.Slots), TLinkSlot{});
            WriteContentStream(file_, doc_, *entry.Page, slots_, blocks_);
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
        case K::Outlines:
            Outlines();
            break;
        case K::Dests:
            Dests();
            break;
        case K::Info:
            Info();
            break;
        }
    }

    // What a text placement adds to its page's links: one slot per laid-out segment with a link, so
    // that the content pass never meets more links than it has slots, and its targets as runs of
    // neighbouring segments.
    struct TTextLinks {
        bool Known = false;
        std::vector<std::pair<std::string_view, int32_t>> Runs;
    };

    const TTextLinks& TextLinks(int32_t resource, const TPDFTextRes& text) {
        TTextLinks& links = textLinks_[static_cast<std::size_t>(resource)];
        if (links.Known) return links;
        links.Known = true;
        if (text.LinkCount <= 0) return links;
        const TLinkRef* last = nullptr;
        blocks_.ForEachVisualLine(text, doc_.Fonts, 100,
                                  [&](const TSegmentList& segments, std::size_t first, std::size_t end) {
                                      for (std::size_t i = first; i < end; ++i) {
                                          const TLinkRef& link = segments.Style(i).Link;
                                          if (link.empty()) continue;
                                          if (!last || !(*last == link))
                                              links.Runs.emplace_back(link.View(), 0);
                                          ++links.Runs.back().second;
                                          last = &link;
                                      }
                                  });
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

    // One action per distinct target of the page, in first-use order.
    static void AddTarget(std::vector<std::string_view>& targets, std::unordered_set<std::string_view>& seen,
                          std::string_view uri) {
        if (seen.insert(uri).second) targets.push_back(uri);
    }

    // Where a destination leads: a page's object and the height at its top, if the page exists.
    struct TPlace {
        int32_t Object = 0;
        double Top = 0;
    };

    std::optional<TPlace> Place(int32_t page, std::optional<double> top) const {
        const TPDFPage* p = page >= 1 ? doc_.Page(page) : nullptr;
        if (!p) return std::nullopt;
        return TPlace{p->ObjectNumber, top ? *top : static_cast<double>(p->Height)};
    }

    // A named destination whose page exists.
    const TDestination* LiveDestination(std::string_view name) const {
        const TDestination* d = doc_.Destination(name);
        return d && Place(d->Page, d->Top) ? d : nullptr;
    }

    // A link is written when it is a URI or leads to a page or name that exists now.
    bool Resolves(std::string_view target) const {
        const auto internal = ParseInternalLink(target);
        if (!internal) return true;
        if (internal->Page == 0) return LiveDestination(internal->Name) != nullptr;
        return doc_.Page(internal->Page) != nullptr;
    }

    // Counts a run of links on a page: every one takes a slot, those that resolve an annotation.
    void AddLinks(TPDFPage& page, int32_t& slots, std::vector<std::string_view>& targets,
                  std::unordered_set<std::string_view>& seen, std::string_view uri, int32_t count) {
        slots += count;
        if (!Resolves(uri)) return;
        page.AnnotCount += count;
        AddTarget(targets, seen, uri);
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
        // Every text placement before any block is laid out: the fonts lay out all text at once.
        uint64_t placedText = 0;
        for (const auto& page : doc_.Pages)
            for (const auto& obj : page->Placements)
                if (obj->Kind == kTextPlacement)
                    if (const auto* text = dynamic_cast<const TPDFTextRes*>(
                            doc_.Resource(static_cast<int32_t>(obj->ResourceIndex)))) {
                        blocks_.Place(*text, obj->Scale);
                        placedText += text->Lines.Chars().size();
                    }
        file_.Expect(placedText);
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
            const std::size_t content = plan_.size();
            plan(K::Content, 2).Page = page.get(); // the stream and its length
            int32_t slots = 0;
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
                    if (!obj->Link.empty() && obj->Angle == 0)
                        AddLinks(*page, slots, targets, seen, obj->Link, 1);
                    continue;
                }
                if (obj->Kind != kTextPlacement) continue;
                auto* text = dynamic_cast<TPDFTextRes*>(doc_.Resource(resource));
                if (!text) continue;
                if (obj->Angle == 0) {
                    for (const auto& [uri, count] : TextLinks(resource, *text).Runs)
                        AddLinks(*page, slots, targets, seen, uri, count);
                }
                for (const TDocumentFonts::TUse& use : fonts_.TextFonts(*text)) {
                    if (fonts_.Find(use.Number, use.Unicode)) continue;
                    TPDFFontRes& font = fonts_.Add(use.Number, use.Unicode);
                    font.ObjectNumber = next;
                    minorVersion_ = std::max(minorVersion_, FontMinorVersion(font));
                    plan(K::Font, static_cast<int32_t>(FontObjects(font).size())).Font = &font;
                }
            }
            plan_[content].Slots = slots; // planning images and fonts moves the plan
            page->FirstAnnot = next;
            if (page->AnnotCount > 0) {
                TPlanned& links = plan(K::Links, page->AnnotCount + static_cast<int32_t>(targets.size()));
                links.Page = page.get();
                links.Targets = &targets;
            }
        }
        outlinesNumber_ = doc_.Bookmarks.empty() ? 0 : next;
        if (outlinesNumber_ != 0) plan(K::Outlines, 1 + static_cast<int32_t>(doc_.Bookmarks.size()));
        bool named = false;
        for (const auto& [name, d] : doc_.Destinations) named = named || Place(d.Page, d.Top);
        destsNumber_ = named ? next : 0;
        if (named) plan(K::Dests, 1);
        infoNumber_ = next;
        plan(K::Info, 1);
        file_.Offsets.assign(static_cast<std::size_t>(next) + 1, 0);
    }

    void Catalog() {
        file_.BeginObject();
        auto out = file_.Out();
        out.Line("<<").Line("/Type /Catalog");
        if (outlinesNumber_ != 0) out.Text("/Outlines ").Integer(outlinesNumber_).Line(" 0 R");
        if (destsNumber_ != 0) out.Text("/Dests ").Integer(destsNumber_).Line(" 0 R");
        if (doc_.PageMode == 1) out.Line("/PageMode /UseOutlines");
        if (doc_.PageMode == 2) out.Line("/PageMode /FullScreen");
        if (const auto open = Place(doc_.OpenPage, std::nullopt)) {
            out.Text("/OpenAction ");
            Destination(*open);
            out.EndLine();
        }
        out.Line("/Pages 2 0 R >>");
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
        int32_t lastAction = 0; // 0: a link that leads nowhere, left out
        for (const TLinkSlot& slot : slots_) {
            if (last.data() != slot.Uri.data() || last.size() != slot.Uri.size()) {
                const auto found = actions.find(slot.Uri);
                if (found == actions.end() && Resolves(slot.Uri)) throw EPDFError(kIndexingError);
                last = slot.Uri;
                lastAction = found == actions.end() ? 0 : found->second;
            }
            if (lastAction != 0) Annotation(slot, lastAction);
        }
        for (std::string_view uri : targets) {
            if (const auto internal = ParseInternalLink(uri))
                GoToAction(*internal);
            else
                UriAction(uri);
        }
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

    // "[page /XYZ null top null]": the page at a height, the zoom left as it is.
    void Destination(const TPlace& place) {
        file_.Out().Text("[").Integer(place.Object).Text(" 0 R /XYZ null ").Number(place.Top).Text(" null]");
    }

    // A name object: bytes outside the printable range, delimiters and '#' as #xx.
    void Name(std::string_view name) {
        static constexpr std::string_view kDelimiters = "()<>[]{}/%#";
        std::string& out = file_.Buffer;
        out.push_back('/');
        for (const char c : name) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x21 || b > 0x7E || kDelimiters.find(c) != std::string_view::npos) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                out.push_back('#');
                out.push_back(kHex[b >> 4]);
                out.push_back(kHex[b & 15]);
            } else {
                out.push_back(c);
            }
        }
    }

    // Planned only for links that resolve.
    void GoToAction(const TInternalLink& link) {
        file_.BeginObject();
        file_.Out().Text("<< /S /GoTo /D ");
        if (link.Page == 0) {
            Name(link.Name);
        } else {
            const auto place = Place(link.Page, link.Y); // Y already in points
            if (!place) throw EPDFError(kIndexingError);
            Destination(*place);
        }
        file_.Out().Line(" >> ");
        file_.EndObject();
    }

    // The outline root, then its entries in tree order: each nests under the latest entry one level up.
    void Outlines() {
        const std::vector<TBookmark>& marks = doc_.Bookmarks;
        const auto n = static_cast<int32_t>(marks.size());
        std::vector<int32_t> parent(marks.size(), -1), prev(marks.size(), -1), next(marks.size(), -1);
        std::vector<int32_t> first(marks.size() + 1, -1), last(marks.size() + 1, -1); // [n]: the root
        std::vector<int32_t> latest;                                                  // by level
        for (int32_t i = 0; i < n; ++i) {
            const auto level =
                std::min<std::size_t>(static_cast<std::size_t>(std::max(marks[i].Level, 0)), latest.size());
            latest.resize(level);
            parent[i] = level == 0 ? -1 : latest[level - 1];
            latest.push_back(i);
            const int32_t up = parent[i] < 0 ? n : parent[i];
            if (last[up] >= 0) {
                next[last[up]] = i;
                prev[i] = last[up];
            } else {
                first[up] = i;
            }
            last[up] = i;
        }
        // Entries shown below each one when it is open; children come after their parent.
        std::vector<int32_t> shown(marks.size() + 1, 0);
        for (int32_t i = n - 1; i >= 0; --i)
            shown[parent[i] < 0 ? n : parent[i]] += 1 + (marks[i].Open ? shown[i] : 0);
        const auto object = [&](int32_t i) { return int64_t{outlinesNumber_} + 1 + i; };
        file_.BeginObject();
        auto out = file_.Out();
        out.Line("<< ").Line("/Type /Outlines");
        out.Text("/First ").Integer(object(first[n])).Line(" 0 R");
        out.Text("/Last ").Integer(object(last[n])).Line(" 0 R");
        out.Text("/Count ").Integer(shown[n]).EndLine().Line(">> ");
        file_.EndObject();
        for (int32_t i = 0; i < n; ++i) {
            file_.BeginObject();
            out.Line("<< ").Text("/Title ");
            AppendTextString(file_.Buffer, marks[i].Title);
            out.EndLine();
            out.Text("/Parent ").Integer(parent[i] < 0 ? outlinesNumber_ : object(parent[i])).Line(" 0 R");
            if (prev[i] >= 0) out.Text("/Prev ").Integer(object(prev[i])).Line(" 0 R");
            if (next[i] >= 0) out.Text("/Next ").Integer(object(next[i])).Line(" 0 R");
            if (first[i] >= 0) {
                out.Text("/First ").Integer(object(first[i])).Line(" 0 R");
                out.Text("/Last ").Integer(object(last[i])).Line(" 0 R");
                // Negative when closed: how many would show on opening it.
                out.Text("/Count ").Integer(marks[i].Open ? shown[i] : -shown[i]).EndLine();
            }
            // An entry whose page is missing keeps its place in the tree but leads nowhere.
            if (const auto place = Place(marks[i].Page, marks[i].Top)) {
                out.Text("/Dest ");
                Destination(*place);
                out.EndLine();
            }
            out.Line(">> ");
            file_.EndObject();
        }
    }

    void Dests() {
        file_.BeginObject();
        file_.Out().Line("<< ");
        for (const auto& [name, d] : doc_.Destinations) {
            const auto place = Place(d.Page, d.Top);
            if (!place) continue;
            Name(name);
            file_.Out().Text(" ");
            Destination(*place);
            file_.Out().EndLine();
        }
        file_.Out().Line(">> ");
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
    TLaidOutBlocks blocks_; // before the fonts, which lay text out through it
    TDocumentFonts fonts_;
    TPdfFile file_;
    std::vector<TPlanned> plan_;
    std::vector<TTextLinks> textLinks_;
    std::vector<std::vector<std::string_view>> pageTargets_;
    std::vector<TLinkSlot> slots_; // filled by a page's content, read by its links
    int32_t infoNumber_ = 0;
    int32_t outlinesNumber_ = 0; // 0: no outline
    int32_t destsNumber_ = 0;    // 0: no named destination leads anywhere
    int32_t minorVersion_ = 2;   // the header's PDF 1.x: raised only by what a document holds
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
