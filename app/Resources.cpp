#include "app/Resources.h"

#include <QBitmap>

// Q_INIT_RESOURCE must be used outside a namespace.
static void InitLumivaneResources() {
    Q_INIT_RESOURCE(lumivane);
}

namespace lumivane {

void InitResources() {
    static const bool done = (InitLumivaneResources(), true);
    (void)done;
}

QPixmap Glyph(const QString& name) {
    InitResources();
    const QImage image(QStringLiteral(":/lumivane/") + name);
    if (image.isNull()) return {};
    QPixmap glyph = QPixmap::fromImage(image);
    glyph.setMask(
        QBitmap::fromImage(image.createMaskFromColor(qRgb(255, 255, 255), Qt::MaskOutColor)));
    return glyph;
}

QIcon ProgramIcon() {
    InitResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/lumivane/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace lumivane
