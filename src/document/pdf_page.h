// One page: a size and the ordered placements drawn on it.
#pragma once

#include <cstdint>

#include "base/obj_list.h"
#include "base/pdf_resource.h"
#include "document/pdf_obj.h"

namespace pagelith {

class TPDFPage {
public:
    explicit TPDFPage(const TObjList<TPDFResource>* resources = nullptr) : Resources(resources) {}

    void SetPageSize(uint8_t code);
    void SetWidth(uint32_t w);
    void SetHeight(uint32_t h);

    // Appends a placement of resource r at the top-left corner; returns its number.
    int32_t AddPlacement(uint32_t r);

    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t SizeCode = 0;
    const TObjList<TPDFResource>* Resources;
    TPDFObjList Placements;

    // Writer bookkeeping, refreshed by every save.
    int32_t ObjectNumber = 0;
    int32_t AnnotCount = 0;
    int32_t FirstAnnot = 0;
};

// The placement kind that a resource's class calls for.
uint8_t PlacementKindOf(const TPDFResource* resource);

} // namespace pagelith
