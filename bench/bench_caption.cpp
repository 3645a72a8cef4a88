// What a two-line caption adds to a render: the 1000-pixel scene (the window's render on every
// keystroke in the caption dialog) and the 24-megapixel one, beside the same renders without
// a caption. And one line drawn by Pango (our path) and by Qt's QPainter, for the choice of
// text library.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <string>

#include "bench/bench_pictures.h"
#include "loading/caption.h"
#include "loading/session.h"
#include "platform/text/text_raster.h"

namespace {

namespace fs = std::filesystem;
using namespace lumivane;

const char kLine1[] = "{Datei} · Canon EOS 40D · EF 24-105mm f/4L IS USM";
const char kLine2[] = "ƒ/8 · 1/250 s · ISO 200 · 17. Mai 2024 · Größe";

std::string TestPicture(int w, int h) {
    return bench::GradientPicture(
        bench::BenchFolder("caption") / (std::to_string(w) + "x" + std::to_string(h) + ".bmp"), w,
        h);
}

Caption TwoLines() {
    Caption c;
    c.lines[0] = {kLine1, "", 700};
    c.lines[1] = {kLine2, "", 300};
    return c;
}

// range(0): the motif's width (1000 or 6000); range(1): with the caption.
void BM_RenderWithCaption(benchmark::State& state) {
    const int w = int(state.range(0)), h = w * 2 / 3;
    const std::string motif = TestPicture(w, h);
    FramingSession session;
    session.OpenMotif(motif);
    session.OpenBackground(TestPicture(w * 4 / 3, w));
    const Caption caption = TwoLines();
    session.Render();
    for (auto _ : state) {
        session.Render();
        if (state.range(1)) session.DrawCaption(caption, motif);
        benchmark::DoNotOptimize(session.picture().Bits());
    }
    state.counters["outW"] = session.picture().Width();
    state.counters["outH"] = session.picture().Height();
}
BENCHMARK(BM_RenderWithCaption)
    ->ArgNames({"motif", "caption"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({6000, 0})
    ->Args({6000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The caption alone on the finished picture (range(0): the motif's width).
void BM_CaptionOnly(benchmark::State& state) {
    const int w = int(state.range(0)), h = w * 2 / 3;
    const std::string motif = TestPicture(w, h);
    FramingSession session;
    session.OpenMotif(motif);
    session.OpenBackground(TestPicture(w * 4 / 3, w));
    session.Render();
    const Caption caption = TwoLines();
    for (auto _ : state) session.DrawCaption(caption, motif);
}
BENCHMARK(BM_CaptionOnly)->Arg(1000)->Arg(6000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One 40-pixel line into an 8-bit mask through Pango and Cairo.
void BM_LinePango(benchmark::State& state) {
    const TextStyle style{"", 400, 40};
    for (auto _ : state) benchmark::DoNotOptimize(RasterText(kLine2, style).coverage.data());
}
BENCHMARK(BM_LinePango)->Unit(benchmark::kMicrosecond);

// The same line through QPainter onto a QImage (needs a QGuiApplication, offscreen here).
void BM_LineQt(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_caption";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    font.setHintingPreference(QFont::PreferNoHinting);
    const QString text = QString::fromUtf8(kLine2);
    QImage image(1400, 60, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(10, 45), text);
        painter.end();
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_LineQt)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
