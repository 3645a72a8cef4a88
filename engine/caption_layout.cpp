#include "engine/caption_layout.h"

#include <algorithm>
#include <cmath>

#include "engine/rounding.h"

namespace lumivane {

double NominalCaptionSize(int pictureWidth, int pictureHeight, long double sizePercent) {
    const long double shorter = std::max(0, std::min(pictureWidth, pictureHeight));
    return double(std::clamp<long double>(sizePercent, 0, 100) * shorter / 100);
}

CaptionLayout LayOutCaption(const CaptionLayoutInput& in) {
    CaptionLayout out;
    const double W = in.pictureWidth, H = in.pictureHeight;
    const double nominal = NominalCaptionSize(in.pictureWidth, in.pictureHeight, in.sizePercent);
    if (in.lines.empty() || nominal <= 0) return out;
    const double margin = nominal;  // from the picture's edges

    // A line too wide for the picture is made smaller on its own, so that one long line does
    // not shrink the others.
    const double room = std::max(0.0, W - 2 * margin);
    std::vector<double> scales;
    double blockH = 0, blockW = 0;
    for (const PixelBox& l : in.lines) {
        const double scale = l.width > room && l.width > 0 ? room / l.width : 1;
        scales.push_back(scale);
        out.sizes.push_back(nominal * scale);
        blockH += kCaptionLineSpacing * nominal * scale;
        blockW = std::max(blockW, l.width * scale);
    }

    // Vertically: centred in the border between the motif and the edge; when it does not fit
    // there, against the picture's edge, leaving the margin only where there is no border.
    const bool below = in.place == CaptionPlace::Below || in.place == CaptionPlace::BottomLeft ||
                       in.place == CaptionPlace::BottomRight;
    const double motifTop = std::clamp(in.motif.y, 0.0, H);
    const double motifBottom = std::clamp(in.motif.y + in.motif.height, motifTop, H);
    const double border = below ? H - motifBottom : motifTop;
    double top;
    if (blockH <= border)
        top = (below ? motifBottom : 0) + (border - blockH) / 2;
    else if (below)
        top = H - blockH - (border > 0 ? 0 : std::min(margin, std::max(0.0, H - blockH)));
    else
        top = border > 0 ? 0 : std::min(margin, std::max(0.0, H - blockH));

    // Horizontally: under or over the motif the lines follow its box; in a corner the edge.
    double left, right;
    switch (in.place) {
        case CaptionPlace::BottomLeft:
        case CaptionPlace::TopLeft:
            left = margin;
            right = left + blockW;
            break;
        case CaptionPlace::BottomRight:
        case CaptionPlace::TopRight:
            right = W - margin;
            left = right - blockW;
            break;
        default:
            left = std::clamp(in.motif.x, margin, std::max(margin, W - margin));
            right = std::clamp(in.motif.x + in.motif.width, left, std::max(left, W - margin));
            break;
    }

    double lineTop = top;
    for (std::size_t i = 0; i < in.lines.size(); ++i) {
        const double scale = scales[i], pitch = kCaptionLineSpacing * out.sizes[i];
        PixelBox b;
        b.width = in.lines[i].width * scale;
        b.height = in.lines[i].height * scale;
        const double centre = (left + right) / 2;
        if (in.align == CaptionAlign::Left)
            b.x = left;
        else if (in.align == CaptionAlign::Right)
            b.x = right - b.width;
        else
            b.x = centre - b.width / 2;
        // Kept inside the margins: a line wider than its anchor's room slides inwards.
        b.x = std::max(std::min(b.x, W - margin - b.width), std::min(margin, (W - b.width) / 2));
        b.y = lineTop + (pitch - b.height) / 2;
        lineTop += pitch;
        const bool overlaps = b.x < in.motif.x + in.motif.width && in.motif.x < b.x + b.width &&
                              b.y < in.motif.y + in.motif.height && in.motif.y < b.y + b.height;
        out.overMotif = out.overMotif || overlaps;
        out.lines.push_back(b);
    }
    return out;
}

PixelBox MotifBox(const CompositionParams& params, const CompositionLayout& layout,
                  const std::optional<OpeningBox>& opening) {
    if (params.overlay && opening)
        return {double(opening->x), double(opening->y), double(opening->width),
                double(opening->height)};
    const double angle = double(RoundHalfEven(params.rotEd)) * M_PI / 180;
    const double c = std::abs(std::cos(angle)), s = std::abs(std::sin(angle));
    const double w = double(layout.mW), h = double(layout.mH);
    const double bw = w * c + h * s, bh = w * s + h * c;
    PixelBox box{double(layout.outW) / 2 + params.motifShiftX - bw / 2,
                 double(layout.outH) / 2 + params.motifShiftY - bh / 2, bw, bh};
    if (params.motifWindow) {  // a print format cuts the motif at its window
        const auto& win = *params.motifWindow;
        const double x0 = std::max(box.x, double(win.x)), y0 = std::max(box.y, double(win.y));
        const double x1 = std::min(box.x + box.width, double(win.x) + win.width);
        const double y1 = std::min(box.y + box.height, double(win.y) + win.height);
        box = {x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0)};
    }
    return box;
}

}  // namespace lumivane
