#include "document/units.h"

#include <array>

namespace pagelith {

namespace {
constexpr long double kCmPerInch = 2.54L;
constexpr long double kMmPerInch = 25.4L;

constexpr std::array<TPageDimensions, 16> kPageSizes = {{
    {595, 842},
    {842, 595},
    {612, 792},
    {792, 612},
    {842, 1191},
    {1191, 842},
    {421, 595},
    {595, 421},
    {792, 1224},
    {1224, 792},
    {612, 1008},
    {1008, 612},
    {396, 612},
    {612, 396},
    {522, 756},
    {756, 522},
}};
} // namespace

long double ToPoints(uint8_t units, double x) {
    const long double v = x;
    switch (units) {
    case kPoint:
        return v;
    case kInch:
        return v * 72.0L;
    case kCentimetre:
        return (v * 72.0L) / kCmPerInch;
    case kMillimetre:
        return (v * 72.0L) / kMmPerInch;
    default:
        return 0.0L;
    }
}

long double FromPoints(uint8_t units, double x) {
    const long double v = x;
    switch (units) {
    case kPoint:
        return v;
    case kInch:
        return v / 72.0L;
    case kCentimetre:
        return (v / 72.0L) * kCmPerInch;
    case kMillimetre:
        return (v / 72.0L) * kMmPerInch;
    default:
        return 0.0L;
    }
}

std::optional<TPageDimensions> PageSizeOf(uint8_t code) {
    const unsigned index = code & 0x7F;
    if (index < 1 || index > kPageSizes.size()) return std::nullopt;
    return kPageSizes[index - 1];
}

} // namespace pagelith
