#include "loading/loader.h"

#include "engine/fitting.h"
#include "image/Zerlin.h"
#include "image/smooth_resample.h"

namespace lumivane {

namespace {

constexpr int kReducedWidth = 1000;

void ReportLoadFailure(FramingHost& host, const std::string& fname, ReadFailure why) {
    host.NoteLoadFailure(why);
    host.ShowLoadFailure(fname);
}

}  // namespace

ReadResult ReadPicture(FramingHost& host, const std::string& fname) {
    ReadResult read = ReadImageFile(fname.c_str(), host.PictureReadOptions());
    if (!read.image)
        ReportLoadFailure(host, fname, read.failure);
    else if (read.profile == ProfileUse::Unusable)
        host.NoteUnusableProfile(fname);
    return read;
}

bool OpenMotif(WorkingImages& images, FramingHost& host, const std::string& fname) {
    ReadResult read = ReadPicture(host, fname);
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
    host.SetValue(Field::Maskwidth, PresetFeatherWidth(width));

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
    ReadResult read = ReadPicture(host, fname);
    if (!read.image) return false;
    InstallBackground(images, host, read.image.release());
    return true;
}

void InstallBackground(WorkingImages& images, FramingHost& host, const dib& background) {
    FreeDib(images.bkgnd);
    images.bkgnd = background;
    ResizeBackground(images, host);
    host.PaintBox1Paint();
}

void ResizeBackground(const WorkingImages& images, FramingHost& host) {
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
    for (dib* d : {&images.di, &images.mask, &images.bkgnd}) {
        if (d->poi) FreeDib(*d);
    }
}

}  // namespace lumivane
