// Colour profiles made with LittleCMS for tests, fuzz seeds and benchmarks, so that no profile
// file from elsewhere is needed.
#pragma once

#include <lcms2.h>

#include <cstdint>
#include <vector>

namespace lumivane::test {

// The profile's bytes; the profile is closed.
inline std::vector<std::uint8_t> SavedProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    std::vector<std::uint8_t> bytes;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
    }
    if (profile) cmsCloseProfile(profile);
    return bytes;
}

// Adobe-RGB-like primaries with a plain 2.2 gamma, as cameras embed them: far enough from sRGB
// to move every colour.
inline std::vector<std::uint8_t> WideGamutProfile() {
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    std::vector<std::uint8_t> bytes = SavedProfile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(gamma);
    return bytes;
}

}  // namespace lumivane::test
