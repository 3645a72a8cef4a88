#include "engine/composition.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/blend.h"
#include "engine/feather_mask.h"
#include "engine/rounding.h"
#include "engine/smooth_blend.h"
#include "image/Zerlin.h"
#include "image/smooth_resample.h"
#include "platform/gdi/gdi.h"
#include "platform/imagelib/owned_dib.h"

namespace lumivane {

namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();

bool FitsInt(std::int64_t v) {
    return v >= kIntMin && v <= kIntMax;
}

// value x size / 100, multiplied first, in extended precision.
std::int64_t Scaled(long double percent, int size) {
    return Trunc64(percent * static_cast<long double>(size) / 100.0L);
}

// Fills everything outside the rectangle at (x, y) of w x h.
void FillAround(Surface& bit, int x, int y, int w, int h, COLORREF color) {
    const std::int64_t right = std::int64_t(x) + w, bottom = std::int64_t(y) + h;
    const int top = static_cast<int>(std::clamp<std::int64_t>(y, 0, bit.Height()));
    const int bot = static_cast<int>(std::clamp<std::int64_t>(bottom, top, bit.Height()));
    const int left = static_cast<int>(std::clamp<std::int64_t>(x, 0, bit.Width()));
    const int rgt = static_cast<int>(std::clamp<std::int64_t>(right, left, bit.Width()));
    bit.FillRect(0, 0, bit.Width(), top, color);
    bit.FillRect(0, bot, bit.Width(), bit.Height(), color);
    bit.FillRect(0, top, left, bot, color);
    bit.FillRect(rgt, top, bit.Width(), bot, color);
}

// The pixels outside a window, kept while the motif is blended and put back after it, so the
// motif is cut at the window and the borders keep the background.
class OutsideWindow {
  public:
    OutsideWindow(Surface& bit, const CompositionParams::Window& w) : bit_(bit) {
        left_ = std::clamp(w.x, 0, bit.Width());
        right_ =
            std::clamp(std::int64_t(w.x) + w.width, std::int64_t(left_), std::int64_t(bit.Width()));
        top_ = std::clamp(w.y, 0, bit.Height());
        bottom_ = std::clamp(std::int64_t(w.y) + w.height, std::int64_t(top_),
                             std::int64_t(bit.Height()));
        Visit([this](BYTE* p, std::size_t n) { kept_.insert(kept_.end(), p, p + n); });
    }
    void Restore() {
        std::size_t at = 0;
        Visit([&](BYTE* p, std::size_t n) {
            std::memcpy(p, kept_.data() + at, n);
            at += n;
        });
    }

  private:
    template <typename F>
    void Visit(F f) {
        const std::size_t row = std::size_t(bit_.Width()) * 4;
        for (int y = 0; y < bit_.Height(); ++y) {
            BYTE* line = bit_.ScanLine(y);
            if (y < top_ || y >= bottom_) {
                f(line, row);
                continue;
            }
            if (left_ > 0) f(line, std::size_t(left_) * 4);
            if (right_ < bit_.Width())
                f(line + std::size_t(right_) * 4, std::size_t(bit_.Width() - right_) * 4);
        }
    }

    Surface& bit_;
    int left_, top_;
    std::int64_t right_, bottom_;
    std::vector<BYTE> kept_;
};

}  // namespace

bool CompositionLayout::Renderable() const {
    if (outW < 1 || outH < 1) return false;
    if (outW > kIntMax || outH > kIntMax) return false;
    if (outW > Surface::kMaxPixels / outH) return false;
    // The background is placed with int coordinates; a scale that cannot be expressed so is
    // refused rather than wrapped.
    return FitsInt(bgW) && FitsInt(bgH) && FitsInt((outW - bgW) / 2) && FitsInt((outH - bgH) / 2);
}

CompositionLayout ComputeLayout(const CompositionParams& params, int backgroundWidth,
                                int backgroundHeight, int motifWidth, int motifHeight) {
    CompositionLayout l;
    if (params.backgroundCheck) {
        l.bgW = Scaled(params.zoomEd, backgroundWidth);
        l.bgH = Scaled(params.zoomEd, backgroundHeight);
    }
    l.mW = Scaled(params.zoom2Ed, motifWidth);
    l.mH = Scaled(params.zoom2Ed, motifHeight);
    if (params.overlay && params.backgroundCheck) {
        // The frame holds the motif: the result is the frame, and the margins move the motif.
        if (params.paperWidth > 0 && params.paperHeight > 0) {
            l.bgW = params.paperWidth;
            l.bgH = params.paperHeight;
        }
        l.outW = l.bgW;
        l.outH = l.bgH;
        l.pvW = Round64(params.zoomOutEd * static_cast<long double>(l.outW) / 100.0L);
        l.pvH = Round64(params.zoomOutEd * static_cast<long double>(l.outH) / 100.0L);
        return l;
    }
    if (params.backgroundCheck) {
        l.outW = std::max(l.bgW, l.mW);
        l.outH = std::max(l.bgH, l.mH);
    } else {
        l.outW = l.mW;
        l.outH = l.mH;
    }
    l.outW += Round64(params.additionalEd * 2);
    l.outH += Round64(params.additionalYED * 2);
    l.pvW = Round64(params.zoomOutEd * static_cast<long double>(l.outW) / 100.0L);
    l.pvH = Round64(params.zoomOutEd * static_cast<long double>(l.outH) / 100.0L);
    return l;
}

bool ComposePicture(const CompositionParams& params, const CompositionLayout& layout,
                    const dib& bkgnd, const dib& di, const dib& mask, Surface& bit,
                    const OverlayFrame* frame) {
    if (!layout.Renderable()) return false;
    const bool overlay = params.overlay && params.backgroundCheck && frame;
    if (!bit.SetSize(static_cast<int>(layout.outW), static_cast<int>(layout.outH))) return false;

    HDC dc = params.backgroundCheck ? CreateSurfaceDC(bit) : nullptr;
    if (dc) {
        const int x = static_cast<int>((layout.outW - layout.bgW) / 2);
        const int y = static_cast<int>((layout.outH - layout.bgH) / 2);
        const int w = static_cast<int>(layout.bgW);
        const int h = static_cast<int>(layout.bgH);
        if (params.smooth && SmoothStretchDib(bkgnd, bit, x, y, w, h)) {
            // It wrote every pixel of its rectangle; what it cannot draw is drawn as ever.
            FillAround(bit, x, y, w, h, params.fillColor);
        } else {
            if (DrawCoversDestination(dc, w, h, bkgnd)) {
                FillAround(bit, x, y, w, h, params.fillColor);
            } else {
                bit.Fill(params.fillColor);
            }
            DrawDibToDevice(dc, x, y, w, h, bkgnd, 0, 0, DibWidth(bkgnd), DibHeight(bkgnd),
                            false, SRCCOPY);
        }
        DeleteDC(dc);
    } else {
        bit.Fill(params.fillColor);
    }

    if (overlay) {
        const int x = static_cast<int>((layout.outW - layout.bgW) / 2);
        const int y = static_cast<int>((layout.outH - layout.bgH) / 2);
        const int w = static_cast<int>(layout.bgW), h = static_cast<int>(layout.bgH);
        OwnedDib feather;
        const long double width = RoundHalfEven(params.overlayFeather);
        if (width > 0) {
            const OpeningBox box = ScaledOpening(*frame, x, y, w, h);
            if (box.width > 0 && box.height > 0) {
                dib weights = newdib(box.width, box.height, 24, nullptr, 0);
                feather.reset(weights);  // copies share the pixels: built through `weights`
                BuildFeatherMask(weights, static_cast<double>(width), params.roundMask,
                                 static_cast<double>(params.maskRadius));
            }
        }
        return LayMotifUnderFrame(params, *frame, di, feather.get(), x, y, w, h, bit);
    }

    const long double winkel = RoundHalfEven(params.rotEd);
    const int zoom = FieldToInt(static_cast<double>(params.zoom2Ed));
    std::optional<OutsideWindow> outside;
    if (params.motifWindow) outside.emplace(bit, *params.motifWindow);
    const int dx = params.motifShiftX, dy = params.motifShiftY;
    if (params.smooth)
        DibRotxxxSmooth(di, mask, bit, winkel, dx, dy, zoom);
    else
        DibRotxxx(di, mask, bit, winkel, dx, dy, zoom);
    if (outside) outside->Restore();
    return true;
}

}  // namespace lumivane
