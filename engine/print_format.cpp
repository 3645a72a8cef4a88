#include "engine/print_format.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/rounding.h"

namespace lumivane {

namespace {

constexpr std::int64_t kUmPerInch = 25400;

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
    return (a + b - 1) / b;
}

// |cos| and |sin| of the turn, exact at whole quarter turns so that a motif turned upright
// fits as exactly as an unturned one.
void TurnFactors(long double angle, long double& c, long double& s) {
    const long double a = std::fmod(std::fabs(angle), 180.0L);
    if (a == 0) {
        c = 1, s = 0;
    } else if (a == 90) {
        c = 0, s = 1;
    } else {
        const long double r = a * std::numbers::pi_v<long double> / 180.0L;
        c = std::fabs(std::cos(r));
        s = std::fabs(std::sin(r));
    }
}

constexpr std::int64_t CmUm(int n) {
    return std::int64_t(n) * 10000;
}
constexpr std::int64_t InUm(int n) {
    return std::int64_t(n) * kUmPerInch;
}

}  // namespace

const std::vector<PaperPreset>& PaperPresets() {
    static const std::vector<PaperPreset> presets{
        {"9 × 13 cm", CmUm(9), CmUm(13), PaperUnit::Cm},
        {"10 × 15 cm", CmUm(10), CmUm(15), PaperUnit::Cm},
        {"13 × 18 cm", CmUm(13), CmUm(18), PaperUnit::Cm},
        {"15 × 20 cm", CmUm(15), CmUm(20), PaperUnit::Cm},
        {"20 × 30 cm", CmUm(20), CmUm(30), PaperUnit::Cm},
        {"30 × 40 cm", CmUm(30), CmUm(40), PaperUnit::Cm},
        {"30 × 45 cm", CmUm(30), CmUm(45), PaperUnit::Cm},
        {"40 × 60 cm", CmUm(40), CmUm(60), PaperUnit::Cm},
        {"A5", 148000, 210000, PaperUnit::Mm},
        {"A4", 210000, 297000, PaperUnit::Mm},
        {"A3", 297000, 420000, PaperUnit::Mm},
        {"4 × 6 in", InUm(4), InUm(6), PaperUnit::In},
        {"5 × 7 in", InUm(5), InUm(7), PaperUnit::In},
        {"8 × 10 in", InUm(8), InUm(10), PaperUnit::In},
        {"11 × 14 in", InUm(11), InUm(14), PaperUnit::In},
        {"20 × 20 cm", CmUm(20), CmUm(20), PaperUnit::Cm},
        {"30 × 30 cm", CmUm(30), CmUm(30), PaperUnit::Cm},
    };
    return presets;
}

const PaperPreset* FindPreset(std::int64_t w, std::int64_t h, PaperUnit unit) {
    for (const PaperPreset& p : PaperPresets()) {
        if (p.unit != unit) continue;
        if ((p.widthUm == w && p.heightUm == h) || (p.widthUm == h && p.heightUm == w)) return &p;
    }
    return nullptr;
}

std::int64_t PrintPixels(std::int64_t micrometres, int dpi) {
    if (micrometres <= 0 || dpi <= 0) return 0;
    return (micrometres * dpi * 2 + kUmPerInch) / (2 * kUmPerInch);
}

PaperLayout LayOutPaper(const PrintFormat& f, long double angle, int motifWidth, int motifHeight) {
    PaperLayout p;
    p.width = PrintPixels(f.widthUm, f.dpi);
    p.height = PrintPixels(f.heightUm, f.dpi);
    bool portrait = p.height > p.width;
    switch (f.orientation) {
        case PaperOrientation::Portrait:
            portrait = true;
            break;
        case PaperOrientation::Landscape:
            portrait = false;
            break;
        case PaperOrientation::AsPhoto: {
            // The turned outline decides; a square photo keeps the paper as named.
            long double c, s;
            TurnFactors(angle, c, s);
            const long double w = motifWidth * c + motifHeight * s;
            const long double h = motifWidth * s + motifHeight * c;
            // Half a pixel of difference is the turn's rounding, not a shape (45 degrees).
            if (std::fabs(w - h) > 0.5L) portrait = h > w;
            break;
        }
    }
    if ((p.height > p.width) != portrait && p.height != p.width) std::swap(p.width, p.height);
    p.top = PrintPixels(f.borderTopUm, f.dpi);
    p.sides = PrintPixels(f.borderSidesUm, f.dpi);
    p.bottom = PrintPixels(f.borderBottomUm, f.dpi);
    return p;
}

CompositionParams FitPrint(const PrintFormat& f, const CompositionParams& base, int backgroundWidth,
                           int backgroundHeight, int motifWidth, int motifHeight) {
    CompositionParams c = base;
    const long double angle = RoundHalfEven(base.rotEd);
    const PaperLayout paper = LayOutPaper(f, angle, motifWidth, motifHeight);
    const std::int64_t ww = std::max<std::int64_t>(paper.windowWidth(), 0);
    const std::int64_t wh = std::max<std::int64_t>(paper.windowHeight(), 0);

    // The motif's scale, a whole percent as the blend takes it: the largest whose turned
    // outline fits the window, or the smallest whose turned motif covers it.
    long double cs, sn;
    TurnFactors(angle, cs, sn);
    const long double mw = std::max(motifWidth, 1), mh = std::max(motifHeight, 1);
    long double zoom;
    if (f.fill) {
        zoom = std::ceil(
            std::max((ww * cs + wh * sn) * 100.0L / mw, (ww * sn + wh * cs) * 100.0L / mh));
    } else {
        zoom = std::floor(
            std::min(ww * 100.0L / (mw * cs + mh * sn), wh * 100.0L / (mw * sn + mh * cs)));
    }
    c.zoom2Ed = std::clamp(zoom, 1.0L, 1e6L);

    // The background covers the whole paper, centred.
    if (backgroundWidth > 0 && backgroundHeight > 0) {
        const std::int64_t zb = std::max(CeilDiv(paper.width * 100, backgroundWidth),
                                         CeilDiv(paper.height * 100, backgroundHeight));
        c.zoomEd = static_cast<long double>(std::max<std::int64_t>(zb, 1));
    }

    // The margins bring the result to the paper's size exactly.
    c.additionalEd = c.additionalYED = 0;
    const CompositionLayout l =
        ComputeLayout(c, backgroundWidth, backgroundHeight, motifWidth, motifHeight);
    c.additionalEd = static_cast<long double>(paper.width - l.outW) / 2.0L;
    c.additionalYED = static_cast<long double>(paper.height - l.outH) / 2.0L;

    c.motifShiftX = 0;
    c.motifShiftY = static_cast<int>((paper.top - paper.bottom) / 2);
    c.motifWindow =
        CompositionParams::Window{static_cast<int>(paper.sides), static_cast<int>(paper.top),
                                  static_cast<int>(ww), static_cast<int>(wh)};
    return c;
}

long double EffectiveDpi(const PrintFormat& f, long double motifZoom) {
    return motifZoom > 0 ? f.dpi * 100.0L / motifZoom : 0;
}

}  // namespace lumivane
