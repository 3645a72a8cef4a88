#include "app/Interaction.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "app/BatchDialog.h"
#include "app/BusyCursor.h"
#include "app/CaptionDialog.h"
#include "app/PrintFormatDialog.h"

namespace lumivane {

MessageAnswer QtInteraction::Message(QWidget* owner, const QString& caption, const QString& text,
                                     MessageIcon icon, MessageButtons buttons) {
    const ArrowWhileAsking arrow;
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

std::optional<QString> QtInteraction::OpenFile(QWidget* owner, const QString& filter) {
    const ArrowWhileAsking arrow;
    const QString name = QFileDialog::getOpenFileName(owner, QString(), lastFolder_, filter);
    if (name.isEmpty()) return std::nullopt;
    lastFolder_ = QFileInfo(name).absolutePath();
    return name;
}

std::optional<SaveChoice> QtInteraction::SaveFile(QWidget* owner, const QString& filter) {
    const ArrowWhileAsking arrow;
    SaveChoice choice;
    // The file dialog's own overwrite question stays on: replacing a file should be confirmed.
    choice.path =
        QFileDialog::getSaveFileName(owner, QString(), lastFolder_, filter, &choice.filter);
    if (choice.path.isEmpty()) return std::nullopt;
    lastFolder_ = QFileInfo(choice.path).absolutePath();
    return choice;
}

std::optional<std::optional<PrintFormat>> QtInteraction::AskPrintFormat(
    QWidget* owner, const std::optional<PrintFormat>& current, int motifWidth, int motifHeight,
    long double angle) {
    const ArrowWhileAsking arrow;
    PrintFormatDialog dialog(current, motifWidth, motifHeight, angle, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
}

std::optional<BatchChoice> QtInteraction::AskBatch(QWidget* owner, const QString& photoFilter) {
    const ArrowWhileAsking arrow;
    BatchDialog dialog(photoFilter, lastFolder_, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const BatchChoice choice = dialog.Chosen();
    lastFolder_ = choice.outputFolder;
    return choice;
}

ExistingAnswer QtInteraction::AskExisting(QWidget* owner, int existing, int total) {
    const ArrowWhileAsking arrow;
    QMessageBox box(owner);
    box.setWindowTitle(QStringLiteral("Stapelverarbeitung"));
    box.setIcon(QMessageBox::Question);
    box.setText(existing == 1 ? QStringLiteral("Eines der %1 Ergebnisse gibt es schon im "
                                               "Ausgabeordner.")
                                    .arg(total)
                              : QStringLiteral("%1 der %2 Ergebnisse gibt es schon im "
                                               "Ausgabeordner.")
                                    .arg(existing)
                                    .arg(total));
    box.setInformativeText(QStringLiteral("Sollen sie überschrieben oder übersprungen werden?"));
    QPushButton* overwrite =
        box.addButton(QStringLiteral("Überschreiben"), QMessageBox::DestructiveRole);
    QPushButton* skip = box.addButton(QStringLiteral("Überspringen"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == overwrite) return ExistingAnswer::Overwrite;
    if (box.clickedButton() == skip) return ExistingAnswer::Skip;
    return ExistingAnswer::Cancel;
}

std::optional<std::optional<Caption>> QtInteraction::AskCaption(
    QWidget* owner, const std::optional<Caption>& current,
    const std::function<void(const std::optional<Caption>&)>& preview) {
    const ArrowWhileAsking arrow;
    CaptionDialog dialog(current, preview, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
}

std::optional<QColor> QtInteraction::PickColor(QWidget* owner, const QColor& initial) {
    const ArrowWhileAsking arrow;
    QColorDialog dialog(initial, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

}  // namespace lumivane
