#include "app/CaptionDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "loading/caption_fields.h"

namespace lumivane {

namespace {

struct Choice {
    const char* label;
    int value;
};
const Choice kWeights[] = {{"dünn", 100},     {"leicht", 300}, {"normal", 400}, {"mittel", 500},
                           {"halbfett", 600}, {"fett", 700},   {"schwarz", 900}};
const Choice kPlaces[] = {{"unter dem Motiv", int(CaptionPlace::Below)},
                          {"über dem Motiv", int(CaptionPlace::Above)},
                          {"unten links", int(CaptionPlace::BottomLeft)},
                          {"unten rechts", int(CaptionPlace::BottomRight)},
                          {"oben links", int(CaptionPlace::TopLeft)},
                          {"oben rechts", int(CaptionPlace::TopRight)}};
const Choice kAligns[] = {{"links", int(CaptionAlign::Left)},
                          {"mittig", int(CaptionAlign::Centre)},
                          {"rechts", int(CaptionAlign::Right)}};

template <std::size_t N>
QComboBox* Choices(QWidget* parent, const Choice (&choices)[N]) {
    auto* combo = new QComboBox(parent);
    for (const Choice& c : choices) combo->addItem(QString::fromUtf8(c.label), c.value);
    return combo;
}

void Select(QComboBox* combo, int value) {
    const int at = combo->findData(value);
    combo->setCurrentIndex(at >= 0 ? at : 0);
}

}  // namespace

CaptionDialog::CaptionDialog(const std::optional<Caption>& current,
                             std::function<void(const std::optional<Caption>&)> preview,
                             QWidget* parent)
    : QDialog(parent), preview_(std::move(preview)) {
    setWindowTitle(QStringLiteral("Beschriftung"));
    const Caption shown = current.value_or(Caption{});
    useCheck = new QCheckBox(QStringLiteral("Beschriftung verwenden"), this);
    useCheck->setChecked(current.has_value());

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Text mit Feldern"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Schrift"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Gewicht"), this), 0, 3);
    const QStringList families = QFontDatabase::families();
    for (int i = 0; i < kCaptionLines; ++i) {
        const CaptionLine& line = shown.lines[std::size_t(i)];
        QLineEdit*& pattern = patternEdits[std::size_t(i)];
        pattern = new QLineEdit(QString::fromStdString(line.pattern), this);
        pattern->setMinimumWidth(320);
        QComboBox*& family = familyCombos[std::size_t(i)];
        family = new QComboBox(this);
        family->setEditable(true);
        family->addItem(QString());  // the default sans-serif
        family->addItems(families);
        family->setCurrentText(QString::fromStdString(line.family));
        QComboBox*& weight = weightCombos[std::size_t(i)];
        weight = Choices(this, kWeights);
        Select(weight, line.weight);
        grid->addWidget(new QLabel(QStringLiteral("Zeile %1:").arg(i + 1), this), i + 1, 0);
        grid->addWidget(pattern, i + 1, 1);
        grid->addWidget(family, i + 1, 2);
        grid->addWidget(weight, i + 1, 3);
        connect(pattern, &QLineEdit::textEdited, this, [this, i] {
            lastLine_ = i;
            if (!useCheck->isChecked())
                useCheck->setChecked(true);  // previews through its toggle
            else
                Changed();
        });
        connect(family, &QComboBox::currentTextChanged, this, &CaptionDialog::Changed);
        connect(weight, &QComboBox::currentIndexChanged, this, &CaptionDialog::Changed);
    }

    fieldList = new QListWidget(this);
    for (const std::string& name : CaptionFieldNames())
        fieldList->addItem(QString::fromStdString(name));
    fieldList->setToolTip(QStringLiteral("Doppelklick fügt das Feld in die Zeile ein."));
    connect(fieldList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { InsertField(item->text()); });

    auto* form = new QFormLayout;
    placeCombo = Choices(this, kPlaces);
    Select(placeCombo, int(shown.place));
    alignCombo = Choices(this, kAligns);
    Select(alignCombo, int(shown.align));
    sizeEdit = new QDoubleSpinBox(this);
    sizeEdit->setRange(double(kMinCaptionSize), double(kMaxCaptionSize));
    sizeEdit->setDecimals(1);
    sizeEdit->setSingleStep(0.1);
    sizeEdit->setSuffix(QStringLiteral(" % der kürzeren Seite"));
    sizeEdit->setValue(double(shown.size));
    autoColourCheck = new QCheckBox(QStringLiteral("Schwarz oder Weiß nach dem Rand"), this);
    autoColourCheck->setChecked(!shown.colour);
    colourButton = new QPushButton(QStringLiteral("Farbe…"), this);
    SetColour(shown.colour.value_or(RGB(0, 0, 0)));
    auto* colour = new QHBoxLayout;
    colour->addWidget(autoColourCheck);
    colour->addWidget(colourButton);
    form->addRow(QStringLiteral("Ort:"), placeCombo);
    form->addRow(QStringLiteral("Ausrichtung:"), alignCombo);
    form->addRow(QStringLiteral("Größe:"), sizeEdit);
    form->addRow(QStringLiteral("Farbe:"), colour);
    connect(placeCombo, &QComboBox::currentIndexChanged, this, &CaptionDialog::Changed);
    connect(alignCombo, &QComboBox::currentIndexChanged, this, &CaptionDialog::Changed);
    connect(sizeEdit, &QDoubleSpinBox::valueChanged, this, &CaptionDialog::Changed);
    connect(autoColourCheck, &QCheckBox::toggled, this, &CaptionDialog::Changed);
    connect(useCheck, &QCheckBox::toggled, this, &CaptionDialog::Changed);
    connect(colourButton, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(
            QColor(GetRValue(colour_), GetGValue(colour_), GetBValue(colour_)), this);
        if (!chosen.isValid()) return;
        SetColour(RGB(chosen.red(), chosen.green(), chosen.blue()));
        autoColourCheck->setChecked(false);
        Changed();
    });

    errorLabel = new QLabel(this);
    errorLabel->setWordWrap(true);
    errorLabel->setStyleSheet(QStringLiteral("color: #B00000"));
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* fields = new QVBoxLayout;
    fields->addWidget(new QLabel(QStringLiteral("Felder:"), this));
    fields->addWidget(fieldList);
    auto* side = new QHBoxLayout;
    side->addLayout(form, 1);
    side->addLayout(fields);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(useCheck);
    layout->addLayout(grid);
    layout->addLayout(side);
    layout->addWidget(errorLabel);
    layout->addWidget(buttons);
    filling_ = false;
}

std::optional<Caption> CaptionDialog::Chosen() const {
    if (!useCheck->isChecked()) return std::nullopt;
    Caption c;
    for (std::size_t i = 0; i < std::size_t(kCaptionLines); ++i) {
        c.lines[i].pattern = patternEdits[i]->text().toStdString();
        c.lines[i].family = familyCombos[i]->currentText().trimmed().toStdString();
        c.lines[i].weight = weightCombos[i]->currentData().toInt();
    }
    c.place = CaptionPlace(placeCombo->currentData().toInt());
    c.align = CaptionAlign(alignCombo->currentData().toInt());
    c.size = sizeEdit->value();
    if (!autoColourCheck->isChecked()) c.colour = colour_;
    return c;
}

void CaptionDialog::SetColour(COLORREF colour) {
    colour_ = colour;
    colourButton->setStyleSheet(
        QStringLiteral("background-color: %1")
            .arg(QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)).name()));
}

void CaptionDialog::Changed() {
    if (filling_) return;
    const std::optional<Caption> chosen = Chosen();
    const std::string error = chosen ? CheckCaption(*chosen) : std::string();
    std::string shown = error;
    if (error.empty() && chosen) {  // a missing font is only a notice: the default is drawn
        for (const std::string& notice : CaptionFontNotices(*chosen))
            shown += (shown.empty() ? "" : "\n") + notice;
    }
    errorLabel->setText(QString::fromStdString(shown));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(error.empty());
    if (error.empty() && preview_) preview_(chosen);  // a bad pattern renders nothing new
}

void CaptionDialog::InsertField(const QString& name) {
    QLineEdit* edit = patternEdits[std::size_t(lastLine_)];
    edit->insert(QLatin1Char('{') + name + QLatin1Char('}'));
    if (!useCheck->isChecked())
        useCheck->setChecked(true);  // previews through its toggle
    else
        Changed();
}

}  // namespace lumivane
