#include "app/BatchDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lumivane {

BatchDialog::BatchDialog(const QString& photoFilter, const QString& startFolder, QWidget* parent)
    : QDialog(parent), photoFilter_(photoFilter), startFolder_(startFolder) {
    setWindowTitle(QStringLiteral("Stapelverarbeitung"));

    auto* photos = new QGridLayout;
    filesRadio = new QRadioButton(QStringLiteral("Einzelne Fotos:"), this);
    filesLabel = new QLabel(QStringLiteral("keine gewählt"), this);
    auto* filesButton = new QPushButton(QStringLiteral("Auswählen…"), this);
    photos->addWidget(filesRadio, 0, 0);
    photos->addWidget(filesLabel, 0, 1);
    photos->addWidget(filesButton, 0, 2);
    folderRadio = new QRadioButton(QStringLiteral("Alle Fotos im Ordner:"), this);
    folderEdit = new QLineEdit(this);
    auto* folderButton = new QPushButton(QStringLiteral("Auswählen…"), this);
    photos->addWidget(folderRadio, 1, 0);
    photos->addWidget(folderEdit, 1, 1);
    photos->addWidget(folderButton, 1, 2);
    subfoldersCheck = new QCheckBox(QStringLiteral("mit Unterordnern"), this);
    photos->addWidget(subfoldersCheck, 2, 1);
    folderRadio->setChecked(true);

    auto* form = new QFormLayout;
    outputEdit = new QLineEdit(this);
    auto* outputButton = new QPushButton(QStringLiteral("Auswählen…"), this);
    auto* output = new QHBoxLayout;
    output->addWidget(outputEdit);
    output->addWidget(outputButton);
    form->addRow(QStringLiteral("Ausgabeordner:"), output);

    formatCombo = new QComboBox(this);
    for (const char* extension : {"jpg", "png", "tif", "webp"})
        if (const Encoder* encoder = FindEncoder(extension))
            formatCombo->addItem(QString::fromUtf8(encoder->name), QString::fromLatin1(extension));
    form->addRow(QStringLiteral("Format:"), formatCombo);
    qualityEdit = new QSpinBox(this);
    qualityEdit->setRange(1, 100);
    qualityEdit->setValue(kDefaultQuality);
    form->addRow(QStringLiteral("Qualität (JPEG, WebP):"), qualityEdit);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Starten"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Die Fotos werden mit der Gestaltung des Fensters gerahmt."), this));
    layout->addLayout(photos);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(filesButton, &QPushButton::clicked, this, &BatchDialog::ChooseFiles);
    connect(folderButton, &QPushButton::clicked, this, [this] {
        if (!ChooseFolder(folderEdit).isEmpty()) folderRadio->setChecked(true);
    });
    connect(outputButton, &QPushButton::clicked, this, [this] { ChooseFolder(outputEdit); });
    for (QLineEdit* edit : {folderEdit, outputEdit})
        connect(edit, &QLineEdit::textChanged, this, &BatchDialog::Update);
    connect(filesRadio, &QRadioButton::toggled, this, &BatchDialog::Update);
    connect(formatCombo, &QComboBox::currentIndexChanged, this, &BatchDialog::Update);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Update();
}

BatchChoice BatchDialog::Chosen() const {
    BatchChoice choice;
    if (filesRadio->isChecked()) {
        choice.files = files_;
    } else {
        choice.folder = folderEdit->text().trimmed();
        choice.subfolders = subfoldersCheck->isChecked();
    }
    choice.outputFolder = outputEdit->text().trimmed();
    choice.format = formatCombo->currentData().toString();
    choice.quality = qualityEdit->value();
    return choice;
}

void BatchDialog::ChooseFiles() {
    const QStringList chosen =
        QFileDialog::getOpenFileNames(this, QString(), startFolder_, photoFilter_);
    if (chosen.isEmpty()) return;
    files_ = chosen;
    startFolder_ = QFileInfo(chosen.front()).absolutePath();
    filesLabel->setText(chosen.size() == 1 ? QFileInfo(chosen.front()).fileName()
                                           : QStringLiteral("%1 Fotos").arg(chosen.size()));
    filesRadio->setChecked(true);
    Update();
}

QString BatchDialog::ChooseFolder(QLineEdit* edit) {
    const QString start = edit->text().isEmpty() ? startFolder_ : edit->text();
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), start);
    if (folder.isEmpty()) return folder;
    startFolder_ = folder;
    edit->setText(folder);
    return folder;
}

void BatchDialog::Update() {
    const Encoder* encoder = FindEncoder(formatCombo->currentData().toString().toStdString());
    qualityEdit->setEnabled(encoder && encoder->encodeAtQuality);
    subfoldersCheck->setEnabled(folderRadio->isChecked());
    const bool photosGiven =
        filesRadio->isChecked() ? !files_.isEmpty() : !folderEdit->text().trimmed().isEmpty();
    buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(photosGiven && !outputEdit->text().trimmed().isEmpty());
}

}  // namespace lumivane
