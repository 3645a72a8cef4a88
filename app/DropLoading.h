// Photos dragged onto the window from a file manager: dropped on the preview a photo becomes
// the motif; with Shift held, or dropped on the background button, it becomes the background.
// Loading goes through the same steps as the open commands, so the messages are the same.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QMimeData;
class QWidget;

namespace lumivane {

// The first local file among dragged data; empty when there is none.
QString DroppedFile(const QMimeData* data);

class DropLoading : public QObject {
  public:
    using Open = std::function<void(const QString&)>;

    // preview and backgroundButton start accepting drops; both must outlive this object,
    // which the preview owns.
    DropLoading(QWidget* preview, QWidget* backgroundButton, Open openMotif, Open openBackground);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* backgroundButton_;
    Open openMotif_;
    Open openBackground_;
};

}  // namespace lumivane
