// The batch's progress: done / total, the photo last finished, the time left and the failures
// with their reasons. Not modal: the window stays usable while the batch runs.
#pragma once

#include <QDialog>

#include "loading/batch.h"

class QDialogButtonBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace lumivane {

class BatchRun;

class BatchProgressDialog : public QDialog {
    Q_OBJECT

  public:
    BatchProgressDialog(BatchRun* run, QWidget* parent = nullptr);

    QProgressBar* bar;
    QLabel* countLabel;  // "3 von 20 Fotos"
    QLabel* photoLabel;
    QLabel* timeLabel;
    QListWidget* failureList;  // "name: Grund"
    QLabel* summaryLabel;      // at the end: written, skipped, failed
    QPushButton* button;       // "Abbrechen" while running, then "Schließen"

  protected:
    // Closing the dialog while the batch runs cancels it.
    void reject() override;

  private:
    void Show(const BatchResult& result);
    void Finish(BatchEnd end);

    BatchRun* run_;
    bool ended_ = false;
};

// "etwa 2 min 10 s", "etwa 40 s"; "wird geschätzt…" for a negative number.
QString TimeLeftText(double seconds);

}  // namespace lumivane
