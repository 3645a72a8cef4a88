#include "app/BatchProgressDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/BatchRun.h"

namespace lumivane {

QString TimeLeftText(double seconds) {
    if (seconds < 0) return QStringLiteral("wird geschätzt…");
    const long long s = std::llround(seconds);
    if (s < 60) return QStringLiteral("etwa %1 s").arg(s);
    if (s < 3600) return QStringLiteral("etwa %1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("etwa %1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
}

BatchProgressDialog::BatchProgressDialog(BatchRun* run, QWidget* parent)
    : QDialog(parent), run_(run) {
    setWindowTitle(QStringLiteral("Stapelverarbeitung"));
    bar = new QProgressBar(this);
    bar->setRange(0, run->Total());
    bar->setValue(0);
    countLabel = new QLabel(QStringLiteral("0 von %1 Fotos").arg(run->Total()), this);
    photoLabel = new QLabel(QStringLiteral("Foto: –"), this);
    timeLabel = new QLabel(QStringLiteral("Restzeit: ") + TimeLeftText(-1), this);
    failureList = new QListWidget(this);
    summaryLabel = new QLabel(this);
    summaryLabel->setWordWrap(true);
    summaryLabel->hide();
    auto* buttons = new QDialogButtonBox(this);
    button = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countLabel);
    layout->addWidget(bar);
    layout->addWidget(photoLabel);
    layout->addWidget(timeLabel);
    layout->addWidget(new QLabel(QStringLiteral("Fehler und Hinweise:"), this));
    layout->addWidget(failureList);
    layout->addWidget(summaryLabel);
    layout->addWidget(buttons);
    resize(460, 320);

    connect(button, &QPushButton::clicked, this, &BatchProgressDialog::reject);
    connect(run, &BatchRun::PhotoDone, this, &BatchProgressDialog::Show);
    connect(run, &BatchRun::Ended, this, &BatchProgressDialog::Finish);
    connect(run, &BatchRun::Message, this, [this](const QString& name, const QString& message) {
        failureList->addItem(
            name.isEmpty() ? message : QFileInfo(name).fileName() + QStringLiteral(": ") + message);
    });
}

void BatchProgressDialog::reject() {
    if (ended_) return QDialog::reject();
    run_->Cancel();
    button->setEnabled(false);
    timeLabel->setText(QStringLiteral("Wird abgebrochen, sobald die Fotos in Arbeit fertig sind…"));
}

void BatchProgressDialog::Show(const BatchResult& result) {
    bar->setValue(run_->Done());
    countLabel->setText(QStringLiteral("%1 von %2 Fotos").arg(run_->Done()).arg(run_->Total()));
    photoLabel->setText(QStringLiteral("Foto: ") +
                        QFileInfo(QString::fromStdString(result.file)).fileName());
    if (!run_->Cancelling())
        timeLabel->setText(QStringLiteral("Restzeit: ") + TimeLeftText(run_->SecondsLeft()));
    const QString name = QFileInfo(QString::fromStdString(result.file)).fileName();
    if (result.status == BatchStatus::Failed)
        failureList->addItem(name + QStringLiteral(": ") + QString::fromStdString(result.reason));
    for (const std::string& warning : result.warnings)
        failureList->addItem(name + QStringLiteral(": ") + QString::fromStdString(warning));
}

void BatchProgressDialog::Finish(BatchEnd end) {
    ended_ = true;
    QString text;
    switch (end) {
        case BatchEnd::AllWritten:
            text = QStringLiteral("Fertig.");
            break;
        case BatchEnd::SomeFailed:
            text = QStringLiteral("Fertig, mit Fehlern.");
            break;
        case BatchEnd::Stopped:
            text = QStringLiteral("Angehalten.");
            break;
        case BatchEnd::Cancelled:
            text = QStringLiteral("Abgebrochen.");
            break;
    }
    text += QStringLiteral(" Geschrieben: %1, übersprungen: %2, fehlgeschlagen: %3.")
                .arg(run_->Written())
                .arg(run_->Skipped())
                .arg(run_->Failed());
    summaryLabel->setText(text);
    summaryLabel->show();
    photoLabel->setText(QStringLiteral("Foto: –"));
    timeLabel->setText(QStringLiteral("Restzeit: –"));
    button->setText(QStringLiteral("Schließen"));
    button->setEnabled(true);
}

}  // namespace lumivane
