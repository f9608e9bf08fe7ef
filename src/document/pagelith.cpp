#include "document/pagelith.h"

#include <cmath>
#include <initializer_list>

#include "document/units.h"
#include "drawing/graphic_res.h"
#include "images/image_res.h"
#include "text/text_res.h"

namespace pagelith {

namespace {
constexpr long double kPi = 3.14159265358979323846L;
}

TPagelith::TPagelith() = default;

TPagelith::~TPagelith() {
    // Pages before resources before fonts, as a clear does.
    Pages.Clear();
    Resources.Clear();
    Fonts.Clear();
}

void TPagelith::AddPage(int32_t page) {
    auto p = std::make_unique<TPDFPage>(&Resources);
    p->SetPageSize(DefaultPageSize);
    if (page >= 1 && static_cast<uint32_t>(page) <= Pages.Count()) PageInserted(page);
    Pages.Insert(std::move(p), page < 0 ? 0u : static_cast<uint32_t>(page));
}

int32_t TPagelith::ApplyResource(int32_t page, int32_t resource) {
    TPDFPage* p = Page(page);
    if (!p || !Resource(resource)) return 0;
    return p->AddPlacement(static_cast<uint32_t>(resource));
}

TPDFObj* TPagelith::Placement(int32_t page, int32_t index) const {
    TPDFPage* p = Page(page);
    return p ? p->Placements.Item(static_cast<uint32_t>(index)) : nullptr;
}

void TPagelith::Locate(int32_t page, int32_t index, double x, double y) {
    if (TPDFObj* obj = Placement(page, index)) {
        obj->X = static_cast<double>(ToPoints(x));
        obj->Y = static_cast<double>(ToPoints(y));
    }
}

void TPagelith::ScaleObject(int32_t page, int32_t index, double scaleFactor) {
    if (!(scaleFactor > 0)) return;
    if (TPDFObj* obj = Placement(page, index)) obj->Scale = scaleFactor;
}

void TPagelith::Rotate(int32_t page, int32_t index, double angle) {
    if (TPDFObj* obj = Placement(page, index)) obj->Angle = static_cast<double>(angle * kPi / 180.0L);
}

void TPagelith::Clear() {
    Pages.Clear();
    Resources.Clear();
    Fonts.Clear();
    fallbackFonts_.reset(); // it names fonts that are gone
    spool_.reset();
    spoolRefused_ = false;
    heldPictureBytes_ = 0;
    CurrentGraphic = 0;
    CurrentText = 0;
    Title.clear();
    Subject.clear();
    Author.clear();
    Keywords.clear();
    ClearNavigation();
}

void TPagelith::DeleteAllPages() {
    Pages.Clear();
    ClearNavigation(); // every entry points to a page that is gone
}

TPDFGraphicRes* TPagelith::CurrentGraphicRes() const {
    return dynamic_cast<TPDFGraphicRes*>(Resource(CurrentGraphic));
}

TPDFTextRes* TPagelith::CurrentTextRes() const {
    return dynamic_cast<TPDFTextRes*>(Resource(CurrentText));
}

int32_t TPagelith::AppendResource(std::unique_ptr<TPDFResource> resource) {
    Resources.Append(std::move(resource));
    return static_cast<int32_t>(Resources.Count());
}

// Compression settings. Bilevel pictures have no DCT form, and palettes no CCITT or DCT form;
// CCITT encodes one bit per pixel only.

namespace {
void SetCompression(uint8_t& field, int32_t value, std::initializer_list<uint8_t> refused) {
    const auto code = static_cast<uint8_t>(value);
    if (code > kCompressDCT) return;
    for (uint8_t r : refused)
        if (code == r) return;
    field = code;
}
} // namespace

void TPagelith::SetCompressionBW(int32_t code) {
    SetCompression(CompressionBW, code, {kCompressDCT});
}
void TPagelith::SetCompressionIndexed(int32_t code) {
    SetCompression(CompressionIndexed, code, {kCompressCCITT, kCompressDCT});
}
void TPagelith::SetCompressionRGB(int32_t code) {
    SetCompression(CompressionRGB, code, {kCompressCCITT});
}
void TPagelith::SetCompressionGray(int32_t code) {
    SetCompression(CompressionGray, code, {kCompressCCITT});
}

// Units and page sizes.

long double TPagelith::ToPoints(double x) const {
    return pagelith::ToPoints(Units, x);
}
long double TPagelith::FromPoints(double x) const {
    return pagelith::FromPoints(Units, x);
}

int32_t TPagelith::GetPageSize(int32_t page) const {
    const TPDFPage* p = Page(page);
    return p ? (p->SizeCode & 0x7F) : 0;
}

void TPagelith::SetPageSize(int32_t page, int32_t code) {
    if (TPDFPage* p = Page(page)) p->SetPageSize(static_cast<uint8_t>(code));
}

namespace {
// Whole points, halves rounding up, never below one point.
uint32_t WholePoints(long double points) {
    const long double rounded = std::floor(points + 0.5L);
    if (!(rounded >= 1.0L)) return 1;
    if (rounded >= 4294967295.0L) return 4294967295u;
    return static_cast<uint32_t>(rounded);
}
} // namespace

double TPagelith::GetPageWidth(int32_t page) const {
    const TPDFPage* p = Page(page);
    return p ? static_cast<double>(FromPoints(p->Width)) : 0.0;
}

void TPagelith::SetPageWidth(int32_t page, double width) {
    TPDFPage* p = Page(page);
    if (p && width > 0) p->SetWidth(WholePoints(ToPoints(width)));
}

double TPagelith::GetPageHeight(int32_t page) const {
    const TPDFPage* p = Page(page);
    return p ? static_cast<double>(FromPoints(p->Height)) : 0.0;
}

void TPagelith::SetPageHeight(int32_t page, double height) {
    TPDFPage* p = Page(page);
    if (p && height > 0) p->SetHeight(WholePoints(ToPoints(height)));
}

} // namespace pagelith
