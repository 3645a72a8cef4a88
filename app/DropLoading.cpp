#include "app/DropLoading.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace lumivane {

QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

namespace {

// Always a copy: a file manager that is answered "moved" deletes the original.
bool AcceptAsCopy(QDropEvent* event) {
    if (DroppedFile(event->mimeData()).isEmpty()) return false;
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
    } else if (event->possibleActions() & Qt::LinkAction) {
        event->setDropAction(Qt::LinkAction);
    } else {
        return false;
    }
    event->accept();
    return true;
}

}  // namespace

DropLoading::DropLoading(QWidget* preview, QWidget* backgroundButton, Open openMotif,
                         Open openBackground)
    : QObject(preview),
      backgroundButton_(backgroundButton),
      openMotif_(std::move(openMotif)),
      openBackground_(std::move(openBackground)) {
    for (QWidget* target : {preview, backgroundButton}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
}

bool DropLoading::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (!AcceptAsCopy(static_cast<QDropEvent*>(event))) event->ignore();
            return true;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!AcceptAsCopy(drop)) {
                drop->ignore();
                return true;
            }
            const bool background =
                watched == backgroundButton_ || drop->modifiers().testFlag(Qt::ShiftModifier);
            // Loaded once the drop is finished: a message box inside the drop would keep the
            // file manager waiting for its answer.
            QTimer::singleShot(0, this,
                               [open = background ? openBackground_ : openMotif_,
                                file = DroppedFile(drop->mimeData())] { open(file); });
            return true;
        }
        default:
            return false;
    }
}

}  // namespace lumivane
