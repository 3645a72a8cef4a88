// Writes small motifs and backgrounds in the formats whose readers lumivane-render runs on
// several threads: JPEG (libjpeg), PNG, TIFF and WebP (Qt's plugins), HEIC (libheif).
// Usage: make_render_fixtures FOLDER. Leaves out HEIC where libheif has no HEVC encoder.
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/platform/imagelib/heif_files.h"

namespace {

imagelib_test::Rgba Pattern(int x, int y, int shift) {
    return {std::uint8_t(x * 3 + shift), std::uint8_t(y * 2), std::uint8_t((x ^ y) + shift), 255};
}

QImage Picture(int width, int height, int shift) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const imagelib_test::Rgba c = Pattern(x, y, shift);
            image.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    return image;
}

bool WriteHeic(const std::filesystem::path& path, int width, int height, int shift) {
    if (!imagelib_test::CanEncodeHeif(heif_compression_HEVC)) return true;
    imagelib_test::HeifRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.pixel = [shift](int x, int y) { return Pattern(x, y, shift); };
    const std::vector<std::uint8_t> bytes = imagelib_test::MakeHeif(recipe);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return !bytes.empty() && bool(out);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_render_fixtures FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    // motif-png.png, background-jpg.jpg, ...: distinct names, so a folder of results keeps all.
    auto name = [&](const char* role, const std::string& format) {
        return folder / (std::string(role) + "-" + format + "." + format);
    };
    const QImage motif = Picture(240, 180, 0);
    const QImage background = Picture(320, 240, 90);
    bool ok = true;
    for (const std::string format : {"jpg", "png", "tiff", "webp"})
        ok = motif.save(QString::fromStdString(name("motif", format).string())) && ok;
    for (const std::string format : {"jpg", "png"})
        ok = background.save(QString::fromStdString(name("background", format).string())) && ok;
    ok = WriteHeic(name("motif", "heic"), 240, 180, 0) && ok;
    ok = WriteHeic(name("background", "heic"), 320, 240, 90) && ok;
    if (!ok) std::fprintf(stderr, "make_render_fixtures: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
