// Everything that blocks for the user's answer: message boxes, the file and colour dialogs.
// The window asks through this interface only, so tests can answer from a script instead of
// waiting on a modal dialog.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "engine/print_format.h"
#include "loading/caption.h"
#include "platform/imagelib/codecs/encoder.h"

class QWidget;

namespace lumivane {

enum class MessageIcon { None, Information, Question, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// A file chosen in the save dialog and the filter that was selected while choosing it.
struct SaveChoice {
    QString path;
    QString filter;
};

// What the batch dialog ("Stapelverarbeitung") chose: photos file by file, or else a folder
// (with its subfolders or not); the folder the results go to, their format and quality.
struct BatchChoice {
    QStringList files;
    QString folder;
    bool subfolders = false;
    QString outputFolder;
    QString format = QStringLiteral("jpg");  // an extension the savers know
    int quality = kDefaultQuality;           // JPEG and WebP

    bool operator==(const BatchChoice&) const = default;
};

// What to do with results that exist already.
enum class ExistingAnswer { Overwrite, Skip, Cancel };

class Interaction {
  public:
    virtual ~Interaction() = default;

    // An empty caption leaves the platform's default title.
    virtual MessageAnswer Message(QWidget* owner, const QString& caption, const QString& text,
                                  MessageIcon icon, MessageButtons buttons) = 0;
    // The chosen file's full name, or nothing when the dialog is cancelled.
    virtual std::optional<QString> OpenFile(QWidget* owner, const QString& filter) = 0;
    virtual std::optional<SaveChoice> SaveFile(QWidget* owner, const QString& filter) = 0;
    // The colour dialog, opened with `initial` selected; nothing when cancelled.
    virtual std::optional<QColor> PickColor(QWidget* owner, const QColor& initial) = 0;
    // The print format dialog ("Druckformat"), opened with `current` (nothing: off); the
    // motif's size and turn let it show the result's pixel size. Nothing when cancelled, else
    // the format chosen, which is empty when the user switched it off.
    virtual std::optional<std::optional<PrintFormat>> AskPrintFormat(
        QWidget* owner, const std::optional<PrintFormat>& current, int motifWidth, int motifHeight,
        long double angle) = 0;
    // The batch dialog, listing photos by `photoFilter`; nothing when cancelled.
    virtual std::optional<BatchChoice> AskBatch(QWidget* owner, const QString& photoFilter) = 0;
    // Asked once per batch when `existing` of its `total` results are there already.
    virtual ExistingAnswer AskExisting(QWidget* owner, int existing, int total) = 0;
    // The caption dialog ("Beschriftung"), opened with `current` (nothing: off); `preview` shows
    // each good state of its fields on the picture. Nothing when cancelled, else the caption
    // chosen, which is empty when the user switched it off.
    virtual std::optional<std::optional<Caption>> AskCaption(
        QWidget* owner, const std::optional<Caption>& current,
        const std::function<void(const std::optional<Caption>&)>& preview) = 0;
};

// The real dialogs. The file dialogs open in the folder last chosen in either of them during
// this run; nothing is kept beyond it.
class QtInteraction final : public Interaction {
  public:
    MessageAnswer Message(QWidget* owner, const QString& caption, const QString& text,
                          MessageIcon icon, MessageButtons buttons) override;
    std::optional<QString> OpenFile(QWidget* owner, const QString& filter) override;
    std::optional<SaveChoice> SaveFile(QWidget* owner, const QString& filter) override;
    std::optional<QColor> PickColor(QWidget* owner, const QColor& initial) override;
    std::optional<std::optional<PrintFormat>> AskPrintFormat(
        QWidget* owner, const std::optional<PrintFormat>& current, int motifWidth, int motifHeight,
        long double angle) override;
    std::optional<BatchChoice> AskBatch(QWidget* owner, const QString& photoFilter) override;
    ExistingAnswer AskExisting(QWidget* owner, int existing, int total) override;
    std::optional<std::optional<Caption>> AskCaption(
        QWidget* owner, const std::optional<Caption>& current,
        const std::function<void(const std::optional<Caption>&)>& preview) override;

  private:
    QString lastFolder_;
};

}  // namespace lumivane
