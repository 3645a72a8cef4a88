// Writes the seed corpora for the fuzz targets: small sound files of every kind the readers
// know, made by our own writers and by the tiny encoders below for the depths and layouts the
// writers do not produce. Usage: make_seeds OUTPUT_FOLDER (gets one subfolder per target).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <lcms2.h>
#include <zlib.h>

#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/save_image.h"
#include "tests/platform/imagelib/heif_files.h"
#include "tests/support/file_builder.h"
#include "tests/support/test_profiles.h"

namespace fs = std::filesystem;

namespace {

using ByteVector = std::vector<std::uint8_t>;

using Builder = lumivane::test::FileBuilder;

constexpr int kW = 11, kH = 6;  // odd width: rows need padding in every format

// Palette index of a pixel for an image of `colors` colours.
unsigned Index(int x, int y, unsigned colors) {
    return unsigned(x * 3 + y * 5) % colors;
}

void WriteFile(const fs::path& path, const ByteVector& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Rows of palette indices packed at `bits` per pixel, padded to `align` bytes.
ByteVector PackedRow(int y, int bits, int align) {
    ByteVector row((std::size_t(kW * bits + 7) / 8 + align - 1) / align * align);
    for (int x = 0; x < kW; ++x) {
        const unsigned v = Index(x, y, 1u << bits);
        const int bit = x * bits;
        row[bit / 8] |= std::uint8_t(v << (8 - bits - bit % 8));
    }
    return row;
}

// ---- BMP: palette depths, 16-bit 5-5-5, 32-bit bit fields, the old core header, RLE4.
ByteVector Bmp(int bits, bool core, std::uint32_t compression = 0,
               const ByteVector* rle = nullptr) {
    const int colors = bits <= 8 ? 1 << bits : 0;
    const int headerSize = core ? 12 : 40;
    const int entry = core ? 3 : 4;
    const int masks = compression == 3 ? 12 : 0;
    const std::size_t rowBytes = (std::size_t(kW * bits + 31) / 32) * 4;
    const std::size_t imageBytes = rle ? rle->size() : rowBytes * kH;
    const std::uint32_t offset = 14 + headerSize + masks + colors * entry;
    Builder b;
    b.text("BM").u32le(std::uint32_t(offset + imageBytes)).u32le(0).u32le(offset);
    if (core) {
        b.u32le(12).u16le(kW).u16le(kH).u16le(1).u16le(bits);
    } else {
        b.u32le(40).u32le(kW).u32le(kH).u16le(1).u16le(bits).u32le(compression);
        b.u32le(std::uint32_t(imageBytes)).u32le(2835).u32le(2835).u32le(0).u32le(0);
    }
    if (masks) b.u32le(0xFF0000).u32le(0xFF00).u32le(0xFF);
    for (int i = 0; i < colors; ++i) {
        b.u8(i * 37).u8(i * 91).u8(i * 13);
        if (!core) b.u8(0);
    }
    if (rle) return b.append(*rle).bytes;
    for (int y = kH - 1; y >= 0; --y) {
        if (bits <= 8) {
            ByteVector row = PackedRow(y, bits, 4);
            b.append(row);
        } else {
            for (int x = 0; x < kW; ++x) {
                if (bits == 16)
                    b.u16le((x << 10) | (y << 5) | (x + y));
                else
                    b.u32le(std::uint32_t(x * 20) << 16 | std::uint32_t(y * 40) << 8 | 99);
            }
            b.fill(rowBytes - std::size_t(kW) * bits / 8, 0);
        }
    }
    return b.bytes;
}

ByteVector Rle4Body() {
    Builder b;
    b.u8(0).u8(4).u8(0x12).u8(0x34).u8(kW - 4).u8(0x56).u8(0).u8(0);  // literal, run, end of line
    for (int y = 1; y < kH - 1; ++y) b.u8(kW).u8(0x10 * y + 3).u8(0).u8(0);
    b.u8(0).u8(2).u8(1).u8(0).u8(3).u8(0x77);  // delta, then a run
    return b.u8(0).u8(1).bytes;                // end of bitmap
}

// ---- PCX: 8-bit with the palette at the end, 1-bit, 4 planes of 1 bit; plain or RLE.
ByteVector Pcx(int bitsPerPlane, int planes, bool rle) {
    const int bpl = ((kW * bitsPerPlane + 7) / 8 + 1) & ~1;
    Builder b;
    b.u8(0x0A).u8(5).u8(rle ? 1 : 0).u8(bitsPerPlane);
    b.u16le(0).u16le(0).u16le(kW - 1).u16le(kH - 1).u16le(72).u16le(72);
    for (int i = 0; i < 16; ++i) b.u8(i * 16).u8(255 - i * 16).u8(i * 8);
    b.u8(0).u8(planes).u16le(bpl).u16le(1).fill(58, 0);
    for (int y = 0; y < kH; ++y) {
        for (int p = 0; p < planes; ++p) {
            ByteVector line = PackedRow(y + p, bitsPerPlane, 1);
            line.resize(std::size_t(bpl));
            for (std::uint8_t v : line) {
                if (rle && (v >= 0xC0 || v == 0)) b.u8(0xC1);
                b.u8(v);
            }
        }
    }
    if (bitsPerPlane == 8) {
        b.u8(0x0C);
        for (int i = 0; i < 256; ++i) b.u8(i).u8(i / 2).u8(255 - i);
    }
    return b.bytes;
}

// ---- IFF: planar ILBM with CMAP (plain, ByteRun1, EHB, HAM6) and chunky PBM.
ByteVector Iff(const char* type, int planes, int compression, std::uint32_t camg) {
    const bool chunky = type[0] == 'P';
    const int rowBytes = chunky ? (kW + 1) & ~1 : ((kW + 15) / 16) * 2;
    Builder body;
    for (int y = 0; y < kH; ++y) {
        for (int p = 0; p < (chunky ? 1 : planes); ++p) {
            ByteVector row(std::size_t(rowBytes), 0);
            for (int x = 0; x < kW; ++x) {
                const unsigned v = Index(x, y, 1u << planes);
                if (chunky)
                    row[std::size_t(x)] = std::uint8_t(v);
                else if (v >> p & 1)
                    row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
            }
            if (compression == 1) body.u8(rowBytes - 1);  // one literal run per row
            body.append(row);
        }
    }
    const int colors = std::min(1 << planes, camg ? 32 : 256);
    Builder chunks;
    chunks.text(type);
    chunks.text("BMHD").u32be(20).u16be(kW).u16be(kH).u16be(0).u16be(0);
    chunks.u8(planes).u8(0).u8(compression).u8(0).u16be(0).u8(10).u8(11).u16be(kW).u16be(kH);
    chunks.text("CMAP").u32be(std::uint32_t(colors * 3));
    for (int i = 0; i < colors; ++i) chunks.u8(i * 17).u8(i * 5).u8(255 - i * 3);
    if (colors * 3 % 2) chunks.u8(0);
    if (camg) chunks.text("CAMG").u32be(4).u32be(camg);
    chunks.text("BODY").u32be(std::uint32_t(body.bytes.size())).append(body.bytes);
    if (body.bytes.size() % 2) chunks.u8(0);
    Builder file;
    file.text("FORM").u32be(std::uint32_t(chunks.bytes.size())).append(chunks.bytes);
    return file.bytes;
}

// ---- TGA: colour-mapped, grey, 16 and 32 bits; plain (type 1-3) or RLE (9-11); both origins.
ByteVector Tga(int type, int bits, bool topDown) {
    const bool mapped = (type & 7) == 1;
    Builder b;
    b.u8(0).u8(mapped ? 1 : 0).u8(type);
    b.u16le(0).u16le(mapped ? 16 : 0).u8(mapped ? 24 : 0);
    b.u16le(0).u16le(0).u16le(kW).u16le(kH).u8(bits).u8((topDown ? 0x20 : 0) |
                                                        (bits == 32 ? 8 : 0));
    if (mapped)
        for (int i = 0; i < 16; ++i) b.u8(i * 16).u8(i * 8).u8(255 - i * 16);
    const int bytes = bits / 8;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (type >= 9) b.u8(0);  // one-pixel raw packet
            const unsigned v = mapped ? Index(x, y, 16) : Index(x, y, 256) * 0x010101u;
            for (int i = 0; i < bytes; ++i) b.u8(v >> (8 * i));
        }
    }
    return b.text("TRUEVISION-XFILE.").bytes;  // an old-style trailer-less file is fine too
}

// A picture with few colours (palette paths of the writers) and one with many.
std::vector<std::uint8_t> Picture(bool manyColors) {
    std::vector<std::uint8_t> px(std::size_t(kW) * kH * 4);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            std::uint8_t* p = &px[(std::size_t(y) * kW + x) * 4];
            const unsigned v = manyColors ? unsigned(x * 23 + y * 41) : Index(x, y, 4) * 80;
            p[0] = std::uint8_t(v), p[1] = std::uint8_t(v * 3), p[2] = std::uint8_t(255 - v);
        }
    return px;
}

ByteVector ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(in), {});
}


// EXIF's TIFF block: IFD0 with the orientation, big-endian.
ByteVector ExifTiff(int orientation) {
    return Builder{}
        .text("MM")
        .u16be(42)
        .u32be(8)
        .u16be(1)
        .u16be(0x0112)
        .u16be(3)
        .u32be(1)
        .u16be(unsigned(orientation))
        .u16be(0)
        .u32be(0)
        .bytes;
}

// The containers' photo facts around no picture: what the photo_facts target parses.
std::vector<std::pair<std::string, ByteVector>> PhotoFactSeeds() {
    const ByteVector icc = lumivane::test::WideGamutProfile();
    uLongf packedSize = compressBound(uLong(icc.size()));
    ByteVector packed(packedSize);
    compress(packed.data(), &packedSize, icc.data(), uLong(icc.size()));
    packed.resize(packedSize);

    Builder jpeg;
    jpeg.u16be(0xFFD8).u16be(0xFFE1).u16be(unsigned(2 + 6 + ExifTiff(6).size()));
    jpeg.text("Exif").u8(0).u8(0).append(ExifTiff(6));
    jpeg.u16be(0xFFE2).u16be(unsigned(2 + 14 + icc.size())).text("ICC_PROFILE").u8(0).u8(1).u8(1);
    jpeg.append(icc).u16be(0xFFD9);

    Builder png;
    png.u8(0x89).text("PNG").u8('\r').u8('\n').u8(0x1A).u8('\n');
    png.u32be(std::uint32_t(ExifTiff(8).size())).text("eXIf").append(ExifTiff(8)).u32be(0);
    png.u32be(std::uint32_t(5 + packed.size())).text("iCCP").text("icc").u8(0).u8(0);
    png.append(packed).u32be(0);
    png.u32be(0).text("IEND").u32be(0);

    Builder webp;
    webp.text("RIFF").u32le(std::uint32_t(4 + 8 + icc.size() + 8 + ExifTiff(3).size()));
    webp.text("WEBP").text("ICCP").u32le(std::uint32_t(icc.size())).append(icc);
    webp.text("EXIF").u32le(std::uint32_t(ExifTiff(3).size())).append(ExifTiff(3));

    Builder tiff;  // IFD0 with orientation and the profile right behind it
    tiff.text("II").u16le(42).u32le(8).u16le(2);
    tiff.u16le(0x0112).u16le(3).u32le(1).u16le(5).u16le(0);
    tiff.u16le(0x8773).u16le(7).u32le(std::uint32_t(icc.size())).u32le(8 + 2 + 24 + 4);
    tiff.u32le(0).append(icc);

    return {{"photo_facts/exif-icc.jpg", jpeg.bytes},
            {"photo_facts/exif-icc.png", png.bytes},
            {"photo_facts/exif-icc.webp", webp.bytes},
            {"photo_facts/exif-icc.tif", tiff.bytes},
            {"photo_facts/profile.icc", icc}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    for (const char* target : {"bmp", "pcx", "iff", "tga", "heif", "open_dib", "photo_facts",
                               "photo_metadata", "template"})
        fs::create_directories(out / target);
    // A framing template with every kind of value and an escaped, non-ASCII file name.
    std::ofstream(out / "template" / "design.lumivane")
        << "{\n  \"format\": \"lumivane-template\",\n  \"version\": 1,\n"
           "  \"background\": \"rahmen/Gr\\u00fcn \\\"alt\\\".jpg\",\n"
           "  \"orientationMatched\": null,\n  \"frame\": 130,\n  \"rotate\": -5.25e1,\n"
           "  \"feather\": \"derived\",\n  \"roundMask\": true\n}\n";


    // Everything our writers produce, from two pictures: the whole table's input.
    int failures = 0;
    for (bool many : {false, true}) {
        const std::vector<std::uint8_t> pixels = Picture(many);
        const lumivane::Bgrx32View view{kW, kH, kW * 4, pixels.data()};
        for (const lumivane::Encoder& encoder : lumivane::Encoders()) {
            const std::string ext = std::string(encoder.extensions)
                                        .substr(0, std::string(encoder.extensions).find(' '));
            const std::string name = std::string(many ? "many." : "few.") + ext;
            if (!lumivane::SaveImage((out / "open_dib" / name).string(), view).Ok()) {
                std::fprintf(stderr, "cannot write %s\n", name.c_str());
                ++failures;
            }
        }
        // The own readers' targets start from their writer's output too.
        for (const char* target : {"bmp", "pcx", "iff", "tga"}) {
            const std::string ext = target;
            fs::copy_file(out / "open_dib" / (std::string(many ? "many." : "few.") + ext),
                          out / target / (std::string(many ? "many." : "few.") + ext),
                          fs::copy_options::overwrite_existing);
        }
        fs::copy_file(out / "open_dib" / (std::string(many ? "many" : "few") + ".rle"),
                      out / "bmp" / (std::string(many ? "many" : "few") + ".rle"),
                      fs::copy_options::overwrite_existing);
    }

    const ByteVector rle4 = Rle4Body();
    const std::vector<std::pair<std::string, ByteVector>> own = {
        {"bmp/1.bmp", Bmp(1, false)},
        {"bmp/4.bmp", Bmp(4, false)},
        {"bmp/8.bmp", Bmp(8, false)},
        {"bmp/16.bmp", Bmp(16, false)},
        {"bmp/32-bitfields.bmp", Bmp(32, false, 3)},
        {"bmp/8-core.bmp", Bmp(8, true)},
        {"bmp/rle4.bmp", Bmp(4, false, 2, &rle4)},
        {"pcx/8-rle.pcx", Pcx(8, 1, true)},
        {"pcx/8-plain.pcx", Pcx(8, 1, false)},
        {"pcx/1.pcx", Pcx(1, 1, true)},
        {"pcx/4-planes.pcx", Pcx(1, 4, true)},
        {"pcx/4-packed.pcx", Pcx(4, 1, true)},
        {"iff/4-plain.iff", Iff("ILBM", 4, 0, 0)},
        {"iff/5-byterun.iff", Iff("ILBM", 5, 1, 0)},
        {"iff/ehb.iff", Iff("ILBM", 6, 1, 0x80)},
        {"iff/ham6.iff", Iff("ILBM", 6, 0, 0x800)},
        {"iff/ham8.iff", Iff("ILBM", 8, 1, 0x800)},
        {"iff/pbm.lbm", Iff("PBM ", 8, 1, 0)},
        {"tga/mapped.tga", Tga(1, 8, false)},
        {"tga/mapped-rle.tga", Tga(9, 8, true)},
        {"tga/grey.tga", Tga(3, 8, true)},
        {"tga/grey-rle.tga", Tga(11, 8, false)},
        {"tga/16.tga", Tga(2, 16, false)},
        {"tga/32-rle.tga", Tga(10, 32, true)},
    };
    for (const auto& [name, bytes] : own) {
        WriteFile(out / name, bytes);
        WriteFile(out / "open_dib" / fs::path(name).filename(), bytes);
    }

    // Photos as cameras write them: orientation and profile in a sound JPEG and PNG.
    const auto facts = PhotoFactSeeds();
    for (const char* name : {"many.jpg", "many.png"}) {
        ByteVector photo = ReadBytes(out / "open_dib" / name);
        const ByteVector& donor = facts[name[5] == 'j' ? 0 : 1].second;
        if (name[5] == 'j') {  // the donor's segments between SOI and EOI, after our SOI
            photo.insert(photo.begin() + 2, donor.begin() + 2, donor.end() - 2);
        } else {  // the donor's chunks between signature and IEND, after our IHDR
            ByteVector chunks(donor.begin() + 8, donor.end() - 12);
            for (std::size_t at = 0; at + 12 <= chunks.size();) {
                const std::size_t length = std::size_t(chunks[at]) << 24 |
                                           std::size_t(chunks[at + 1]) << 16 |
                                           std::size_t(chunks[at + 2]) << 8 | chunks[at + 3];
                const std::uint32_t crc =
                    std::uint32_t(crc32(0, chunks.data() + at + 4, uInt(length + 4)));
                for (int i = 0; i < 4; ++i)
                    chunks[at + 8 + length + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
                at += length + 12;
            }
            photo.insert(photo.begin() + 33, chunks.begin(), chunks.end());
        }
        WriteFile(out / "open_dib" / (std::string("photo-") + name), photo);
        WriteFile(out / "photo_metadata" / (std::string("photo-") + name), photo);
    }

    // HEIC and AVIF from libheif's encoders (where this machine has them): one turned by its
    // transform properties, one with transparency.
    for (const auto format : {heif_compression_HEVC, heif_compression_AV1}) {
        if (!imagelib_test::CanEncodeHeif(format)) continue;
        const std::string ext = format == heif_compression_HEVC ? ".heic" : ".avif";
        for (const bool alpha : {false, true}) {
            imagelib_test::HeifRecipe recipe;
            recipe.format = format;
            recipe.alpha = alpha;
            recipe.orientation = alpha ? heif_orientation_normal : heif_orientation_rotate_90_cw;
            recipe.pixel = [](int x, int y) {
                return imagelib_test::Rgba{std::uint8_t(x * 8), std::uint8_t(y * 10), 90,
                                           std::uint8_t(x * 8 + y)};
            };
            const ByteVector bytes = imagelib_test::MakeHeif(recipe);
            const std::string name = std::string(alpha ? "alpha" : "turned") + ext;
            WriteFile(out / "heif" / name, bytes);
            WriteFile(out / "open_dib" / name, bytes);
            WriteFile(out / "photo_metadata" / name, bytes);
        }
    }

    // A seed our reader refuses would only teach the fuzzer the refusal path. Templates are
    // no pictures.
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file() || entry.path().parent_path().filename() == "template")
            continue;
        dib image = OpenDib(entry.path().c_str(), 0, nullptr);
        if (!image.poi) {
            std::fprintf(stderr, "our reader refuses seed %s\n", entry.path().c_str());
            ++failures;
        } else {
            deldib(image);
        }
    }
    // The facts target's seeds are containers around no picture, which no reader takes.
    for (const auto& [name, bytes] : facts) WriteFile(out / name, bytes);
    return failures == 0 ? 0 : 1;
}
