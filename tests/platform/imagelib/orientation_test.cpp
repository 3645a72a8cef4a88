// The EXIF orientation: read from each container (and survived when damaged), and applied at
// every depth so that the picture comes out as it is meant to be seen.
#include <gtest/gtest.h>

#include <cstring>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "platform/imagelib/codecs/embedded_facts.h"
#include "platform/imagelib/orientation.h"
#include "platform/imagelib/read_image.h"
#include "tests/platform/imagelib/photo_files.h"

namespace {

using namespace imagelib_test;
using lumivane::Bytes;

// Where pixel (x, y) of the upright picture is in the stored one, from the definitions of the
// eight orientations (where the stored first row and column are to be shown).
void StoredPosition(int orientation, int x, int y, int w, int h, int& sx, int& sy) {
    switch (orientation) {
        case 1:
            sx = x, sy = y;
            break;
        case 2:
            sx = w - 1 - x, sy = y;
            break;
        case 3:
            sx = w - 1 - x, sy = h - 1 - y;
            break;
        case 4:
            sx = x, sy = h - 1 - y;
            break;
        case 5:
            sx = y, sy = x;
            break;
        case 6:
            sx = y, sy = h - 1 - x;
            break;
        case 7:
            sx = w - 1 - y, sy = h - 1 - x;
            break;
        default:
            sx = w - 1 - y, sy = x;
            break;
    }
}

// Every upright pixel must be the stored pixel the orientation names.
void ExpectUpright(const dib& stored, const dib& upright, int orientation,
                   COLORREF (*value)(const dib&, int, int)) {
    const int w = Width(stored), h = Height(stored);
    const bool sideways = orientation >= 5;
    ASSERT_EQ(Width(upright), sideways ? h : w);
    ASSERT_EQ(Height(upright), sideways ? w : h);
    int wrong = 0;
    for (int y = 0; y < Height(upright); ++y)
        for (int x = 0; x < Width(upright); ++x) {
            int sx, sy;
            StoredPosition(orientation, x, y, w, h, sx, sy);
            wrong += value(upright, x, y) != value(stored, sx, sy);
        }
    EXPECT_EQ(wrong, 0) << "orientation " << orientation;
}

COLORREF Raw(const dib& d, int x, int y) {
    return getpixel(d, x, y);
}

// A picture whose every pixel differs from its neighbours, with a colour table at palette depths.
dib StoredPicture(int w, int h, int bits) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } table{};
    for (int i = 0; i < 256; ++i) table.colors[i] = {BYTE(i * 3), BYTE(255 - i), BYTE(i * 7), 0};
    const dib d =
        newdib(w, h, bits, reinterpret_cast<const BITMAPINFO*>(&table), bits <= 8 ? 1 << bits : 0);
    const DWORD mask = bits == 24 ? 0xFFFFFF : (1u << bits) - 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setpixel(d, x, y, DWORD(x * 7919 + y * 104729 + x * y) & mask);
    return d;
}

TEST(Orientation, EveryValueAtEveryDepthShowsTheStoredPictureUpright) {
    // Odd sizes, and sizes that are not multiples of the tile or of a byte's pixels.
    for (const auto& [w, h] : {std::pair{13, 7}, std::pair{70, 131}}) {
        for (int bits : {1, 4, 8, 16, 24}) {
            const dib stored = StoredPicture(w, h, bits);
            ASSERT_NE(stored.poi, nullptr);
            for (int orientation = 2; orientation <= 8; ++orientation) {
                const dib upright = lumivane::OrientedDib(stored, orientation);
                ASSERT_NE(upright.poi, nullptr);
                EXPECT_EQ(Bits(upright), bits);
                ExpectUpright(stored, upright, orientation, Raw);
                if (bits <= 8) {  // palette images stay palette images, with the same colours
                    EXPECT_EQ(std::memcmp(upright.pmi->bmiColors, stored.pmi->bmiColors,
                                          sizeof(RGBQUAD) << bits),
                              0);
                }
                deldib(upright);
            }
            deldib(stored);
        }
    }
}

QImage Gradient(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 10, y * 15, (x + y) * 6));
    return image;
}

ByteVector TiffWithOrientation(const QImage& image, QImageIOHandler::Transformation t) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setTransformation(t);
    if (!writer.write(image)) return {};
    return ByteVector(bytes.begin(), bytes.end());
}

TEST(Orientation, EachContainerTurnsTheLoadedPictureUpright) {
    const QImage image = Gradient(24, 16);
    const ByteVector webp = Encoded(image, "webp", 100);
    const struct {
        const char* name;
        ByteVector file;
        int orientation;
    } cases[] = {
        {"JPEG APP1", WithJpegSegment(Encoded(image, "jpg", 95), 0xE1, ExifSegment(6)), 6},
        {"PNG eXIf", WithPngChunk(Encoded(image, "png"), "eXIf", ExifBlock(8, false)), 8},
        {"WebP EXIF", ExtendedWebp(webp, 24, 16, ExifBlock(3), {}), 3},
        {"TIFF IFD0", TiffWithOrientation(image, QImageIOHandler::TransformationRotate90), 6},
        {"TIFF IFD0", TiffWithOrientation(image, QImageIOHandler::TransformationMirrorAndRotate90),
         7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes(c.file.data(), c.file.size());
        const lumivane::ReadResult stored = lumivane::ReadImage(bytes, {false, true});
        const lumivane::ReadResult upright = lumivane::ReadImage(bytes);
        ASSERT_TRUE(stored.image);
        ASSERT_TRUE(upright.image);
        EXPECT_EQ(upright.facts.orientation, c.orientation);
        ExpectUpright(stored.image.get(), upright.image.get(), c.orientation, ColorAt);
    }
}

// Damaged EXIF never fails the load and never reads outside the block; it reads as upright.
TEST(Orientation, DamagedExifCountsAsUpright) {
    const auto patched = [](ByteVector b, std::size_t at, std::uint8_t v) {
        b.at(at) = v;
        return b;
    };
    ByteVector bigTiff{'I', 'I', 43, 0, 8, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0};
    PutLe(bigTiff, 1, 8);  // one entry
    PutLe(bigTiff, 0x0112, 2);
    PutLe(bigTiff, 3, 2);
    PutLe(bigTiff, 1, 8);
    PutLe(bigTiff, 7, 8);
    const ByteVector good = ExifBlock(6);  // big-endian, IFD0 at 8, entry at 10
    const struct {
        const char* what;
        ByteVector block;
        int expected;
    } cases[] = {
        {"big-endian", good, 6},
        {"little-endian", ExifBlock(2, false), 2},
        {"BigTIFF", bigTiff, 7},
        {"unknown byte order", patched(good, 0, 'I'), 1},
        {"wrong magic", patched(good, 3, 43), 1},
        {"IFD0 past the end", patched(good, 7, 200), 1},
        {"IFD0 pointing into itself", patched(good, 7, 2), 1},
        {"entry count past the end", patched(good, 9, 200), 6},  // the entry there is read
        {"value out of range", patched(good, 19, 9), 1},
        {"orientation as LONG", patched(good, 13, 4), 1},
        {"empty", {}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lumivane::ExifOrientation(Bytes(c.block.data(), c.block.size())), c.expected)
            << c.what;
        // Every prefix, in a buffer of exactly its size so that a sanitizer sees any over-read.
        for (std::size_t n = 0; n < c.block.size(); ++n) {
            const ByteVector prefix(c.block.begin(), c.block.begin() + std::ptrdiff_t(n));
            const int o = lumivane::ExifOrientation(Bytes(prefix.data(), prefix.size()));
            EXPECT_TRUE(o == 1 || o == c.expected) << c.what << " cut to " << n;
        }
    }
}

}  // namespace
