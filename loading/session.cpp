#include "loading/session.h"

#include "engine/feather_mask.h"
#include "image/Zerlin.h"

namespace lumivane {

FramingSession::FramingSession() {
    ready_ = CreatePlaceholders(images_);
    if (ready_) MakeMask();
}

FramingSession::~FramingSession() {
    ReleaseBackground();
    FreeWorkingImages(images_);
}

void FramingSession::ReleaseBackground() {
    // A borrowed background is only forgotten: its pixels and its header belong to the lender.
    if (ownsBackground_ && images_.bkgnd.poi) FreeDib(images_.bkgnd);
    images_.bkgnd = dib{};
    ownsBackground_ = true;
}

bool FramingSession::OpenMotif(const std::string& fname) {
    return lumivane::OpenMotif(images_, *this, fname);
}

bool FramingSession::OpenBackground(const std::string& fname) {
    ReadResult read = ReadPicture(*this, fname);
    if (!read.image) return false;
    ReleaseBackground();
    InstallBackground(images_, *this, read.image.release());  // nothing left for it to free
    return true;
}

void FramingSession::UseSharedBackground(const dib& background) {
    ReleaseBackground();
    ownsBackground_ = false;
    InstallBackground(images_, *this, background);  // nothing left for it to free
}

void FramingSession::SetValue(Field field, long double value) {
    // The window rebuilds the mask when the feather width changes; so does this state.
    if (params_.Set(field, value) && (field == Field::Maskwidth || field == Field::MaskRadiusEd)) {
        MakeMask();
    }
}

void FramingSession::SetSwitches(bool backgroundCheck, bool roundMask, COLORREF fillColor) {
    params_.backgroundCheck = backgroundCheck;
    params_.fillColor = fillColor;
    if (params_.roundMask != roundMask) {
        params_.roundMask = roundMask;
        MakeMask();
    }
}

void FramingSession::MakeMask() {
    BuildFeatherMask(images_.mask, params_[Field::Maskwidth], params_.roundMask,
                     params_[Field::MaskRadiusEd]);
}

void FramingSession::ShowLoadFailure(const std::string& fname) {
    if (onLoadFailure_) onLoadFailure_(fname);
}

void FramingSession::NoteUnusableProfile(const std::string& fname) {
    if (onUnusableProfile_) onUnusableProfile_(fname);
}

CompositionParams FramingSession::CompositionValues() const {
    const int mw = DibWidth(images_.di), mh = DibHeight(images_.di);
    CompositionParams c = lumivane::CompositionValues(params_, DibWidth(images_.bkgnd),
                                                      DibHeight(images_.bkgnd), mw, mh);
    if (!params_.print && !params_.backgroundCheck && (plainFrameX_ || plainFrameY_)) {
        const CompositionLayout l = ComputeLayout(c, 0, 0, mw, mh);
        const long double grow = (params_[Field::RahmenEd] - 100) / 200.0L;
        if (plainFrameX_) c.additionalEd = static_cast<long double>(l.mW) * grow;
        if (plainFrameY_) c.additionalYED = static_cast<long double>(l.mH) * grow;
    }
    return c;
}

bool FramingSession::Render() {
    const CompositionParams c = CompositionValues();
    const CompositionLayout layout =
        ComputeLayout(c, DibWidth(images_.bkgnd), DibHeight(images_.bkgnd), DibWidth(images_.di),
                      DibHeight(images_.di));
    return ComposePicture(c, layout, images_.bkgnd, images_.di, images_.mask, bit_);
}

}  // namespace lumivane
