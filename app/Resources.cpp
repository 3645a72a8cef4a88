#include "app/Resources.h"

#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>

// Q_INIT_RESOURCE must be used outside a namespace.
static void InitLumivaneResources() {
    Q_INIT_RESOURCE(lumivane);
}

namespace lumivane {

namespace {

// Debian keeps Wine's metric-compatible Tahoma and MS Sans Serif outside the font path; the
// window is designed around exactly these faces, so they are taken from there when present.
const char* const kWineFontFolder = "/usr/share/wine/fonts/";

void AddWineFont(const QString& family, std::initializer_list<const char*> files) {
    if (QFontDatabase::hasFamily(family)) return;  // the real one is installed
    for (const char* file : files) {
        const QString path = QString::fromLatin1(kWineFontFolder) + QString::fromLatin1(file);
        if (QFileInfo::exists(path)) QFontDatabase::addApplicationFont(path);
    }
}

// Elsewhere take the closest metric-alike so that the captions fit their designed places.
void SubstituteDesignFonts() {
    AddWineFont(QStringLiteral("Tahoma"), {"tahoma.ttf", "tahomabd.ttf"});
    AddWineFont(QStringLiteral("MS Sans Serif"), {"ms_sans_serif.ttf"});
    const QStringList sans = {"Liberation Sans", "Arial", "Nimbus Sans", "DejaVu Sans Condensed"};
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), sans);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), QStringList{"Tahoma"} + sans);
    QFont::insertSubstitutions(
        QStringLiteral("Arial Narrow"),
        {"Liberation Sans Narrow", "Nimbus Sans Narrow", "DejaVu Sans Condensed"});
}

}  // namespace

void InitResources() {
    static const bool done = (InitLumivaneResources(), SubstituteDesignFonts(), true);
    (void)done;
}

QPixmap Glyph(const QString& name) {
    InitResources();
    QImage image(QStringLiteral(":/lumivane/") + name);
    if (image.isNull()) return {};
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;  // white is the see-through colour
    }
    return QPixmap::fromImage(image);
}

QIcon ProgramIcon() {
    InitResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/lumivane/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace lumivane
