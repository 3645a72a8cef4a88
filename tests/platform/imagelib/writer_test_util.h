// Pictures, a scratch folder and reading back, for the writer tests.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/imagelib/codecs/encoder.h"

namespace lumivane::test {

// A picture in memory with a row stride larger than needed and junk in the fourth byte, so
// writers that ignore the stride or copy the fourth byte show it.
struct Picture {
    int width = 0, height = 0;
    std::ptrdiff_t stride = 0;
    std::vector<std::uint8_t> bytes;

    Picture(int w, int h) : width(w), height(h), stride(std::ptrdiff_t(w) * 4 + 12) {
        bytes.assign(std::size_t(stride) * h, 0xA5);
    }
    std::uint8_t* At(int x, int y) { return bytes.data() + y * stride + 4 * x; }
    std::uint32_t Rgb(int x, int y) const {
        const std::uint8_t* p = bytes.data() + y * stride + 4 * x;
        return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
    void Set(int x, int y, std::uint32_t rgb, std::uint8_t fourth = 0) {
        std::uint8_t* p = At(x, y);
        p[0] = std::uint8_t(rgb);
        p[1] = std::uint8_t(rgb >> 8);
        p[2] = std::uint8_t(rgb >> 16);
        p[3] = fourth;
    }
    Bgrx32View View() const { return {width, height, stride, bytes.data()}; }
};

// Every pixel a random colour (no runs, no repeated colours to speak of).
inline Picture NoisePicture(int w, int h, unsigned seed = 1) {
    Picture p(w, h);
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.Set(x, y, random() & 0xFFFFFF, std::uint8_t(random()));
    return p;
}

// Smooth colour ramps with soft shapes: like a photo, many colours, good for lossy formats.
inline Picture PhotoPicture(int w, int h) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = x - w / 2, dy = y - h / 3;
            const int r = 255 * x / std::max(1, w - 1);
            const int g = (dx * dx + dy * dy) * 255 / std::max(1, w * w / 4 + h * h / 9 + 1);
            const int b = 255 * y / std::max(1, h - 1);
            p.Set(x, y,
                  std::uint32_t(r) << 16 | std::uint32_t(std::min(g, 255)) << 8 | std::uint32_t(b));
        }
    return p;
}

// `colors` distinct colours in runs of varying length and single pixels, mixed.
inline Picture FewColorsPicture(int w, int h, int colors, unsigned seed = 2) {
    Picture p(w, h);
    std::mt19937 random(seed);
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < colors; ++i) palette.push_back((random() & 0xFFFF00) | std::uint32_t(i));
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Every colour appears (in order), then runs and noise.
            const std::uint32_t c = n < colors ? palette[std::size_t(n)]
                                    : (x / 7 + y) % 3 == 0
                                        ? palette[random() % colors]
                                        : palette[std::size_t((x / 5 + y / 3) % colors)];
            p.Set(x, y, c, std::uint8_t(random()));
            ++n;
        }
    return p;
}

// A folder of its own for one test, removed afterwards.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string templ =
            (std::filesystem::temp_directory_path() / "lumivane-writer-XXXXXX").string();
        path_ = ::mkdtemp(templ.data());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }
    // Names in the folder other than `except`.
    std::vector<std::string> OtherEntries(const std::string& except = "") const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            if (e.path().filename() != except) names.push_back(e.path().filename().string());
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Reads a file with Qt's readers, as 0xRRGGBB per pixel; an empty picture when unreadable.
inline QImage ReadWithQt(const std::string& path, const char* format = nullptr) {
    QImageReader reader(QString::fromStdString(path), format);
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

// Largest difference of one channel between the picture and a decoded image.
inline int MaxChannelDifference(const Picture& expected, const QImage& actual,
                                double* mean = nullptr) {
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const std::uint32_t a = expected.Rgb(x, y), b = actual.pixel(x, y) & 0xFFFFFF;
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF));
                worst = std::max(worst, d);
                sum += d;
            }
        }
    if (mean) *mean = sum / (3.0 * expected.width * expected.height);
    return worst;
}

}  // namespace lumivane::test
