// ICC to sRGB with LittleCMS. Every call works in a context of its own (so concurrent loads
// share no error handler or plug-in state) and transforms are made without LittleCMS's
// one-pixel cache, the only state a transform changes while it runs, so that two threads can
// run one transform on different rows.
#include "platform/imagelib/colour_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "platform/imagelib/library_messages.h"
#include "platform/imagelib/stored_rows.h"
#include "platform/parallel.h"

namespace lumivane {
namespace {

constexpr cmsUInt32Number kIntent = INTENT_PERCEPTUAL;
constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE;
// Results within this many levels of sRGB's own everywhere make a profile count as sRGB: real
// sRGB profiles differ from LittleCMS's built-in one by rounding only.
constexpr int kSrgbTolerance = 1;

void OnLittleCmsError(cmsContext, cmsUInt32Number, const char* text) {
    LibraryMessage("LittleCMS", text);
}

// The LittleCMS objects of one conversion, released in the right order.
class Session {
  public:
    Session() : context_(cmsCreateContext(nullptr, nullptr)) {
        if (context_) cmsSetLogErrorHandlerTHR(context_, OnLittleCmsError);
    }
    ~Session() {
        for (cmsHTRANSFORM t : transforms_) cmsDeleteTransform(t);
        for (cmsHPROFILE p : profiles_) cmsCloseProfile(p);
        if (context_) cmsDeleteContext(context_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    cmsContext context() const { return context_; }
    cmsHPROFILE KeepProfile(cmsHPROFILE profile) {
        if (profile) profiles_.push_back(profile);
        return profile;
    }
    cmsHTRANSFORM KeepTransform(cmsHTRANSFORM transform) {
        if (transform) transforms_.push_back(transform);
        return transform;
    }

    cmsHPROFILE Open(Bytes bytes) {
        if (!context_ || bytes.empty() || bytes.size() > UINT32_MAX) return nullptr;
        return KeepProfile(
            cmsOpenProfileFromMemTHR(context_, bytes.data(), cmsUInt32Number(bytes.size())));
    }
    cmsHPROFILE Srgb() { return KeepProfile(cmsCreate_sRGBProfileTHR(context_)); }
    // Grey with sRGB's tone curve: where grey pictures end up.
    cmsHPROFILE SrgbGrey() {
        const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        cmsToneCurve* curve = cmsBuildParametricToneCurve(context_, 4, parameters);
        if (!curve) return nullptr;
        cmsHPROFILE grey = cmsCreateGrayProfileTHR(context_, cmsD50_xyY(), curve);
        cmsFreeToneCurve(curve);
        return KeepProfile(grey);
    }
    cmsHTRANSFORM Transform(cmsHPROFILE from, cmsUInt32Number inFormat, cmsHPROFILE to,
                            cmsUInt32Number outFormat) {
        if (!from || !to) return nullptr;
        return KeepTransform(
            cmsCreateTransformTHR(context_, from, inFormat, to, outFormat, kIntent, kFlags));
    }

  private:
    cmsContext context_;
    std::vector<cmsHPROFILE> profiles_;
    std::vector<cmsHTRANSFORM> transforms_;
};

// True when the transform leaves every sample of an even grid over the colour cube (or every
// grey level) within the tolerance: such a profile is sRGB in all but name.
bool ActsLikeIdentity(cmsHTRANSFORM transform, int channels) {
    std::vector<std::uint8_t> in;
    if (channels == 1) {
        for (int v = 0; v < 256; ++v) in.push_back(std::uint8_t(v));
    } else {
        constexpr int kSteps = 17;  // 0, 16, ..., 240, 255
        for (int r = 0; r < kSteps; ++r)
            for (int g = 0; g < kSteps; ++g)
                for (int b = 0; b < kSteps; ++b)
                    for (int v : {r, g, b}) in.push_back(std::uint8_t(std::min(255, v * 16)));
    }
    std::vector<std::uint8_t> out(in.size());
    cmsDoTransform(transform, in.data(), out.data(), cmsUInt32Number(in.size() / channels));
    for (std::size_t i = 0; i < in.size(); ++i)
        if (std::abs(int(in[i]) - int(out[i])) > kSrgbTolerance) return false;
    return true;
}

int ColorCount(const dib& image) {
    return 1 << image.pmi->bmiHeader.biBitCount;
}

bool IsGreyRamp(const dib& image) {
    if (image.pmi->bmiHeader.biBitCount != 8) return false;
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& q = image.pmi->bmiColors[i];
        if (q.rgbRed != i || q.rgbGreen != i || q.rgbBlue != i) return false;
    }
    return true;
}

// The logical palette mirrors the colour table.
void SyncPalette(const dib& image) {
    dib& record = const_cast<dib&>(image);
    for (int i = 0; i < ColorCount(image) && i < 256; ++i) {
        const RGBQUAD& q = image.pmi->bmiColors[i];
        record.pal.rgb0[i][0] = q.rgbRed;
        record.pal.rgb0[i][1] = q.rgbGreen;
        record.pal.rgb0[i][2] = q.rgbBlue;
    }
}

ProfileUse ConvertGrey(Session& session, cmsHPROFILE profile, const dib& image) {
    const cmsHTRANSFORM transform =
        session.Transform(profile, TYPE_GRAY_8, session.SrgbGrey(), TYPE_GRAY_8);
    if (!transform) return ProfileUse::Unusable;
    if (ActsLikeIdentity(transform, 1)) return ProfileUse::NotNeeded;
    std::array<std::uint8_t, 256> levels, mapped;
    for (int v = 0; v < 256; ++v) levels[std::size_t(v)] = std::uint8_t(v);
    cmsDoTransform(transform, levels.data(), mapped.data(), 256);
    const BITMAPINFOHEADER& h = image.pmi->bmiHeader;
    if (IsGreyRamp(image)) {
        // Grey pictures stay grey ramp images: their levels change, not their palette.
        for (int r = 0; r < h.biHeight; ++r) {
            BYTE* row = StoredRow(image, r);
            for (int x = 0; x < h.biWidth; ++x) row[x] = mapped[row[x]];
        }
        return ProfileUse::Converted;
    }
    // Any other palette: each of its (grey) entries' levels.
    for (int i = 0; i < ColorCount(image); ++i) {
        RGBQUAD& q = image.pmi->bmiColors[i];
        q.rgbRed = mapped[q.rgbRed], q.rgbGreen = mapped[q.rgbGreen], q.rgbBlue = mapped[q.rgbBlue];
    }
    SyncPalette(image);
    return ProfileUse::Converted;
}

ProfileUse ConvertColour(Session& session, cmsHPROFILE profile, const dib& image) {
    const BITMAPINFOHEADER& h = image.pmi->bmiHeader;
    const bool palette = h.biBitCount <= 8;
    if ((!palette && h.biBitCount != 24) || (palette && IsGreyRamp(image)))
        return ProfileUse::Unusable;  // 5-5-5 pictures, or a colour profile on a grey picture
    const cmsHTRANSFORM transform =
        session.Transform(profile, TYPE_BGR_8, session.Srgb(), TYPE_BGR_8);
    if (!transform) return ProfileUse::Unusable;
    if (ActsLikeIdentity(transform, 3)) return ProfileUse::NotNeeded;
    if (palette) {
        // RGBQUAD is blue, green, red, reserved: four bytes a colour, the fourth left alone.
        const cmsHTRANSFORM entries =
            session.Transform(profile, TYPE_BGRA_8, session.Srgb(), TYPE_BGRA_8);
        if (!entries) return ProfileUse::Unusable;
        cmsDoTransform(entries, image.pmi->bmiColors, image.pmi->bmiColors,
                       cmsUInt32Number(ColorCount(image)));
        SyncPalette(image);
        return ProfileUse::Converted;
    }
    const std::int64_t pixels = std::int64_t(h.biWidth) * h.biHeight;
    ForChunks(h.biHeight, 32, pixels >= (std::int64_t(1) << 20),
              [&](std::int64_t first, std::int64_t last) {
                  for (std::int64_t r = first; r < last; ++r) {
                      BYTE* row = StoredRow(image, int(r));
                      cmsDoTransform(transform, row, row, cmsUInt32Number(h.biWidth));
                  }
              });
    return ProfileUse::Converted;
}

}  // namespace

ProfileUse ConvertToSrgb(const dib& image, Bytes profileBytes) {
    if (!image.poi || !image.pmi || profileBytes.empty()) return ProfileUse::NotNeeded;
    Session session;
    const cmsHPROFILE profile = session.Open(profileBytes);
    if (!profile) return ProfileUse::Unusable;
    switch (cmsGetColorSpace(profile)) {
        case cmsSigGrayData:
            if (image.pmi->bmiHeader.biBitCount > 8) return ProfileUse::Unusable;
            return ConvertGrey(session, profile, image);
        case cmsSigRgbData:
            return ConvertColour(session, profile, image);
        default:
            return ProfileUse::Unusable;
    }
}

CmykToSrgb::CmykToSrgb(Bytes profileBytes, bool inverted) {
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context) return;
    cmsSetLogErrorHandlerTHR(context, OnLittleCmsError);
    context_ = context;
    if (profileBytes.empty() || profileBytes.size() > UINT32_MAX) return;
    cmsHPROFILE cmyk = cmsOpenProfileFromMemTHR(context, profileBytes.data(),
                                                cmsUInt32Number(profileBytes.size()));
    if (!cmyk) return;
    cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
    if (srgb && cmsGetColorSpace(cmyk) == cmsSigCmykData)
        transform_ = cmsCreateTransformTHR(context, cmyk, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8,
                                           srgb, TYPE_BGR_8, kIntent, kFlags);
    cmsCloseProfile(cmyk);
    if (srgb) cmsCloseProfile(srgb);
}

CmykToSrgb::~CmykToSrgb() {
    if (transform_) cmsDeleteTransform(transform_);
    if (context_) cmsDeleteContext(static_cast<cmsContext>(context_));
}

void CmykToSrgb::Convert(const std::uint8_t* cmyk, std::uint8_t* bgr, int width) const {
    cmsDoTransform(transform_, cmyk, bgr, cmsUInt32Number(width));
}

}  // namespace lumivane
