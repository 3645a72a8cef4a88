// Datei → "Stapelverarbeitung…": which photos, where the results go, in which format.
#pragma once

#include <QDialog>

#include "app/Interaction.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace lumivane {

class BatchDialog : public QDialog {
    Q_OBJECT

  public:
    // `photoFilter`: the open dialog's filter; `startFolder`: where the folder dialogs open.
    BatchDialog(const QString& photoFilter, const QString& startFolder, QWidget* parent = nullptr);

    // What the fields say.
    BatchChoice Chosen() const;

    QRadioButton* filesRadio;
    QLabel* filesLabel;
    QRadioButton* folderRadio;
    QLineEdit* folderEdit;
    QCheckBox* subfoldersCheck;
    QLineEdit* outputEdit;
    QComboBox* formatCombo;  // the extension is each entry's data
    QSpinBox* qualityEdit;
    QDialogButtonBox* buttons;

  private:
    void ChooseFiles();
    QString ChooseFolder(QLineEdit* edit);
    void Update();

    QString photoFilter_;
    QString startFolder_;
    QStringList files_;
};

}  // namespace lumivane
