// A vector drawing held as finished content-stream operator text.
#pragma once

#include <cstdint>
#include <string>

#include "base/pdf_resource.h"

namespace pagelith {

class TPDFGraphicRes final : public TPDFResource {
public:
    TPDFGraphicRes();

    // All lengths in points; the angle in degrees, counterclockwise.
    void AddEllipse(double x, double y, double rx, double ry, double angle);
    void AddLine(double x1, double y1, double x2, double y2);
    void AddRectangle(double x1, double y1, double x2, double y2);
    void SetFillColor(uint32_t color);
    void SetLineColor(uint32_t color);
    void SetLineWidth(int32_t width);

    const std::string& Content() const { return content_; }
    int32_t LineWidth() const { return lineWidth_; }
    uint32_t LineColor() const { return lineColor_; }
    uint32_t FillColor() const { return fillColor_; }

private:
    std::string content_;
    int32_t lineWidth_ = 1;
    uint32_t lineColor_ = 0;
    uint32_t fillColor_ = 0xFFFFFF;
};

} // namespace pagelith
