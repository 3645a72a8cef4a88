#include "loading/loader.h"

#include "engine/fitting.h"
#include "image/Zerlin.h"
#include "platform/imagelib/read_image.h"

namespace lumivane {

namespace {

// Frees an image record on scope exit unless released.
class DibGuard {
public:
    explicit DibGuard(dib& d) : d_(d) {}
    ~DibGuard() {
        if (armed_ && d_.poi) FreeDib(d_);
    }
    void release() { armed_ = false; }
    DibGuard(const DibGuard&) = delete;
    DibGuard& operator=(const DibGuard&) = delete;

private:
    dib& d_;
    bool armed_ = true;
};

constexpr int kReducedWidth = 1000;

}  // namespace

bool OpenMotif(WorkingImages& images, FramingHost& host, const std::string& fname) {
    ReadOptions options;
    options.readMetadata = true;
    ReadResult read = ReadImageFile(fname.c_str(), options);
    PhotoMetadata metadata = std::move(read.facts.metadata);
    dib tmp = read.image.release();
    if (!tmp.poi) {
        host.ShowLoadFailure(fname);
        return false;
    }
    DibGuard guard(tmp);

    if (DibWidth(tmp) > kReducedWidth - 1 && host.AskReduceSize()) {
        const int height = static_cast<int>(std::int64_t(DibHeight(tmp)) * kReducedWidth /
                                            DibWidth(tmp));
        // A motif more than 1000 times wider than high would shrink to no rows at all; such a
        // motif, and one the resampler cannot copy, is kept as loaded.
        dib reduced = ResampleDib(tmp, kReducedWidth, height, true);
        if (reduced.poi) {
            FreeDib(tmp);
            tmp = reduced;
        }
    }

    const int width = DibWidth(tmp);
    const int height = DibHeight(tmp);
    if (auto zoom = PresetPreviewZoom(host.PreviewClientWidth(), host.PreviewClientHeight(),
                                      width, height, host.Value(Field::RahmenEd))) {
        host.SetValue(Field::ZoomOutEd, *zoom);
    }
    host.SetValue(Field::Maskwidth, PresetFeatherWidth(width));

    ConvertDib(tmp, 24);
    dib newMask = newdib(width, height, 24, nullptr, 0);
    if (DibBitCount(tmp) != 24 || !newMask.poi) {
        // Out of memory while preparing: the old motif stays.
        if (newMask.poi) FreeDib(newMask);
        host.ShowLoadFailure(fname);
        return false;
    }
    guard.release();

    FreeDib(images.di);
    images.di = tmp;
    FreeDib(images.mask);
    images.mask = newMask;
    images.motifMetadata = std::move(metadata);

    host.MakeMask();
    ResizeBackground(images, host);
    host.PaintBox1Paint();
    return true;
}

bool OpenBackground(WorkingImages& images, FramingHost& host, const std::string& fname) {
    dib tmp = OpenDib(fname.c_str(), 0, nullptr);
    if (!tmp.poi) {
        host.ShowLoadFailure(fname);
        return false;
    }
    InstallBackground(images, host, tmp);
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
    images = std::move(fresh);
    return true;
}

void FreeWorkingImages(WorkingImages& images) {
    for (dib* d : {&images.di, &images.mask, &images.bkgnd}) {
        if (d->poi) FreeDib(*d);
    }
}

}  // namespace lumivane
