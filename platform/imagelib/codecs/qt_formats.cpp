// PNG, GIF, TIFF and WebP through Qt's image readers.
//
// Palette images stay palette images: 1-bit images keep 1 bit, every other palette image
// (16 colours or fewer included) becomes 8 bits with the file's colours. Greyscale becomes an
// 8-bit grey ramp, everything else 24 bits. Transparency is flattened onto white, since the
// image record has no alpha; when asked, the coverage is kept beside it as an 8-bit image.
// Works without a QGuiApplication.
#include <algorithm>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/embedded_facts.h"
#include "platform/imagelib/library_messages.h"

namespace lumivane {
namespace {

void LimitQtAllocations() {
    static std::once_flag once;
    // Qt decodes into 4 bytes per pixel, so this is our pixel limit expressed in its terms.
    std::call_once(once,
                   [] { QImageReader::setAllocationLimit(int((kMaxImagePixels * 4) >> 20)); });
}

// c over white with coverage a.
std::uint8_t OverWhite(unsigned c, unsigned a) {
    return std::uint8_t((c * a + 255 * (255 - a) + 127) / 255);
}

std::vector<PaletteColor> FlattenedColorTable(const QImage& image) {
    std::vector<PaletteColor> colors;
    for (QRgb c : image.colorTable()) {
        const unsigned a = unsigned(qAlpha(c));
        colors.push_back({OverWhite(qRed(c), a), OverWhite(qGreen(c), a), OverWhite(qBlue(c), a)});
    }
    return colors;
}

// Copies Qt's top-down rows (rowBytes each) into the bottom-up record.
void CopyRows(const QImage& from, const dib& to, std::size_t rowBytes) {
    for (int y = 0; y < from.height(); ++y) {
        const uchar* src = from.constScanLine(y);
        std::copy(src, src + rowBytes, PictureRowPtr(to, y));
    }
}

// The coverage of a palette picture, looked up through its colour table; nothing when every
// colour is opaque, so an opaque picture costs no pass.
OwnedDib PaletteCoverage(const QImage& image) {
    const QList<QRgb> table = image.colorTable();
    if (std::all_of(table.begin(), table.end(), [](QRgb c) { return qAlpha(c) == 255; })) return {};
    const int w = image.width(), h = image.height();
    OwnedDib alpha(Allocated(NewGreyDib(w, h)));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* dst = PictureRowPtr(alpha.get(), y);
        for (int x = 0; x < w; ++x) {
            const int i = image.pixelIndex(x, y);
            dst[x] = i < table.size() ? std::uint8_t(qAlpha(table[i])) : 255;
        }
    }
    return alpha;
}

dib FromPalette(const QImage& image, int bits, OwnedDib* alpha) {
    const std::vector<PaletteColor> colors = FlattenedColorTable(image);
    dib out = NewPaletteDib(image.width(), image.height(), bits, colors.data(), int(colors.size()));
    if (out.poi) CopyRows(image, out, (std::size_t(image.width()) * bits + 7) / 8);
    if (out.poi && alpha) *alpha = PaletteCoverage(image);
    return out;
}

// `alpha`, when given, receives the coverage if the picture has any transparency.
dib FromQImage(QImage image, OwnedDib* alpha) {
    const int w = image.width(), h = image.height();
    switch (image.format()) {
        case QImage::Format_Mono:
            return FromPalette(image, 1, alpha);
        case QImage::Format_MonoLSB:
            return FromPalette(image.convertToFormat(QImage::Format_Mono), 1, alpha);
        case QImage::Format_Indexed8:
            return FromPalette(image, 8, alpha);
        case QImage::Format_Grayscale8:
        case QImage::Format_Grayscale16: {
            if (image.format() != QImage::Format_Grayscale8)
                image = image.convertToFormat(QImage::Format_Grayscale8);
            dib out = NewGreyDib(w, h);
            if (out.poi) CopyRows(image, out, std::size_t(w));
            return out;
        }
        default:
            break;
    }
    dib out = newdib(w, h, 24, nullptr, 0);
    if (!out.poi) return out;
    if (!image.hasAlphaChannel()) {
        image = image.convertToFormat(QImage::Format_BGR888);
        if (image.isNull()) {
            deldib(out);
            return dib{};
        }
        CopyRows(image, out, std::size_t(w) * 3);
        return out;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    OwnedDib coverage(alpha ? NewGreyDib(w, h) : dib{});
    if (image.isNull() || (alpha && !coverage)) {
        deldib(out);
        return dib{};
    }
    bool opaque = true;
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* dst = PictureRowPtr(out, y);
        std::uint8_t* cover = coverage ? PictureRowPtr(coverage.get(), y) : nullptr;
        for (int x = 0; x < w; ++x, dst += 3) {
            const unsigned a = unsigned(qAlpha(src[x]));
            dst[0] = OverWhite(qBlue(src[x]), a);
            dst[1] = OverWhite(qGreen(src[x]), a);
            dst[2] = OverWhite(qRed(src[x]), a);
            if (cover) cover[x] = std::uint8_t(a);
            opaque = opaque && a == 255;
        }
    }
    if (alpha && !opaque) *alpha = std::move(coverage);
    return out;
}

// What a GIF declares before its first frame's pixels: screen, colour tables, frame size.
struct GifLayout {
    int screenWidth = 0, screenHeight = 0;
    Bytes globalTable, localTable;
    bool haveFrame = false;
    int frameLeft = 0, frameTop = 0, frameWidth = 0, frameHeight = 0;
    bool failed = false;
};

GifLayout ReadGifLayout(Bytes file) {
    GifLayout gif;
    ByteReader r(file, 6);
    gif.screenWidth = r.u16le();
    gif.screenHeight = r.u16le();
    const unsigned flags = r.u8();
    r.skip(2);
    if (flags & 0x80) gif.globalTable = r.take(3u << ((flags & 7) + 1));
    while (!r.failed() && r.remaining() > 0) {
        const unsigned block = r.u8();
        if (block == 0x21) {  // extension: label, then sub-blocks up to an empty one
            r.skip(1);
            for (unsigned n = r.u8(); n != 0 && !r.failed(); n = r.u8()) r.skip(n);
        } else if (block == 0x2C) {  // image descriptor
            gif.frameLeft = r.u16le();
            gif.frameTop = r.u16le();
            gif.frameWidth = r.u16le();
            gif.frameHeight = r.u16le();
            const unsigned local = r.u8();
            if (local & 0x80) gif.localTable = r.take(3u << ((local & 7) + 1));
            gif.haveFrame = true;
            break;
        } else {
            break;
        }
    }
    gif.failed = r.failed();
    return gif;
}

// GIF's colour table as the file stores it: the first image's local table, else the global one.
std::vector<PaletteColor> GifColorTable(Bytes file) {
    const GifLayout gif = ReadGifLayout(file);
    const Bytes table = gif.localTable.empty() ? gif.globalTable : gif.localTable;
    std::vector<PaletteColor> colors;
    if (gif.failed) return colors;
    for (std::size_t i = 0; i + 2 < table.size(); i += 3)
        colors.push_back({table[i], table[i + 1], table[i + 2]});
    return colors;
}

// Qt hands GIF frames over as 32-bit pixels; this puts them back on the file's palette
// (transparent pixels, flattened to white, get an entry of their own if there is room).
// Falls back to 24 bits when the colours do not fit.
dib PaletteFromFlattened(const dib& rgb, std::vector<PaletteColor> colors) {
    if (colors.empty() || colors.size() > 256) return rgb;
    const int w = rgb.pmi->bmiHeader.biWidth, h = rgb.pmi->bmiHeader.biHeight;
    dib out = newdib(w, h, 8, nullptr, 0);
    if (!out.poi) return rgb;
    auto key = [](const std::uint8_t* p) {
        return std::uint32_t(p[0]) | (p[1] << 8) | (p[2] << 16);
    };
    std::unordered_map<std::uint32_t, std::uint8_t> index;
    for (std::size_t i = colors.size(); i-- > 0;) {
        const std::uint8_t bgr[3] = {colors[i].blue, colors[i].green, colors[i].red};
        index[key(bgr)] = std::uint8_t(i);  // the first of equal entries wins
    }
    for (int y = 0; y < h; ++y) {
        const auto* src = static_cast<const std::uint8_t*>(rgb.poi) + std::ptrdiff_t(y) * rgb.bytew;
        auto* dst = static_cast<std::uint8_t*>(out.poi) + std::ptrdiff_t(y) * out.bytew;
        for (int x = 0; x < w; ++x, src += 3) {
            auto found = index.find(key(src));
            if (found == index.end()) {
                if (colors.size() == 256) {
                    deldib(out);
                    return rgb;
                }
                found = index.emplace(key(src), std::uint8_t(colors.size())).first;
                colors.push_back({src[2], src[1], src[0]});
            }
            dst[x] = found->second;
        }
    }
    dib result = NewPaletteDib(w, h, 8, colors.data(), int(colors.size()));
    if (!result.poi) {
        deldib(out);
        return rgb;
    }
    std::copy_n(static_cast<const std::uint8_t*>(out.poi), std::size_t(out.bytew) * h,
                static_cast<std::uint8_t*>(result.poi));
    deldib(out);
    deldib(rgb);
    return result;
}

// The most pixels one byte of each format can produce: deflate expands at most 1032-fold and a
// pixel takes at least one bit; an LZW code has at least 3 bits and stands for at most 4096
// pixels; TIFF's fax codings spend about a bit on a blank row; lossless WebP codes a plain area
// in almost nothing, so it gets a generous bound of our own.
constexpr std::int64_t kPngPixelsPerByte = 1032 * 8;
constexpr std::int64_t kGifPixelsPerByte = 4096 * 8 / 3;
constexpr std::int64_t kTiffPixelsPerByte = 32768;
constexpr std::int64_t kWebpPixelsPerByte = 1024;

ReadResult DecodeWithQt(Bytes file, const ReadOptions& options, const char* format,
                        std::int64_t pixelsPerByte) {
    const QtImageIoScope quiet;
    LimitQtAllocations();
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return Refused(ReadFailure::OutOfMemory);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    // Orientation and colour profile are applied by the loading call, from our own reading of
    // the file, so Qt must hand over the pixels as stored.
    reader.setAutoTransform(false);
    // Refuse before Qt allocates anything when the header already declares too much.
    const QSize declared = reader.size();
    if (declared.isValid() &&
        (!ImageSizeAllowed(declared.width(), declared.height()) ||
         !FileCanHold(declared.width(), declared.height(), file.size(), pixelsPerByte)))
        return Refused(ReadFailure::TooLarge);
    // Some of Qt's readers leave pixels unwritten (16-bit PNG with a transparent colour key,
    // damaged GIF frames). Handing them a cleared image of the right size and format, which
    // they decode into, makes such pixels transparent instead of leftover heap contents.
    QImage image;
    if (declared.isValid() && reader.imageFormat() != QImage::Format_Invalid) {
        image = QImage(declared, reader.imageFormat());
        if (image.isNull()) return Refused(ReadFailure::OutOfMemory);
        image.fill(0);
    }
    if (!reader.read(&image) || image.isNull()) return Refused(ReadFailure::Damaged);
    if (!ImageSizeAllowed(image.width(), image.height()) ||
        !FileCanHold(image.width(), image.height(), file.size(), pixelsPerByte))
        return Refused(ReadFailure::TooLarge);
    OwnedDib alpha;
    ReadResult result = Decoded(FromQImage(std::move(image), options.keepAlpha ? &alpha : nullptr),
                                ReadFailure::OutOfMemory);
    if (result.image) result.alpha = std::move(alpha);
    return result;
}

bool StartsWith(Bytes file, std::string_view magic, std::size_t at = 0) {
    return file.size() >= at + magic.size() &&
           std::equal(magic.begin(), magic.end(), file.begin() + at,
                      [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

bool MatchesPng(Bytes file) {
    return StartsWith(file, "\x89PNG\r\n\x1a\n");
}
bool MatchesGif(Bytes file) {
    return StartsWith(file, "GIF87a") || StartsWith(file, "GIF89a");
}
bool MatchesTiff(Bytes file) {
    using namespace std::string_view_literals;
    return StartsWith(file, "II*\0"sv) || StartsWith(file, "MM\0*"sv) ||
           StartsWith(file, "II+\0"sv) || StartsWith(file, "MM\0+"sv);
}
bool MatchesWebp(Bytes file) {
    return StartsWith(file, "RIFF") && StartsWith(file, "WEBP", 8);
}

// The reader's answer with the facts the container carries, when there is an image.
ReadResult WithFacts(ReadResult result, PhotoFacts (*facts)(Bytes), Bytes file) {
    if (result.image) result.facts = facts(file);
    return result;
}

// libpng allocates what some ancillary chunks declare before it reads them: an eXIf chunk's
// length, an iCCP profile's size. So libpng gets the PNG without iCCP chunks (we read the
// profile ourselves) and cut off before an ancillary chunk that runs past the end of the file
// (its data is not there anyway). Nothing to change: an empty result.
std::vector<std::uint8_t> SafeForLibpng(Bytes file) {
    std::vector<std::uint8_t> kept;
    std::size_t copied = 0;  // the file up to here is dealt with
    bool changed = false;
    ByteReader r(file, 8);
    while (r.remaining() >= 12) {
        const std::size_t start = r.pos();
        const std::uint32_t length = r.u32be();
        const Bytes type = r.rest().first(4);
        const bool ancillary = (type[0] & 0x20) != 0;
        const bool profile = StartsWith(type, "iCCP");
        r.skip(std::size_t(length) + 8);      // type, data, CRC
        if (r.failed() && !ancillary) break;  // a cut-off critical chunk is libpng's to judge
        if (r.failed() || profile) {
            kept.insert(kept.end(), file.begin() + std::ptrdiff_t(copied),
                        file.begin() + std::ptrdiff_t(start));
            copied = r.failed() ? file.size() : r.pos();
            changed = true;
            if (r.failed()) break;
        }
    }
    if (!changed) return {};
    kept.insert(kept.end(), file.begin() + std::ptrdiff_t(copied), file.end());
    return kept;
}

ReadResult DecodePng(Bytes file, const ReadOptions& options) {
    const std::vector<std::uint8_t> safe = SafeForLibpng(file);
    const Bytes forQt = safe.empty() ? file : Bytes(safe);
    return WithFacts(DecodeWithQt(forQt, options, "png", kPngPixelsPerByte), PngFacts, file);
}
// Qt's GIF reader allocates the picture before it reports a size: the logical screen, widened
// to take in the first frame. So that size is checked here first.
bool GifSizeAcceptable(Bytes file) {
    const GifLayout gif = ReadGifLayout(file);
    int width = gif.screenWidth, height = gif.screenHeight;
    if (gif.haveFrame) {
        width = std::max(width, gif.frameLeft + gif.frameWidth);
        height = std::max(height, gif.frameTop + gif.frameHeight);
    }
    return width == 0 || height == 0 ||  // nothing to allocate; Qt refuses such a file
           (ImageSizeAllowed(width, height) &&
            FileCanHold(width, height, file.size(), kGifPixelsPerByte));
}

ReadResult DecodeGif(Bytes file, const ReadOptions& options) {
    if (!GifSizeAcceptable(file)) return Refused(ReadFailure::TooLarge);
    ReadResult result = DecodeWithQt(file, options, "gif", kGifPixelsPerByte);
    if (!result.image || result.image.get().pmi->bmiHeader.biBitCount != 24) return result;
    // PaletteFromFlattened takes the 24-bit record over: it frees it or hands it back.
    result.image.reset(PaletteFromFlattened(result.image.release(), GifColorTable(file)));
    return result;
}
ReadResult DecodeTiff(Bytes file, const ReadOptions& options) {
    return WithFacts(DecodeWithQt(file, options, "tiff", kTiffPixelsPerByte), TiffFacts, file);
}
ReadResult DecodeWebp(Bytes file, const ReadOptions& options) {
    return WithFacts(DecodeWithQt(file, options, "webp", kWebpPixelsPerByte), WebpFacts, file);
}

}  // namespace

extern const Decoder kPngDecoder{"PNG-Bild", "*.png", MatchesPng, DecodePng};
extern const Decoder kGifDecoder{"GIF-Bild", "*.gif", MatchesGif, DecodeGif};
extern const Decoder kTiffDecoder{"TIFF-Bild", "*.tif *.tiff", MatchesTiff, DecodeTiff};
extern const Decoder kWebpDecoder{"WebP-Bild", "*.webp", MatchesWebp, DecodeWebp};

}  // namespace lumivane
