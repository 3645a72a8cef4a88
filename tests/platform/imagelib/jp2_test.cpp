// The JPEG 2000 reader, fed with files that OpenJPEG's encoder writes in the test.
#include <gtest/gtest.h>
#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "codec_test_util.h"
#include "platform/imagelib/codecs/own_formats.h"

namespace lumivane::test {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

struct Component {
    int precision = 8;
    bool isSigned = false;
    int dx = 1, dy = 1;
    bool alpha = false;
    // Sample at component position (x, y).
    std::function<int(int, int)> sample;
};

struct Output {
    Bytes8 bytes;
    std::size_t pos = 0;
};

OPJ_SIZE_T WriteOut(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* out = static_cast<Output*>(user);
    if (out->bytes.size() < out->pos + n) out->bytes.resize(out->pos + n);
    std::memcpy(out->bytes.data() + out->pos, buffer, n);
    out->pos += n;
    return n;
}
OPJ_OFF_T SkipOut(OPJ_OFF_T n, void* user) {
    auto* out = static_cast<Output*>(user);
    out->pos += std::size_t(n);
    if (out->bytes.size() < out->pos) out->bytes.resize(out->pos);
    return n;
}
OPJ_BOOL SeekOut(OPJ_OFF_T n, void* user) {
    static_cast<Output*>(user)->pos = std::size_t(n);
    return OPJ_TRUE;
}
void Quiet(const char*, void*) {}

// Losslessly encodes a width x height image as a .jp2 file or a raw codestream.
Bytes8 Encode(int width, int height, const std::vector<Component>& comps, OPJ_COLOR_SPACE space,
              bool boxes, int tileSize = 0) {
    std::vector<opj_image_cmptparm_t> params(comps.size());
    for (std::size_t c = 0; c < comps.size(); ++c) {
        opj_image_cmptparm_t& p = params[c];
        std::memset(&p, 0, sizeof p);
        p.dx = comps[c].dx;
        p.dy = comps[c].dy;
        p.w = (width + comps[c].dx - 1) / comps[c].dx;
        p.h = (height + comps[c].dy - 1) / comps[c].dy;
        p.prec = comps[c].precision;
        p.sgnd = comps[c].isSigned;
    }
    opj_image_t* image = opj_image_create(OPJ_UINT32(comps.size()), params.data(), space);
    image->x1 = width;
    image->y1 = height;
    for (std::size_t c = 0; c < comps.size(); ++c) {
        opj_image_comp_t& comp = image->comps[c];
        comp.alpha = comps[c].alpha;
        for (OPJ_UINT32 y = 0; y < comp.h; ++y)
            for (OPJ_UINT32 x = 0; x < comp.w; ++x)
                comp.data[y * comp.w + x] = comps[c].sample(int(x), int(y));
    }

    opj_cparameters_t p;
    opj_set_default_encoder_parameters(&p);
    p.tcp_numlayers = 1;
    p.tcp_rates[0] = 0;
    p.cp_disto_alloc = 1;
    int smallest = std::min(width, height);
    if (tileSize) {
        p.tile_size_on = OPJ_TRUE;
        p.cp_tdx = p.cp_tdy = tileSize;
        smallest = std::min(smallest, tileSize);
    }
    p.numresolution = 1;
    while (p.numresolution < 6 && (smallest >> p.numresolution) > 0) ++p.numresolution;
    bool sameSize = true;
    for (const Component& c : comps) sameSize &= c.dx == 1 && c.dy == 1;
    p.tcp_mct = comps.size() >= 3 && sameSize && space == OPJ_CLRSPC_SRGB ? 1 : 0;

    opj_codec_t* codec = opj_create_compress(boxes ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_set_error_handler(codec, Quiet, nullptr);
    opj_set_warning_handler(codec, Quiet, nullptr);
    opj_set_info_handler(codec, Quiet, nullptr);
    Output out;
    opj_stream_t* stream = opj_stream_create(1 << 16, OPJ_FALSE);
    opj_stream_set_user_data(stream, &out, nullptr);
    opj_stream_set_write_function(stream, WriteOut);
    opj_stream_set_skip_function(stream, SkipOut);
    opj_stream_set_seek_function(stream, SeekOut);
    const bool ok = opj_setup_encoder(codec, &p, image) &&
                    opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
                    opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    EXPECT_TRUE(ok) << "OpenJPEG could not encode the test image";
    return ok ? out.bytes : Bytes8{};
}

Component Plain(std::function<int(int, int)> f) {
    return {.sample = std::move(f)};
}

int Gradient(int x, int y) {
    return (x * 5 + y * 3) % 256;
}

std::uint8_t OverWhiteExpected(int c, int a) {
    return std::uint8_t(std::lround(c * a / 255.0 + 255 - a));
}

// Writes a big-endian 32-bit value into a codestream header.
void Put32(Bytes8& file, std::size_t at, std::uint32_t v) {
    if (file.size() < at + 4) file.resize(at + 4);
    for (int i = 0; i < 4; ++i) file[at + i] = std::uint8_t(v >> (24 - 8 * i));
}

TEST(Jp2Reader, GreyBecomesAnEightBitGreyImageFromBoxesOrCodestream) {
    for (bool boxes : {true, false}) {
        const auto file = Encode(37, 23, {Plain(Gradient)}, OPJ_CLRSPC_GRAY, boxes);
        ASSERT_TRUE(Matches(kJp2Decoder, file));
        DecodedImage img(Decode(kJp2Decoder, file));
        ASSERT_TRUE(img.ok()) << (boxes ? "jp2" : "j2k");
        EXPECT_EQ(img.bits(), 8);
        EXPECT_EQ(img.width(), 37);
        EXPECT_EQ(img.height(), 23);
        EXPECT_EQ(img.paletteColor(200), RGB(200, 200, 200));
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                ASSERT_EQ(img.raw(x, y), DWORD(Gradient(x, y))) << x << "," << y;
    }
}

TEST(Jp2Reader, ColourBecomesTwentyFourBitsWithAlphaOverWhite) {
    const auto red = Plain([](int x, int y) { return (x * 9 + y) % 256; });
    const auto green = Plain([](int x, int y) { return (x + y * 11) % 256; });
    const auto blue = Plain([](int x, int) { return 255 - x; });
    Component alpha = Plain([](int x, int y) { return (x * 40 + y * 17) % 256; });
    alpha.alpha = true;

    DecodedImage rgb(
        Decode(kJp2Decoder, Encode(20, 10, {red, green, blue}, OPJ_CLRSPC_SRGB, true)));
    ASSERT_TRUE(rgb.ok());
    EXPECT_EQ(rgb.bits(), 24);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(rgb.color(x, y),
                      RGB(red.sample(x, y), green.sample(x, y), blue.sample(x, y)));

    for (bool boxes : {true, false}) {
        DecodedImage rgba(
            Decode(kJp2Decoder, Encode(20, 10, {red, green, blue, alpha}, OPJ_CLRSPC_SRGB, boxes)));
        ASSERT_TRUE(rgba.ok());
        EXPECT_EQ(rgba.bits(), 24);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 20; ++x) {
                const int a = alpha.sample(x, y);
                ASSERT_EQ(rgba.color(x, y), RGB(OverWhiteExpected(red.sample(x, y), a),
                                                OverWhiteExpected(green.sample(x, y), a),
                                                OverWhiteExpected(blue.sample(x, y), a)))
                    << x << "," << y;
            }
        }
    }

    DecodedImage greyAlpha(
        Decode(kJp2Decoder, Encode(20, 10, {red, alpha}, OPJ_CLRSPC_GRAY, false)));
    ASSERT_TRUE(greyAlpha.ok());
    EXPECT_EQ(greyAlpha.bits(), 8);
    EXPECT_EQ(greyAlpha.raw(7, 3), OverWhiteExpected(red.sample(7, 3), alpha.sample(7, 3)));
}

std::uint32_t Get32(const Bytes8& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// The .jp2 file with its header's colr box replaced by one that carries `icc` (method 2).
Bytes8 WithIccColr(const Bytes8& file, const Bytes8& icc) {
    Bytes8 out;
    for (std::size_t at = 0; at + 8 <= file.size();) {
        const std::size_t length = Get32(file, at);
        if (Get32(file, at + 4) != 0x6A703268) {  // not 'jp2h': copied as it is
            out.insert(out.end(), file.begin() + at, file.begin() + at + length);
        } else {
            Bytes8 header;
            for (std::size_t in = at + 8; in + 8 <= at + length;) {
                const std::size_t inner = Get32(file, in);
                if (Get32(file, in + 4) == 0x636F6C72) {  // 'colr'
                    const std::uint32_t size = std::uint32_t(8 + 3 + icc.size());
                    header.insert(header.end(), {std::uint8_t(size >> 24), std::uint8_t(size >> 16),
                                                 std::uint8_t(size >> 8), std::uint8_t(size), 'c',
                                                 'o', 'l', 'r', 2, 0, 0});
                    header.insert(header.end(), icc.begin(), icc.end());
                } else {
                    header.insert(header.end(), file.begin() + in, file.begin() + in + inner);
                }
                in += inner;
            }
            const std::uint32_t size = std::uint32_t(8 + header.size());
            out.insert(out.end(),
                       {std::uint8_t(size >> 24), std::uint8_t(size >> 16), std::uint8_t(size >> 8),
                        std::uint8_t(size), 'j', 'p', '2', 'h'});
            out.insert(out.end(), header.begin(), header.end());
        }
        at += length;
    }
    return out;
}

TEST(Jp2Reader, AColrBoxProfileIsHandedOnAsItIs) {
    const auto grey = Plain(Gradient);
    Bytes8 icc(400);
    for (std::size_t i = 0; i < icc.size(); ++i) icc[i] = std::uint8_t(i * 7 + 3);
    const Bytes8 file = WithIccColr(Encode(8, 4, {grey, grey, grey}, OPJ_CLRSPC_SRGB, true), icc);
    const ReadResult result = kJp2Decoder.decode(Bytes(file.data(), file.size()), {});
    ASSERT_TRUE(result.image);
    EXPECT_EQ(result.facts.iccProfile, icc);
}

TEST(Jp2Reader, OtherPrecisionsAreScaledToEightBits) {
    struct Case {
        int precision;
        bool isSigned;
        std::vector<int> samples;
        std::vector<DWORD> expected;
    };
    for (const Case& c : {Case{12, false, {0, 4095, 2048, 16}, {0, 255, 128, 1}},
                          Case{16, false, {0, 65535, 32768, 257}, {0, 255, 128, 1}},
                          Case{1, false, {0, 1, 1, 0}, {0, 255, 255, 0}},
                          Case{8, true, {-128, 127, 0, -1}, {0, 255, 128, 127}}}) {
        Component comp = Plain([&c](int x, int) { return c.samples[x]; });
        comp.precision = c.precision;
        comp.isSigned = c.isSigned;
        DecodedImage img(Decode(kJp2Decoder, Encode(4, 1, {comp}, OPJ_CLRSPC_GRAY, false)));
        ASSERT_TRUE(img.ok()) << c.precision;
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(img.raw(x, 0), c.expected[x]) << c.precision << " bits, x " << x;
    }
}

TEST(Jp2Reader, SubsampledComponentsAndYccAreWidenedAndConverted) {
    // Red full size, green and blue at half resolution in both directions.
    const auto red = Plain([](int x, int y) { return x * 10 + y; });
    Component green = Plain([](int x, int y) { return 100 + x * 20 + y; });
    green.dx = green.dy = 2;
    Component blue = green;
    blue.sample = [](int x, int y) { return 200 - x - 10 * y; };
    DecodedImage rgb(Decode(kJp2Decoder, Encode(9, 7, {red, green, blue}, OPJ_CLRSPC_SRGB, false)));
    ASSERT_TRUE(rgb.ok());
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(rgb.color(x, y),
                      RGB(red.sample(x, y), green.sample(x / 2, y / 2), blue.sample(x / 2, y / 2)))
                << x << "," << y;

    const auto luma = Plain([](int x, int y) { return 60 + x * 10 + y; });
    Component cb = Plain([](int x, int) { return 128 - 20 * x; });
    Component cr = Plain([](int, int y) { return 128 + 30 * y; });
    cb.dx = cb.dy = cr.dx = cr.dy = 2;
    DecodedImage ycc(Decode(kJp2Decoder, Encode(8, 6, {luma, cb, cr}, OPJ_CLRSPC_SYCC, true)));
    ASSERT_TRUE(ycc.ok());
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const double Y = luma.sample(x, y), Cb = cb.sample(x / 2, y / 2) - 128.0,
                         Cr = cr.sample(x / 2, y / 2) - 128.0;
            const COLORREF c = ycc.color(x, y);
            EXPECT_NEAR(GetRValue(c), std::clamp(Y + 1.402 * Cr, 0.0, 255.0), 1.0);
            EXPECT_NEAR(GetGValue(c), std::clamp(Y - 0.344136 * Cb - 0.714136 * Cr, 0.0, 255.0),
                        1.0);
            EXPECT_NEAR(GetBValue(c), std::clamp(Y + 1.772 * Cb, 0.0, 255.0), 1.0);
        }
    }
}

TEST(Jp2Reader, ReadsTiledImages) {
    const auto file = Encode(40, 33, {Plain(Gradient)}, OPJ_CLRSPC_GRAY, true, 16);
    DecodedImage img(Decode(kJp2Decoder, file));
    ASSERT_TRUE(img.ok());
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(img.raw(x, y), DWORD(Gradient(x, y)));
}

TEST(Jp2Reader, RefusesTruncatedHugeAndMalformedFiles) {
    for (bool boxes : {true, false}) {
        const auto good = Encode(12, 9, {Plain(Gradient), Plain(Gradient), Plain(Gradient)},
                                 OPJ_CLRSPC_SRGB, boxes);
        ASSERT_TRUE(DecodedImage(Decode(kJp2Decoder, good)).ok());
        ExpectEveryTruncationRefused(kJp2Decoder, good);
        // Garbage after a sound beginning.
        auto scrambled = good;
        for (std::size_t i = scrambled.size() / 2; i < scrambled.size(); ++i) scrambled[i] ^= 0x5A;
        EXPECT_FALSE(DecodedImage(Decode(kJp2Decoder, scrambled)).ok());
    }
    ExpectGarbageRefused(kJp2Decoder);

    // Codestream headers promising too much: SIZ fields sit at fixed offsets.
    const auto base = Encode(12, 9, {Plain(Gradient)}, OPJ_CLRSPC_GRAY, false);
    const auto patched = [&](std::size_t at, std::uint32_t v) {
        Bytes8 f = base;
        Put32(f, at, v);
        return f;
    };
    const std::vector<Bytes8> bad{
        patched(8, 65536),  // too wide
        [&] {
            auto f = patched(8, 30000);
            Put32(f, 12, 30000);
            return f;
        }(),  // 900 megapixels
        [&] {
            auto f = patched(24, 1);
            Put32(f, 28, 1);
            return f;
        }(),              // a tile per pixel
        patched(16, 12),  // empty: x0 == x1
        [&] {
            auto f = base;
            f[41] = 5;
            return f;
        }(),  // five components
    };
    for (const auto& file : bad) EXPECT_FALSE(DecodedImage(Decode(kJp2Decoder, file)).ok());

    // A box longer than the file, and a box file without a codestream box.
    const auto boxed = Encode(12, 9, {Plain(Gradient)}, OPJ_CLRSPC_GRAY, true);
    auto longBox = boxed;
    Put32(longBox, 12, 0x7FFFFFF0);
    EXPECT_FALSE(DecodedImage(Decode(kJp2Decoder, longBox)).ok());
    const Bytes8 signatureOnly(boxed.begin(), boxed.begin() + 12);
    EXPECT_TRUE(Matches(kJp2Decoder, signatureOnly));
    EXPECT_FALSE(DecodedImage(Decode(kJp2Decoder, signatureOnly)).ok());
}

}  // namespace
}  // namespace lumivane::test
