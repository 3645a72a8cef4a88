// Loading a 24-megapixel (6000 x 4000) picture: our BMP reader and libjpeg-turbo.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <string>

#include "platform/imagelib/imagelib.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// Writes the test picture (smooth gradients with some detail) once per format.
class PictureFiles {
  public:
    PictureFiles() {
        dir_ = std::filesystem::temp_directory_path() /
               ("lumivane-bench-load-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        QImage image(kWidth, kHeight, QImage::Format_RGB888);
        for (int y = 0; y < kHeight; ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < kWidth; ++x) {
                row[3 * x] = uchar(x * 255 / kWidth);
                row[3 * x + 1] = uchar(y * 255 / kHeight);
                row[3 * x + 2] = uchar((x * y) >> 7);
            }
        }
        bmp_ = (dir_ / "picture.bmp").string();
        jpeg_ = (dir_ / "picture.jpg").string();
        image.save(QString::fromStdString(bmp_), "bmp");
        image.save(QString::fromStdString(jpeg_), "jpg", 90);
    }
    ~PictureFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const std::string& bmp() const { return bmp_; }
    const std::string& jpeg() const { return jpeg_; }

  private:
    std::filesystem::path dir_;
    std::string bmp_, jpeg_;
};

const PictureFiles& Files() {
    static const PictureFiles files;
    return files;
}

void Load(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        dib d = OpenDib(path.c_str(), 0, nullptr);
        if (!d.poi) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(d.poi);
        deldib(d);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
}

void BM_LoadBmp24(benchmark::State& state) {
    Load(state, Files().bmp());
}
void BM_LoadJpeg(benchmark::State& state) {
    Load(state, Files().jpeg());
}

BENCHMARK(BM_LoadBmp24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
