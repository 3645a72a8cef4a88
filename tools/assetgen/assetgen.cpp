// Writes the project's generated pictures below a repository root:
//   assets/holz.jpg, assets/foto.jpg       start-up background and motif
//   app/resources/*.png, about.jpg         glyphs, globe, program icon, the dialog's picture
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "tools/assetgen/painting.h"

namespace {

bool Write(const QImage& img, const QString& path, int quality = -1) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, nullptr, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: lumivane-assetgen <repository root>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    const QString res = root.filePath("app/resources/");
    using namespace assetgen;
    bool ok =
        Write(PaintWoodFrame(800, 600, 70), root.filePath("assets/holz.jpg"), 90) &&
        Write(PaintLandscape(640, 480), root.filePath("assets/foto.jpg"), 90) &&
        Write(PaintOpenGlyph(), res + "open.png") && Write(PaintSaveGlyph(), res + "save.png") &&
        Write(PaintTurnGlyph(), res + "turn.png") && Write(PaintGlobe(true), res + "globe.png") &&
        Write(PaintGlobe(false), res + "globe-disabled.png") &&
        Write(PaintAboutPicture(306, 322), res + "about.jpg", 90);
    for (int size : {16, 24, 32, 48, 64})
        ok = ok && Write(PaintIcon(size), res + QString("icon-%1.png").arg(size));
    return ok ? 0 : 1;
}
