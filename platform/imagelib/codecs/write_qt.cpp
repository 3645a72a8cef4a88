// PNG, TIFF and WebP through Qt's image writers. These need no QGuiApplication and keep no
// shared state, so several threads may write at once.
#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QImageWriter>

#include <cstring>

#include "platform/imagelib/codecs/writers.h"
#include "platform/imagelib/library_messages.h"

namespace lumivane {

namespace {

constexpr int kWebpMaxSide = 16383;
// zlib level 1 on Qt's 0-100 scale: about five times faster than the default level for a
// full-size photo, at some 15 % more bytes.
constexpr int kPngCompression = 12;

// A seekable device over the OutputFile, so that write errors keep their errno.
class OutputDevice : public QIODevice {
  public:
    explicit OutputDevice(OutputFile& out) : out_(out) { open(QIODevice::ReadWrite); }

    bool isSequential() const override { return false; }
    qint64 size() const override { return qint64(out_.Size()); }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        return qint64(out_.ReadAt(std::uint64_t(pos()), data, std::size_t(maxSize)));
    }
    qint64 writeData(const char* data, qint64 size) override {
        out_.Seek(std::uint64_t(pos()));
        out_.Write(data, std::size_t(size));
        return out_.Failed() ? -1 : size;
    }

  private:
    OutputFile& out_;
};

// The picture as a QImage without the fourth byte, which Qt would take for alpha (its RGB32
// promises 0xff there). This copy is the one copy these writers make; three bytes per pixel is
// also what the PNG, TIFF and WebP writers take without converting again.
QImage RgbCopy(const Bgrx32View& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    if (image.isNull()) return image;
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* p = picture.Row(y);
        std::uint8_t* q = image.scanLine(y);
        for (int x = 0; x < picture.width; ++x, p += 4, q += 3) {
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    }
    return image;
}

EncodeResult WriteWithQt(const Bgrx32View& picture, OutputFile& out, const char* format,
                         int quality, int compression) {
    const QtImageIoScope quiet;
    QImage image = RgbCopy(picture);
    if (image.isNull()) return EncodeResult::kFailed;
    if (picture.dpi > 0) {  // PNG's pHYs and TIFF's resolution; WebP's goes into EXIF
        const int perMetre = int((std::int64_t(picture.dpi) * 10000 * 2 + 254) / (2 * 254));
        image.setDotsPerMeterX(perMetre);
        image.setDotsPerMeterY(perMetre);
    }
    OutputDevice device(out);
    QImageWriter writer(&device, format);
    if (quality >= 0) writer.setQuality(quality);
    if (compression >= 0) writer.setCompression(compression);
    const bool written = writer.write(image);
    out.Seek(out.Size());
    return written && !out.Failed() ? EncodeResult::kOk : EncodeResult::kFailed;
}

}  // namespace

EncodeResult WritePng(const Bgrx32View& picture, OutputFile& out) {
    return WriteWithQt(picture, out, "png", -1, kPngCompression);
}

EncodeResult WriteTiff(const Bgrx32View& picture, OutputFile& out) {
    return WriteWithQt(picture, out, "tiff", -1, -1);
}

EncodeResult WriteWebp(const Bgrx32View& picture, OutputFile& out) {
    return WriteWebpAtQuality(picture, out, kDefaultQuality);
}

EncodeResult WriteWebpAtQuality(const Bgrx32View& picture, OutputFile& out, int quality) {
    if (picture.width > kWebpMaxSide || picture.height > kWebpMaxSide)
        return EncodeResult::kTooLarge;
    return WriteWithQt(picture, out, "webp", quality, -1);
}

}  // namespace lumivane
