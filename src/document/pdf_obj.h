// A placement: one resource shown on one page, and the page's list of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/obj_list.h"

namespace pagelith {

enum TPlacementKind : uint8_t { kImagePlacement = 0, kGraphicPlacement = 1, kTextPlacement = 2 };

struct TPDFObj {
    double X = 0;
    double Y = 0; // points, upward from the bottom edge
    uint8_t Kind = kTextPlacement;
    double Scale = 100; // percent
    uint32_t ResourceIndex = 0;
    double Angle = 0; // radians, counterclockwise
    std::string Link; // image placements only
    bool LinkBorder = false;
};

class TPDFObjList : public TObjList<TPDFObj> {
public:
    TPDFObj& Insert(std::unique_ptr<TPDFObj> obj, uint32_t p) {
        switch (obj->Kind) {
        case kImagePlacement:
            ++ImagePlacements;
            break;
        case kGraphicPlacement:
            ++GraphicPlacements;
            break;
        default:
            ++TextPlacements;
            break;
        }
        return TObjList<TPDFObj>::Insert(std::move(obj), p);
    }
    TPDFObj& Append(std::unique_ptr<TPDFObj> obj) { return Insert(std::move(obj), 0); }

    uint32_t ImagePlacements = 0;
    uint32_t GraphicPlacements = 0;
    uint32_t TextPlacements = 0;
};

} // namespace pagelith
