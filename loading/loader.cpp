#include "loading/loader.h"

#include "engine/fitting.h"
#include "engine/print_format.h"
#include "engine/rounding.h"
#include "image/Zerlin.h"
#include "image/quarter_turn.h"
#include "image/smooth_resample.h"

namespace lumivane {

namespace {

constexpr int kReducedWidth = 1000;

void ReportLoadFailure(FramingHost& host, const std::string& fname, ReadFailure why) {
    host.NoteLoadFailure(why);
    host.ShowLoadFailure(fname);
}

}  // namespace

ReadResult ReadPicture(FramingHost& host, const std::string& fname, bool withMetadata,
                       bool withCoverage) {
    ReadOptions options = host.PictureReadOptions();
    options.readMetadata = withMetadata;
    options.keepAlpha = withCoverage;
    ReadResult read = ReadImageFile(fname.c_str(), options);
    if (!read.image)
        ReportLoadFailure(host, fname, read.failure);
    else if (read.profile == ProfileUse::Unusable)
        host.NoteUnusableProfile(fname);
    return read;
}

bool OpenMotif(WorkingImages& images, FramingHost& host, const std::string& fname) {
    ReadResult read = ReadPicture(host, fname, true);
    if (!read.image) return false;
    OwnedDib tmp = std::move(read.image);

    if (DibWidth(tmp.get()) > kReducedWidth - 1 && host.AskReduceSize()) {
        const int height = static_cast<int>(std::int64_t(DibHeight(tmp.get())) * kReducedWidth /
                                            DibWidth(tmp.get()));
        // A motif more than 1000 times wider than high would shrink to no rows at all; such a
        // motif, and one the resampler cannot copy, is kept as loaded.
        const dib reduced = host.Smooth() ? SmoothResampleDib(tmp.get(), kReducedWidth, height)
                                          : ResampleDib(tmp.get(), kReducedWidth, height, true);
        if (reduced.poi) tmp.reset(reduced);
    }

    const int width = DibWidth(tmp.get());
    const int height = DibHeight(tmp.get());
    if (auto zoom = PresetPreviewZoom(host.PreviewClientWidth(), host.PreviewClientHeight(),
                                      width, height, host.Value(Field::RahmenEd))) {
        host.SetValue(Field::ZoomOutEd, *zoom);
    }
    host.SetValue(Field::Maskwidth, DerivedFeatherWidth(images, host.Overlay(), width));

    dib converted = tmp.release();
    ConvertDib(converted, 24);  // frees the old pixels only when the copy is made
    tmp.reset(converted);
    OwnedDib newMask(newdib(width, height, 24, nullptr, 0));
    if (DibBitCount(tmp.get()) != 24 || !newMask) {
        // Out of memory while preparing: the old motif stays.
        ReportLoadFailure(host, fname, ReadFailure::OutOfMemory);
        return false;
    }

    FreeDib(images.di);
    images.di = tmp.release();
    FreeDib(images.mask);
    images.mask = newMask.release();
    images.motifFacts = std::move(read.facts);

    host.MakeMask();
    ResizeBackground(images, host);
    host.PaintBox1Paint();
    return true;
}

bool OpenBackground(WorkingImages& images, FramingHost& host, const std::string& fname) {
    ReadResult read = ReadPicture(host, fname, false, true);
    if (!read.image) return false;
    const dib coverage = read.alpha.release();
    InstallBackground(images, host, read.image.release(), coverage);
    return true;
}

void InstallBackground(WorkingImages& images, FramingHost& host, const dib& background,
                       const dib& coverage) {
    FreeDib(images.bkgnd);
    images.bkgnd = background;
    if (images.bkgndAlpha.poi) FreeDib(images.bkgndAlpha);
    images.bkgndAlpha = coverage;
    images.opening = FindOpening(coverage);
    ResizeBackground(images, host);
    host.PaintBox1Paint();
}

bool OverlayActive(const WorkingImages& images, bool overlayMode) {
    return overlayMode && images.bkgndAlpha.poi && images.opening;
}

int DerivedFeatherWidth(const WorkingImages& images, bool overlayMode, int motifWidth) {
    return OverlayActive(images, overlayMode) ? 0 : PresetFeatherWidth(motifWidth);
}

OpeningBox TurnedOpening(OpeningBox box, int width, int height, int turns) {
    for (int i = 0; i < ((turns % 4) + 4) % 4; ++i) {
        // Picture pixel (x, y) lands at (y, width - 1 - x).
        box = {box.y, width - box.x - box.width, box.height, box.width};
        std::swap(width, height);
    }
    return box;
}

bool TurnBackground(WorkingImages& images) {
    OwnedDib coverage;
    if (images.bkgndAlpha.poi) {
        coverage.reset(TurnDibQuarter(images.bkgndAlpha));
        if (!coverage) return false;
    }
    const int width = DibWidth(images.bkgnd), height = DibHeight(images.bkgnd);
    if (!TurnBackgroundQuarter(images.bkgnd)) return false;
    if (images.bkgndAlpha.poi) {
        FreeDib(images.bkgndAlpha);
        images.bkgndAlpha = coverage.release();
    }
    if (images.opening) images.opening = TurnedOpening(*images.opening, width, height, 1);
    return true;
}

CompositionParams RenderValues(const WorkingImages& images, const Parameters& settings) {
    const int mw = DibWidth(images.di), mh = DibHeight(images.di);
    if (!OverlayActive(images, settings.overlay))
        return CompositionValues(settings, DibWidth(images.bkgnd), DibHeight(images.bkgnd), mw, mh);
    CompositionParams c = CompositionValues(settings);
    c.overlay = true;
    if (settings.print) {  // the frame, holding the motif in its window, becomes the paper
        const PaperLayout paper = LayOutPaper(*settings.print, RoundHalfEven(c.rotEd), mw, mh);
        c.paperWidth = int(paper.width);
        c.paperHeight = int(paper.height);
    }
    return c;
}

bool ComposeWorkingState(const CompositionParams& params, const CompositionLayout& layout,
                         const WorkingImages& images, Surface& bit) {
    if (!params.overlay)
        return ComposePicture(params, layout, images.bkgnd, images.di, images.mask, bit);
    const OverlayFrame frame{images.bkgndAlpha, *images.opening};
    return ComposePicture(params, layout, images.bkgnd, images.di, images.mask, bit, &frame);
}

void ResizeBackground(const WorkingImages& images, FramingHost& host) {
    if (OverlayActive(images, host.Overlay())) {
        host.SetValue(Field::ZoomEd, 100);
        host.SetValue(Field::AdditionalYED, 0);
        host.SetValue(Field::AdditionalEd, 0);
        return;
    }
    const BackgroundFit fit =
        FitBackground(host.Value(Field::Zoom2Ed), host.Value(Field::RahmenEd), DibWidth(images.di),
                      DibHeight(images.di), DibWidth(images.bkgnd), DibHeight(images.bkgnd));
    host.SetValue(Field::ZoomEd, fit.zoomEd);
    host.SetValue(Field::AdditionalYED, fit.additionalYED);
    host.SetValue(Field::AdditionalEd, fit.additionalEd);
}

bool CreatePlaceholders(WorkingImages& images) {
    WorkingImages fresh;
    fresh.di = newdib(320, 200, 24, nullptr, 0);
    fresh.mask = newdib(320, 200, 24, nullptr, 0);
    fresh.bkgnd = newdib(320, 200, 24, nullptr, 0);
    if (!fresh.di.poi || !fresh.mask.poi || !fresh.bkgnd.poi) {
        FreeWorkingImages(fresh);
        return false;
    }
    images = fresh;
    return true;
}

void FreeWorkingImages(WorkingImages& images) {
    for (dib* d : {&images.di, &images.mask, &images.bkgnd, &images.bkgndAlpha}) {
        if (d->poi) FreeDib(*d);
    }
}

}  // namespace lumivane
