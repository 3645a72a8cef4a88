// Frames with a window: finding the window of a 6000 x 4000 frame, and the overlay render of a
// 24-megapixel photo against the plain render of the same pair.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/opening.h"
#include "loading/save_picture.h"
#include "loading/session.h"
#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/stored_rows.h"

namespace {

// An oval window with a soft edge in an opaque frame, a few opaque specks in it.
dib OvalCoverage(int w, int h) {
    dib d = newdib(w, h, 8, nullptr, 0);
    for (int y = 0; y < h; ++y) {
        BYTE* row = lumivane::StoredRow(d, h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w * 2 - 1, v = (y + 0.5) / h * 2 - 1;
            const double r = (u * u + v * v) / 0.49;  // window: 70 % of each side
            row[x] = r < 0.97 ? 0 : r > 1.03 ? 255 : BYTE((r - 0.97) / 0.06 * 255);
            if (x % 500 == 7 && y % 300 == 11) row[x] = 255;
        }
    }
    return d;
}

void BM_FindOpening(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    dib coverage = OvalCoverage(w, h);
    for (auto _ : state) benchmark::DoNotOptimize(lumivane::FindOpening(coverage));
    state.SetItemsProcessed(std::int64_t(state.iterations()) * w * h);
    deldib(coverage);
}
BENCHMARK(BM_FindOpening)->Args({6000, 4000})->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond);

namespace fs = std::filesystem;

// A 6000 x 4000 oval frame in a PNG and a 24-megapixel photo, written once and reused.
fs::path Written(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / "lumivane-bench-overlay";
    fs::create_directories(dir);
    const fs::path path = dir / name;
    if (fs::exists(path)) return path;
    if (name == "frame.png") {
        QImage f(6000, 4000, QImage::Format_ARGB32);
        for (int y = 0; y < 4000; ++y) {
            auto* row = reinterpret_cast<QRgb*>(f.scanLine(y));
            for (int x = 0; x < 6000; ++x) {
                const double u = (x + 0.5) / 3000 - 1, v = (y + 0.5) / 2000 - 1;
                const double edge = (std::sqrt(u * u + v * v) / 0.7 - 1) * 400;
                const int a = int(std::fmin(255, std::fmax(0, 127.5 + edge * 32)));
                row[x] = qRgba(120 + x % 100, 80 + y % 80, 40, a);
            }
        }
        f.save(QString::fromStdString(path.string()), "PNG", 100);
    } else {
        lumivane::Surface s;
        s.SetSize(6000, 4000);
        for (int y = 0; y < 4000; ++y)
            for (int x = 0; x < 6000; ++x) {
                BYTE* p = s.ScanLine(y) + 4 * x;
                p[0] = BYTE(x * 255 / 6000), p[1] = BYTE(y * 255 / 4000), p[2] = BYTE(x ^ y);
            }
        lumivane::SavePicture(s, path.string());
    }
    return path;
}

// The same photo and frame rendered plainly (fitted around the photo) and with the frame laid
// over it, as the window renders on every change.
void BM_Render24MegapixelPhoto(benchmark::State& state) {
    lumivane::FramingSession session;
    session.OpenMotif(Written("photo.bmp").string());
    session.OpenBackground(Written("frame.png").string());
    session.SetOverlay(state.range(0) != 0);
    session.Render();  // the bitmap's first allocation is not timed
    for (auto _ : state) {
        session.Render();
        benchmark::DoNotOptimize(session.picture().Bits());
    }
    state.counters["outW"] = session.picture().Width();
    state.counters["outH"] = session.picture().Height();
}
BENCHMARK(BM_Render24MegapixelPhoto)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("overlay")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
