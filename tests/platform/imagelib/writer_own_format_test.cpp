// Formats without an independent reader here: PCX, IFF/ILBM and run-length Targa are decoded by
// small straightforward decoders below; JPEG 2000 by OpenJPEG's decoder.
#include <openjpeg.h>

#include <cstring>
#include <optional>

#include "platform/imagelib/save_image.h"
#include "tests/platform/imagelib/writer_test_util.h"

namespace lumivane::test {
namespace {

// A decoded picture as 0xRRGGBB, row 0 at the top.
struct Decoded {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;
};

void ExpectSame(const Picture& picture, const std::optional<Decoded>& decoded, const char* what) {
    ASSERT_TRUE(decoded) << what;
    ASSERT_EQ(decoded->width, picture.width) << what;
    ASSERT_EQ(decoded->height, picture.height) << what;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            ASSERT_EQ(decoded->rgb[std::size_t(y) * picture.width + x], picture.Rgb(x, y))
                << what << " at " << x << "," << y;
}

unsigned Le16(const std::vector<std::uint8_t>& f, std::size_t at) {
    return f[at] | f[at + 1] << 8;
}
unsigned Be16(const std::vector<std::uint8_t>& f, std::size_t at) {
    return f[at] << 8 | f[at + 1];
}
std::uint32_t Be32(const std::vector<std::uint8_t>& f, std::size_t at) {
    return std::uint32_t(Be16(f, at)) << 16 | Be16(f, at + 2);
}

std::optional<Decoded> DecodePcx(const std::vector<std::uint8_t>& f) {
    if (f.size() < 128 || f[0] != 0x0A || f[2] != 1 || f[3] != 8 || f[65] != 3) return {};
    Decoded d{int(Le16(f, 8) - Le16(f, 4) + 1), int(Le16(f, 10) - Le16(f, 6) + 1), {}};
    const std::size_t line = Le16(f, 66);
    std::vector<std::uint8_t> row(line * 3);
    std::size_t at = 128;
    for (int y = 0; y < d.height; ++y) {
        // Runs may cross planes in general; decode the whole scan line as one stream.
        for (std::size_t n = 0; n < row.size();) {
            if (at >= f.size()) return {};
            std::size_t count = 1;
            std::uint8_t value = f[at++];
            if (value >= 0xC0) {
                count = value & 0x3F;
                if (at >= f.size() || n + count > row.size()) return {};
                value = f[at++];
            }
            std::memset(row.data() + n, value, count);
            n += count;
        }
        for (int x = 0; x < d.width; ++x)
            d.rgb.push_back(std::uint32_t(row[x]) << 16 | std::uint32_t(row[line + x]) << 8 |
                            row[2 * line + x]);
    }
    return d;
}

std::optional<Decoded> DecodeIlbm(const std::vector<std::uint8_t>& f) {
    if (f.size() < 12 || std::memcmp(f.data(), "FORM", 4) || std::memcmp(f.data() + 8, "ILBM", 4))
        return {};
    if (Be32(f, 4) != f.size() - 8) return {};
    Decoded d;
    int planes = 0, compression = -1;
    for (std::size_t at = 12; at + 8 <= f.size();) {
        const std::uint32_t size = Be32(f, at + 4);
        const std::size_t body = at + 8;
        if (body + size > f.size()) return {};
        if (!std::memcmp(&f[at], "BMHD", 4)) {
            d.width = int(Be16(f, body));
            d.height = int(Be16(f, body + 2));
            planes = f[body + 8];
            compression = f[body + 10];
        } else if (!std::memcmp(&f[at], "BODY", 4)) {
            if (planes != 24 || compression != 1) return {};
            const std::size_t line = std::size_t(d.width + 15) / 16 * 2;
            std::vector<std::uint8_t> rows(line * 24);
            std::size_t in = body;
            for (int y = 0; y < d.height; ++y) {
                for (int p = 0; p < 24; ++p) {
                    std::uint8_t* out = rows.data() + p * line;
                    for (std::size_t n = 0; n < line;) {
                        if (in >= body + size) return {};
                        const int c = std::int8_t(f[in++]);
                        if (c >= 0) {
                            if (n + c + 1 > line || in + c + 1 > body + size) return {};
                            std::memcpy(out + n, &f[in], std::size_t(c) + 1);
                            in += std::size_t(c) + 1;
                            n += std::size_t(c) + 1;
                        } else if (c != -128) {
                            if (n + 1 - c > line || in >= body + size) return {};
                            std::memset(out + n, f[in++], std::size_t(1 - c));
                            n += std::size_t(1 - c);
                        }
                    }
                }
                for (int x = 0; x < d.width; ++x) {
                    std::uint32_t rgb = 0;
                    for (int c = 0; c < 3; ++c) {
                        unsigned v = 0;
                        for (int b = 0; b < 8; ++b)
                            v |= ((rows[(c * 8 + b) * line + x / 8] >> (7 - x % 8)) & 1u) << b;
                        rgb = rgb << 8 | v;
                    }
                    d.rgb.push_back(rgb);
                }
            }
            return d;
        }
        at = body + size + (size & 1);
    }
    return {};
}

std::optional<Decoded> DecodeTga(const std::vector<std::uint8_t>& f) {
    if (f.size() < 18 + 26 || f[1] != 0 || f[2] != 10 || f[16] != 24) return {};
    if (std::memcmp(&f[f.size() - 18], "TRUEVISION-XFILE.", 18)) return {};
    Decoded d{int(Le16(f, 12)), int(Le16(f, 14)), {}};
    std::vector<std::uint32_t> stored;  // in file order
    const std::size_t total = std::size_t(d.width) * d.height;
    std::size_t at = 18 + f[0];
    auto pixel = [&](std::size_t i) {
        return std::uint32_t(f[i + 2]) << 16 | f[i + 1] << 8 | f[i];
    };
    while (stored.size() < total) {
        if (at >= f.size()) return {};
        const int header = f[at++];
        const std::size_t count = std::size_t(header & 0x7F) + 1;
        if (stored.size() + count > total) return {};
        if (header & 0x80) {
            if (at + 3 > f.size()) return {};
            stored.insert(stored.end(), count, pixel(at));
            at += 3;
        } else {
            if (at + 3 * count > f.size()) return {};
            for (std::size_t i = 0; i < count; ++i, at += 3) stored.push_back(pixel(at));
        }
    }
    const bool topDown = f[17] & 0x20;
    for (int y = 0; y < d.height; ++y) {
        const int row = topDown ? y : d.height - 1 - y;
        d.rgb.insert(d.rgb.end(), stored.begin() + std::ptrdiff_t(row) * d.width,
                     stored.begin() + std::ptrdiff_t(row + 1) * d.width);
    }
    return d;
}

std::optional<Decoded> DecodeJp2(const std::string& path) {
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_TRUE);
    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    opj_image_t* image = nullptr;
    std::optional<Decoded> d;
    if (stream && codec && opj_setup_decoder(codec, &params) &&
        opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image) &&
        opj_end_decompress(codec, stream) && image->numcomps == 3) {
        d = Decoded{int(image->comps[0].w), int(image->comps[0].h), {}};
        for (std::size_t i = 0; i < std::size_t(d->width) * d->height; ++i)
            d->rgb.push_back(std::uint32_t(image->comps[0].data[i]) << 16 |
                             std::uint32_t(image->comps[1].data[i]) << 8 |
                             std::uint32_t(image->comps[2].data[i]));
    }
    if (image) opj_image_destroy(image);
    if (codec) opj_destroy_codec(codec);
    if (stream) opj_stream_destroy(stream);
    return d;
}

struct Size {
    int width, height;
};
// Odd widths, widths that are no multiple of 16 and single rows or columns.
constexpr Size kSizes[] = {{1, 1}, {37, 23}, {64, 3}, {3, 70}, {17, 1}};

std::vector<Picture> TestPictures() {
    std::vector<Picture> pictures;
    for (Size s : kSizes) {
        pictures.push_back(NoisePicture(s.width, s.height, unsigned(s.width + s.height)));
        pictures.push_back(FewColorsPicture(s.width, s.height, 3));  // runs of every length
    }
    Picture bright(200, 4);  // values >= 0xC0 must be escaped in PCX; runs over 128 and 63
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 200; ++x) bright.Set(x, y, x < 150 ? 0xC1C0FFu : 0xC0C0C0u + x % 2);
    pictures.push_back(std::move(bright));
    Picture wide = NoisePicture(1100, 2);  // plane lines with runs longer than 128 bytes
    for (int x = 0; x < 1090; ++x) wide.Set(x, 1, 0x00FF80);
    pictures.push_back(std::move(wide));
    return pictures;
}

TEST(OwnFormatWriters, PcxIlbmAndTgaKeepEveryPixel) {
    ScratchFolder folder;
    for (const Picture& picture : TestPictures()) {
        for (const char* ext : {"pcx", "iff", "lbm", "tga"}) {
            const std::string path = folder.File(std::string("picture.") + ext);
            ASSERT_TRUE(SaveImage(path, picture.View()).Ok()) << ext;
            const std::vector<std::uint8_t> file = ReadBytes(path);
            const std::string format = ext;
            if (format == "pcx") ExpectSame(picture, DecodePcx(file), ext);
            if (format == "iff" || format == "lbm") ExpectSame(picture, DecodeIlbm(file), ext);
            if (format == "tga") ExpectSame(picture, DecodeTga(file), ext);
        }
    }
}

TEST(OwnFormatWriters, PcxLinesHaveAnEvenLength) {
    ScratchFolder folder;
    const Picture picture = NoisePicture(37, 2);
    ASSERT_TRUE(SaveImage(folder.File("odd.pcx"), picture.View()).Ok());
    EXPECT_EQ(Le16(ReadBytes(folder.File("odd.pcx")), 66), 38u);
}

TEST(OwnFormatWriters, Jp2IsLosslessAcrossTiles) {
    ScratchFolder folder;
    std::vector<Picture> pictures = TestPictures();
    pictures.push_back(NoisePicture(1100, 5, 3));  // two tiles side by side, the second narrow
    pictures.push_back(PhotoPicture(5, 1030));
    for (const Picture& picture : pictures) {
        const std::string path = folder.File("picture.jp2");
        ASSERT_TRUE(SaveImage(path, picture.View()).Ok());
        ExpectSame(picture, DecodeJp2(path), "jp2");
    }
}

}  // namespace
}  // namespace lumivane::test
