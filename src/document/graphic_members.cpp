// The graphic members of the document: they act on the current graphic,
// converting coordinates from the document's unit to points.
#include "document/pagelith.h"
#include "drawing/graphic_res.h"

namespace pagelith {

namespace {
double Pt(const TPagelith& doc, double v) {
    return static_cast<double>(doc.ToPoints(v));
}
} // namespace

int32_t TPagelith::CreateGraphic() {
    CurrentGraphic = AppendResource(std::make_unique<TPDFGraphicRes>());
    return CurrentGraphic;
}

void TPagelith::DrawLine(double x1, double y1, double x2, double y2) {
    if (TPDFGraphicRes* g = CurrentGraphicRes())
        g->AddLine(Pt(*this, x1), Pt(*this, y1), Pt(*this, x2), Pt(*this, y2));
}

void TPagelith::Rectangle(double x1, double y1, double x2, double y2) {
    if (TPDFGraphicRes* g = CurrentGraphicRes())
        g->AddRectangle(Pt(*this, x1), Pt(*this, y1), Pt(*this, x2), Pt(*this, y2));
}

void TPagelith::Ellipse(double x, double y, double rx, double ry, double angle) {
    if (TPDFGraphicRes* g = CurrentGraphicRes())
        g->AddEllipse(Pt(*this, x), Pt(*this, y), Pt(*this, rx), Pt(*this, ry), angle);
}

void TPagelith::Circle(double x, double y, double r) {
    Ellipse(x, y, r, r, 0);
}

int32_t TPagelith::GetLineWidth() const {
    const TPDFGraphicRes* g = CurrentGraphicRes();
    return g ? g->LineWidth() : 0;
}

void TPagelith::SetLineWidth(int32_t width) {
    if (TPDFGraphicRes* g = CurrentGraphicRes()) g->SetLineWidth(width);
}

uint32_t TPagelith::GetLineColor() const {
    const TPDFGraphicRes* g = CurrentGraphicRes();
    return g ? g->LineColor() : 0;
}

void TPagelith::SetLineColor(uint32_t color) {
    if (TPDFGraphicRes* g = CurrentGraphicRes()) g->SetLineColor(color);
}

uint32_t TPagelith::GetFillColor() const {
    const TPDFGraphicRes* g = CurrentGraphicRes();
    return g ? g->FillColor() : 0xFFFFFF;
}

void TPagelith::SetFillColor(uint32_t color) {
    if (TPDFGraphicRes* g = CurrentGraphicRes()) g->SetFillColor(color);
}

} // namespace pagelith
