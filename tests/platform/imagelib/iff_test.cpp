// The IFF ILBM / PBM reader, fed with files written by a small encoder below.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec_test_util.h"
#include "platform/imagelib/codecs/own_formats.h"

namespace lumivane::test {
namespace {

using Bytes8 = std::vector<std::uint8_t>;
using Pixels = std::vector<std::vector<std::uint32_t>>;  // rows of per-pixel values

struct Chunk {
    std::string id;
    Bytes8 data;
};

Bytes8 Form(const std::string& type, const std::vector<Chunk>& chunks) {
    FileBuilder body;
    body.text(type);
    for (const Chunk& c : chunks) {
        body.text(c.id).u32be(std::uint32_t(c.data.size())).append(c.data);
        if (c.data.size() % 2) body.u8(0);
    }
    FileBuilder f;
    f.text("FORM").u32be(std::uint32_t(body.bytes.size())).append(body.bytes);
    return f.bytes;
}

Chunk Bmhd(int width, int height, int planes, int compression, int masking = 0) {
    FileBuilder f;
    f.u16be(width).u16be(height).u16be(0).u16be(0).u8(planes).u8(masking).u8(compression).u8(0);
    f.u16be(0).u8(10).u8(11).u16be(width).u16be(height);
    return {"BMHD", f.bytes};
}

Chunk Cmap(int count) {
    Chunk c{"CMAP", {}};
    for (int i = 0; i < count; ++i)
        c.data.insert(c.data.end(), {std::uint8_t(i * 4), std::uint8_t(200 - i), 0x60});
    return c;
}

Chunk Camg(std::uint32_t mode) {
    return {"CAMG", FileBuilder().u32be(mode).bytes};
}

// Interleaved bitplanes: for each row, plane 0 first; each plane padded to 16-bit words.
// `extraPlane` adds a mask plane of set bits, which the reader must skip.
Bytes8 Interleave(const Pixels& rows, int planes, bool extraPlane = false) {
    Bytes8 out;
    for (const auto& row : rows) {
        const std::size_t planeBytes = (row.size() + 15) / 16 * 2;
        for (int p = 0; p < planes; ++p) {
            Bytes8 plane(planeBytes);
            for (std::size_t x = 0; x < row.size(); ++x)
                if (row[x] >> p & 1) plane[x / 8] |= 0x80 >> (x % 8);
            out.insert(out.end(), plane.begin(), plane.end());
        }
        if (extraPlane) out.insert(out.end(), planeBytes, 0xFF);
    }
    return out;
}

// ByteRun1 with runs of up to 128 and literal stretches of up to 128 bytes.
Bytes8 ByteRun1(const Bytes8& data) {
    Bytes8 out;
    for (std::size_t i = 0; i < data.size();) {
        std::size_t run = 1;
        while (i + run < data.size() && run < 128 && data[i + run] == data[i]) ++run;
        if (run >= 2) {
            out.push_back(std::uint8_t(1 - int(run)));
            out.push_back(data[i]);
            i += run;
            continue;
        }
        std::size_t lit = 1;
        while (i + lit < data.size() && lit < 128 &&
               !(i + lit + 1 < data.size() && data[i + lit] == data[i + lit + 1]))
            ++lit;
        out.push_back(std::uint8_t(lit - 1));
        out.insert(out.end(), data.begin() + i, data.begin() + i + lit);
        i += lit;
    }
    return out;
}

Pixels Ramp(int width, int height, std::uint32_t modulo) {
    Pixels rows(height, std::vector<std::uint32_t>(width));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) rows[y][x] = std::uint32_t(x * 7 + y * 3) % modulo;
    return rows;
}

COLORREF CmapColor(std::uint32_t i) {
    return RGB(i * 4, 200 - i, 0x60);
}

void ExpectIndices(const DecodedImage& img, const Pixels& rows) {
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            ASSERT_EQ(img.raw(int(x), int(y)), rows[y][x]) << x << "," << y;
}

TEST(IffReader, BitplanePicturesBecomePaletteImagesAtTheirNaturalDepth) {
    struct Case {
        int planes, bits, compression;
        bool mask;
    };
    for (Case c : {Case{1, 1, 1, false}, Case{2, 4, 0, false}, Case{4, 4, 1, true},
                   Case{5, 8, 0, false}, Case{8, 8, 1, true}}) {
        const Pixels rows = Ramp(21, 3, 1u << c.planes);
        Bytes8 body = Interleave(rows, c.planes, c.mask);
        if (c.compression) body = ByteRun1(body);
        const auto file = Form("ILBM", {Bmhd(21, 3, c.planes, c.compression, c.mask ? 1 : 0),
                                        Cmap(1 << c.planes),
                                        {"BODY", body}});
        ASSERT_TRUE(Matches(kIffDecoder, file));
        DecodedImage img(Decode(kIffDecoder, file));
        ASSERT_TRUE(img.ok()) << c.planes << " planes";
        EXPECT_EQ(img.bits(), c.bits);
        EXPECT_EQ(img.width(), 21);
        EXPECT_EQ(img.height(), 3);
        ExpectIndices(img, rows);
        EXPECT_EQ(img.color(1, 0), CmapColor(rows[0][1]));
    }
}

TEST(IffReader, ChunksInAnyOrderWithOddPaddingAndNoColourMap) {
    const Pixels rows = Ramp(9, 2, 16);
    const auto file =
        Form("ILBM", {{"ANNO", {'a', 'b', 'c'}}, {"BODY", Interleave(rows, 4)}, Bmhd(9, 2, 4, 0)});
    DecodedImage img(Decode(kIffDecoder, file));
    ASSERT_TRUE(img.ok());
    ExpectIndices(img, rows);
    EXPECT_EQ(img.paletteColor(15), RGB(255, 255, 255));  // grey levels without CMAP
    EXPECT_EQ(img.paletteColor(5), RGB(85, 85, 85));
}

TEST(IffReader, ExtraHalfBriteDoublesThePaletteAtHalfBrightness) {
    const Pixels rows{{3, 35, 63}};
    for (const auto& camg : {std::vector<Chunk>{Camg(0x80)}, std::vector<Chunk>{}}) {
        std::vector<Chunk> chunks{Bmhd(3, 1, 6, 0), Cmap(32)};
        chunks.insert(chunks.end(), camg.begin(), camg.end());
        chunks.push_back({"BODY", Interleave(rows, 6)});
        DecodedImage img(Decode(kIffDecoder, Form("ILBM", chunks)));
        ASSERT_TRUE(img.ok());
        EXPECT_EQ(img.bits(), 8);
        EXPECT_EQ(img.color(0, 0), CmapColor(3));
        EXPECT_EQ(img.color(1, 0), RGB(6, 98, 0x30));   // colour 3 halved
        EXPECT_EQ(img.color(2, 0), RGB(62, 84, 0x30));  // colour 31 halved
    }
}

TEST(IffReader, HoldAndModifyDecodesToTrueColour) {
    // HAM6: 00 palette, 01 blue, 10 red, 11 green; 4 data bits widened as 0xN -> 0xNN.
    const Pixels ham6{{0x02, 0x2F, 0x33, 0x18, 0x00}};
    DecodedImage six(Decode(
        kIffDecoder,
        Form("ILBM",
             {Bmhd(5, 1, 6, 1), Camg(0x800), Cmap(16), {"BODY", ByteRun1(Interleave(ham6, 6))}})));
    ASSERT_TRUE(six.ok());
    EXPECT_EQ(six.bits(), 24);
    EXPECT_EQ(six.color(0, 0), CmapColor(2));
    EXPECT_EQ(six.color(1, 0), RGB(0xFF, 198, 0x60));
    EXPECT_EQ(six.color(2, 0), RGB(0xFF, 0x33, 0x60));
    EXPECT_EQ(six.color(3, 0), RGB(0xFF, 0x33, 0x88));
    EXPECT_EQ(six.color(4, 0), CmapColor(0));

    // HAM8: 6 data bits, 0b101010 -> 0b10101010; each row starts from colour 0.
    const Pixels ham8{{0x80 | 0x2A, 0x40 | 0x3F}, {0xC0 | 0x01, 0x05}};
    DecodedImage eight(Decode(
        kIffDecoder,
        Form("ILBM", {Bmhd(2, 2, 8, 0), Camg(0x800), Cmap(64), {"BODY", Interleave(ham8, 8)}})));
    ASSERT_TRUE(eight.ok());
    EXPECT_EQ(eight.color(0, 0), RGB(0xAA, 200, 0x60));
    EXPECT_EQ(eight.color(1, 0), RGB(0xAA, 200, 0xFF));
    EXPECT_EQ(eight.color(0, 1), RGB(0, 0x04, 0x60));
    EXPECT_EQ(eight.color(1, 1), CmapColor(5));
}

TEST(IffReader, DeepPicturesAndChunkyPbm) {
    const Pixels deep{{0x302010, 0xFFEEDD}};
    DecodedImage rgb(Decode(
        kIffDecoder, Form("ILBM", {Bmhd(2, 1, 24, 1), {"BODY", ByteRun1(Interleave(deep, 24))}})));
    ASSERT_TRUE(rgb.ok());
    EXPECT_EQ(rgb.bits(), 24);
    EXPECT_EQ(rgb.color(0, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(rgb.color(1, 0), RGB(0xDD, 0xEE, 0xFF));

    const Pixels withAlpha{{0xFF302010, 0x00302010}};
    DecodedImage rgba(Decode(
        kIffDecoder, Form("ILBM", {Bmhd(2, 1, 32, 0), {"BODY", Interleave(withAlpha, 32)}})));
    ASSERT_TRUE(rgba.ok());
    EXPECT_EQ(rgba.color(0, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(rgba.color(1, 0), RGB(255, 255, 255));

    // PBM rows are padded to an even length.
    const Bytes8 chunky{1, 2, 3, 0, 200, 201, 202, 0};
    DecodedImage pbm(Decode(
        kIffDecoder, Form("PBM ", {Bmhd(3, 2, 8, 1), Cmap(256), {"BODY", ByteRun1(chunky)}})));
    ASSERT_TRUE(pbm.ok());
    EXPECT_EQ(pbm.bits(), 8);
    ExpectIndices(pbm, {{1, 2, 3}, {200, 201, 202}});
}

TEST(IffReader, RefusesTruncatedHugeAndUnsupportedFiles) {
    const Pixels rows = Ramp(20, 4, 16);
    const auto good =
        Form("ILBM", {Bmhd(20, 4, 4, 1), Cmap(16), {"BODY", ByteRun1(Interleave(rows, 4))}});
    ASSERT_EQ(good.size() % 2, 0u);
    ASSERT_TRUE(DecodedImage(Decode(kIffDecoder, good)).ok());
    ExpectEveryTruncationRefused(kIffDecoder, good);
    ExpectGarbageRefused(kIffDecoder);

    auto wrongType = good;
    wrongType[8] = 'X';
    EXPECT_FALSE(Matches(kIffDecoder, wrongType));

    const Bytes8 tinyBody(40, 0x81);  // forty runs of 128 zero bytes
    for (const Chunk& header : {Bmhd(65535, 65535, 8, 1), Bmhd(4000, 4000, 8, 1), Bmhd(8, 8, 4, 2),
                                Bmhd(8, 8, 12, 0), Bmhd(0, 8, 4, 0)}) {
        const auto file = Form("ILBM", {header, {"BODY", tinyBody}});
        EXPECT_FALSE(DecodedImage(Decode(kIffDecoder, file)).ok());
    }
    // A FORM whose declared size is smaller than its own header.
    auto shortForm = good;
    shortForm[7] = 2;
    shortForm[4] = shortForm[5] = shortForm[6] = 0;
    EXPECT_FALSE(DecodedImage(Decode(kIffDecoder, shortForm)).ok());
}

}  // namespace
}  // namespace lumivane::test
