#include "document/pdf_page.h"

#include "document/units.h"
#include "drawing/graphic_res.h"
#include "images/image_res.h"

namespace pagelith {

void TPDFPage::SetPageSize(uint8_t code) {
    if (code == SizeCode) return;
    SizeCode = code;
    if (auto size = PageSizeOf(code)) {
        Width = size->Width;
        Height = size->Height;
    }
}

void TPDFPage::SetWidth(uint32_t w) {
    if (w == Width) return;
    Width = w;
    SizeCode = 0;
}

void TPDFPage::SetHeight(uint32_t h) {
    if (h == Height) return;
    Height = h;
    SizeCode = 0;
}

int32_t TPDFPage::AddPlacement(uint32_t r) {
    auto obj = std::make_unique<TPDFObj>();
    obj->ResourceIndex = r;
    obj->Kind = PlacementKindOf(Resources ? Resources->Item(r) : nullptr);
    obj->Y = Height;
    Placements.Append(std::move(obj));
    return static_cast<int32_t>(Placements.Count());
}

uint8_t PlacementKindOf(const TPDFResource* resource) {
    if (dynamic_cast<const TPDFImageRes*>(resource)) return kImagePlacement;
    if (dynamic_cast<const TPDFGraphicRes*>(resource)) return kGraphicPlacement;
    return kTextPlacement;
}

} // namespace pagelith
