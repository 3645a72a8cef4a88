// Embedded colour profiles: every container's profile converts the picture to sRGB exactly as
// LittleCMS's own transform does with the same numbers; grey and palette pictures keep their
// kind; sRGB, untagged, broken and switched-off profiles leave the pixels as stored.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <lcms2.h>

#include <QColorSpace>
#include <QImage>

#include <cstdlib>
#include <vector>

#include "platform/imagelib/colour_profile.h"
#include "platform/imagelib/read_image.h"
#include "tests/platform/imagelib/photo_files.h"
#include "tests/support/test_profiles.h"

namespace {

using namespace imagelib_test;
using lumivane::Bytes;
using lumivane::ProfileUse;
using lumivane::ReadImage;
using lumivane::ReadOptions;

ByteVector Saved(cmsHPROFILE profile) {
    const ByteVector bytes = lumivane::test::SavedProfile(profile);
    if (bytes.empty()) ADD_FAILURE() << "profile not saved";
    return bytes;
}

ByteVector WideProfile() {
    return lumivane::test::WideGamutProfile();
}

ByteVector GreyProfile() {
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    const ByteVector bytes = Saved(cmsCreateGrayProfile(cmsD50_xyY(), gamma));
    cmsFreeToneCurve(gamma);
    return bytes;
}

ByteVector SrgbProfile() {
    return Saved(cmsCreate_sRGBProfile());
}

// A press-like CMYK profile: its A2B0 table maps ink amounts to Lab by a simple model.
int InkToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    const cmsCIELab lab = {100 * (1 - k) * (1 - 0.3 * (c + m + y) / 3), 60 * (m - c) * (1 - k),
                           60 * (y - 0.5 * (c + m)) * (1 - k)};
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

ByteVector CmykProfile() {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);  // a table of this kind is written as lut16
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 5, 4, 3, nullptr);
    cmsStageSampleCLut16bit(table, InkToLab, nullptr, 0);
    cmsPipelineInsertStage(lut, cmsAT_BEGIN, table);
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(lut);
    return Saved(profile);
}

// LittleCMS's own answer for the numbers: the oracle every conversion is held to.
ByteVector Oracle(const ByteVector& profileBytes, cmsUInt32Number inFormat,
                  cmsUInt32Number outFormat, const ByteVector& in, std::size_t pixels,
                  bool greyOut = false) {
    cmsHPROFILE from =
        cmsOpenProfileFromMem(profileBytes.data(), cmsUInt32Number(profileBytes.size()));
    cmsHPROFILE to;
    if (greyOut) {
        const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
        to = cmsCreateGrayProfile(cmsD50_xyY(), curve);
        cmsFreeToneCurve(curve);
    } else {
        to = cmsCreate_sRGBProfile();
    }
    cmsHTRANSFORM t = cmsCreateTransform(from, inFormat, to, outFormat, INTENT_PERCEPTUAL,
                                         cmsFLAGS_BLACKPOINTCOMPENSATION);
    ByteVector out(pixels * T_CHANNELS(outFormat));
    if (t)
        cmsDoTransform(t, in.data(), out.data(), cmsUInt32Number(pixels));
    else
        ADD_FAILURE() << "no oracle transform";
    if (t) cmsDeleteTransform(t);
    cmsCloseProfile(from);
    cmsCloseProfile(to);
    return out;
}

// The picture's pixels (colour pictures) or colours (palette pictures) as R, G, B bytes.
ByteVector RgbPixels(const dib& d) {
    ByteVector rgb;
    for (int y = 0; y < Height(d); ++y)
        for (int x = 0; x < Width(d); ++x) {
            const COLORREF c = ColorAt(d, x, y);
            rgb.insert(rgb.end(), {BYTE(c), BYTE(c >> 8), BYTE(c >> 16)});
        }
    return rgb;
}

QImage Colourful(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 37) & 255, (y * 53) & 255, (x * y * 11 + 90) & 255));
    return image;
}

ByteVector TiffWithProfile(QImage image, const ByteVector& profile) {
    image.setColorSpace(QColorSpace::fromIccProfile(
        QByteArray(reinterpret_cast<const char*>(profile.data()), qsizetype(profile.size()))));
    return Encoded(image, "tiff");
}

TEST(ColourProfile, EachContainersProfileConvertsAsLittleCmsDoes) {
    const ByteVector wide = WideProfile();
    const QImage image = Colourful(40, 30);
    const struct {
        const char* name;
        ByteVector file;
    } cases[] = {
        {"PNG iCCP", WithPngChunk(Encoded(image, "png"), "iCCP", IccpChunk(wide))},
        {"JPEG APP2 in three parts", WithJpegProfile(Encoded(image, "jpg", 90), wide, 3)},
        {"WebP ICCP", ExtendedWebp(Encoded(image, "webp", 100), 40, 30, {}, wide)},
        {"TIFF", TiffWithProfile(image, wide)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes(c.file.data(), c.file.size());
        const lumivane::ReadResult stored = ReadImage(bytes, ReadOptions{true, false});
        const lumivane::ReadResult converted = ReadImage(bytes);
        ASSERT_TRUE(stored.image);
        ASSERT_TRUE(converted.image);
        EXPECT_EQ(converted.facts.iccProfile, wide);
        EXPECT_EQ(converted.profile, ProfileUse::Converted);
        const ByteVector expected =
            Oracle(wide, TYPE_RGB_8, TYPE_RGB_8, RgbPixels(stored.image.get()), 40 * 30);
        EXPECT_EQ(RgbPixels(converted.image.get()), expected);
    }
}

TEST(ColourProfile, LargePicturesConvertOnBothCoresToTheSameNumbers) {
    const ByteVector wide = WideProfile();
    const dib picture = newdib(1501, 997, 24, nullptr, 0);
    ASSERT_NE(picture.poi, nullptr);
    for (int y = 0; y < 997; ++y)
        for (int x = 0; x < 1501; ++x) setpixel(picture, x, y, DWORD(x * 40503u + y * 2654435u));
    const ByteVector expected =
        Oracle(wide, TYPE_RGB_8, TYPE_RGB_8, RgbPixels(picture), 1501 * 997);
    EXPECT_EQ(lumivane::ConvertToSrgb(picture, Bytes(wide.data(), wide.size())),
              ProfileUse::Converted);
    EXPECT_EQ(RgbPixels(picture), expected);
    deldib(picture);
}

TEST(ColourProfile, GreyPicturesStayGreyAndPalettesConvertTheirColours) {
    const ByteVector grey = GreyProfile(), wide = WideProfile();
    QImage greyImage(32, 8, QImage::Format_Grayscale8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x) greyImage.scanLine(y)[x] = uchar(x * 8 + y);
    QImage paletteImage(5, 3, QImage::Format_Indexed8);
    paletteImage.setColorTable(
        {qRgb(250, 10, 10), qRgb(10, 200, 30), qRgb(20, 30, 240), qRgb(128, 128, 128)});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) paletteImage.setPixel(x, y, uint((x + y) % 4));

    // Grey JPEG with a grey profile: the levels move, the grey ramp stays.
    const ByteVector greyJpeg = WithJpegProfile(Encoded(greyImage, "jpg", 95), grey, 1);
    const Bytes greyBytes(greyJpeg.data(), greyJpeg.size());
    const lumivane::ReadResult greyStored = ReadImage(greyBytes, ReadOptions{true, false});
    const lumivane::ReadResult greyConverted = ReadImage(greyBytes);
    ASSERT_TRUE(greyStored.image && greyConverted.image);
    const dib& g = greyConverted.image.get();
    ASSERT_EQ(Bits(g), 8);
    ByteVector levels, expectedLevels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x) {
            levels.push_back(BYTE(getpixel(g, x, y)));
            expectedLevels.push_back(BYTE(getpixel(greyStored.image.get(), x, y)));
        }
    expectedLevels = Oracle(grey, TYPE_GRAY_8, TYPE_GRAY_8, expectedLevels, 256, true);
    EXPECT_EQ(levels, expectedLevels);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(g.pmi->bmiColors[i].rgbRed | g.pmi->bmiColors[i].rgbGreen << 8 |
                      g.pmi->bmiColors[i].rgbBlue << 16,
                  i | i << 8 | i << 16);

    // Palette PNG with a colour profile: same indices, converted colours.
    const ByteVector palettePng =
        WithPngChunk(Encoded(paletteImage, "png"), "iCCP", IccpChunk(wide));
    const Bytes paletteBytes(palettePng.data(), palettePng.size());
    const lumivane::ReadResult paletteStored = ReadImage(paletteBytes, ReadOptions{true, false});
    const lumivane::ReadResult paletteConverted = ReadImage(paletteBytes);
    ASSERT_TRUE(paletteStored.image && paletteConverted.image);
    const dib &before = paletteStored.image.get(), &after = paletteConverted.image.get();
    ASSERT_EQ(Bits(after), Bits(before));
    ASSERT_LE(Bits(after), 8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(getpixel(after, x, y), getpixel(before, x, y));
    EXPECT_EQ(RgbPixels(after), Oracle(wide, TYPE_RGB_8, TYPE_RGB_8, RgbPixels(before), 5 * 3));
}

// A CMYK JPEG as Adobe writes it (inverted), and the ink values libjpeg decodes from it.
ByteVector CmykJpeg(int w, int h, ByteVector& decodedInk) {
    ByteVector ink(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < ink.size(); ++i) ink[i] = std::uint8_t(i * 29 + (i >> 6) * 7);
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(w), c.image_height = JDIMENSION(h);
    c.input_components = 4, c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < h; ++y) {
        JSAMPROW row = &ink[std::size_t(y) * w * 4];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    ByteVector file(out, out + size);
    std::free(out);

    jpeg_decompress_struct d{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), file.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&d);
    decodedInk.assign(std::size_t(w) * h * 4, 0);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = &decodedInk[std::size_t(d.output_scanline) * w * 4];
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return file;
}

TEST(ColourProfile, CmykJpegsUseTheirProfileInsteadOfThePlainInversion) {
    const ByteVector cmyk = CmykProfile();
    ByteVector ink;
    const ByteVector jpeg = WithJpegProfile(CmykJpeg(24, 16, ink), cmyk, 2);
    const lumivane::ReadResult result = ReadImage(Bytes(jpeg.data(), jpeg.size()));
    ASSERT_TRUE(result.image);
    EXPECT_EQ(result.profile, ProfileUse::Converted);
    // libjpeg marks CMYK files the Adobe way, so the stored numbers are inverted ink.
    EXPECT_EQ(RgbPixels(result.image.get()),
              Oracle(cmyk, TYPE_CMYK_8_REV, TYPE_RGB_8, ink, 24 * 16));
}

TEST(ColourProfile, SrgbUntaggedBrokenAndSwitchedOffProfilesLeaveThePixelsAsStored) {
    const QImage image = Colourful(17, 9);
    const ByteVector png = Encoded(image, "png");
    const ByteVector wide = WideProfile();
    const ByteVector halfProfile(wide.begin(), wide.begin() + std::ptrdiff_t(wide.size() / 2));
    ByteVector garbage(600);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = std::uint8_t(i * 131 + 7);
    const ByteVector iccp = IccpChunk(wide);
    const ByteVector badZlib(iccp.begin(), iccp.end() - 20);  // the compressed profile cut short

    const Bytes untagged(png.data(), png.size());
    const lumivane::ReadResult plain = ReadImage(untagged);
    ASSERT_TRUE(plain.image);
    EXPECT_EQ(plain.profile, ProfileUse::NotNeeded);
    const ByteVector asStored = RgbPixels(plain.image.get());

    const struct {
        const char* what;
        ByteVector chunk;
        ReadOptions options;
        ProfileUse use;
    } cases[] = {
        {"sRGB profile", IccpChunk(SrgbProfile()), {}, ProfileUse::NotNeeded},
        {"conversion switched off", IccpChunk(wide), {true, false}, ProfileUse::NotNeeded},
        {"garbage profile", IccpChunk(garbage), {}, ProfileUse::Unusable},
        {"truncated profile", IccpChunk(halfProfile), {}, ProfileUse::Unusable},
        {"grey profile on colour", IccpChunk(GreyProfile()), {}, ProfileUse::Unusable},
        {"CMYK profile on RGB", IccpChunk(CmykProfile()), {}, ProfileUse::Unusable},
        {"damaged compression", badZlib, {}, ProfileUse::NotNeeded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ByteVector file = WithPngChunk(png, "iCCP", c.chunk);
        const lumivane::ReadResult result = ReadImage(Bytes(file.data(), file.size()), c.options);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(result.profile, c.use);
        EXPECT_EQ(RgbPixels(result.image.get()), asStored);
    }
}

}  // namespace
