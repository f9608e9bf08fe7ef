#include "drawing/graphic_res.h"

#include <cmath>
#include <utility>

#include "base/operator_text.h"

namespace pagelith {

namespace {
// The Bézier handle length of a quarter arc, as drawn by every earlier release.
constexpr double kArcHandle = 0.55516572;
constexpr long double kPi = 3.14159265358979323846L;

struct TPoint {
    double x, y;
};
} // namespace

TPDFGraphicRes::TPDFGraphicRes() {
    SetFillColor(0xFFFFFF);
    SetLineColor(0);
}

void TPDFGraphicRes::AddLine(double x1, double y1, double x2, double y2) {
    TOperatorText(content_).Operand(x1).Number(y1).Line(" m").Operand(x2).Number(y2).Line(" l").Line("S");
}

void TPDFGraphicRes::AddRectangle(double x1, double y1, double x2, double y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    TOperatorText(content_).Operand(x1).Operand(y1).Operand(x2 - x1).Number(y2 - y1).Line(" re").Line("B");
}

void TPDFGraphicRes::AddEllipse(double x, double y, double rx, double ry, double angle) {
    const double theta = static_cast<double>(angle * kPi / 180.0L);
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const TPoint p0{x + rx * c, y + rx * s};
    const TPoint p1{x - ry * s, y + ry * c};
    const TPoint p2{x - rx * c, y - rx * s};
    const TPoint p3{x + ry * s, y - ry * c};
    const TPoint a{kArcHandle * rx * c, kArcHandle * rx * s};
    const TPoint b{kArcHandle * ry * s, kArcHandle * ry * c};

    TOperatorText out(content_);
    auto arc = [&out](TPoint c1, TPoint c2, TPoint end) {
        out.Operand(c1.x).Operand(c1.y).Operand(c2.x).Operand(c2.y).Operand(end.x).Number(end.y).Line(" c");
    };
    out.Operand(p0.x).Number(p0.y).Line(" m");
    arc({p0.x - b.x, p0.y + b.y}, {p1.x + a.x, p1.y + a.y}, p1);
    arc({p1.x - a.x, p1.y - a.y}, {p2.x - b.x, p2.y + b.y}, p2);
    arc({p2.x + b.x, p2.y - b.y}, {p3.x - a.x, p3.y - a.y}, p3);
    arc({p3.x + a.x, p3.y + a.y}, {p0.x + b.x, p0.y - b.y}, p0);
    out.Line("B");
}

void TPDFGraphicRes::SetFillColor(uint32_t color) {
    fillColor_ = color;
    TOperatorText(content_).Color(color, true).EndLine();
}

void TPDFGraphicRes::SetLineColor(uint32_t color) {
    lineColor_ = color;
    TOperatorText(content_).Color(color, false).EndLine();
}

void TPDFGraphicRes::SetLineWidth(int32_t width) {
    if (width < 0 || width == lineWidth_) return;
    lineWidth_ = width;
    TOperatorText(content_).Integer(width).Line(" w");
}

} // namespace pagelith
