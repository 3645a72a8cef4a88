#include "app/PrintFormatDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "loading/print_settings.h"

namespace lumivane {

namespace {

const PaperUnit kUnits[] = {PaperUnit::Mm, PaperUnit::Cm, PaperUnit::In};

int UnitIndex(PaperUnit unit) {
    for (int i = 0; i < 3; ++i)
        if (kUnits[i] == unit) return i;
    return 1;
}

QDoubleSpinBox* Length(QWidget* parent, double max, int decimals) {
    auto* edit = new QDoubleSpinBox(parent);
    edit->setRange(0, max);
    edit->setDecimals(decimals);
    return edit;
}

}  // namespace

PrintFormatDialog::PrintFormatDialog(const std::optional<PrintFormat>& current, int motifWidth,
                                     int motifHeight, long double angle, QWidget* parent)
    : QDialog(parent), motifWidth_(motifWidth), motifHeight_(motifHeight), angle_(angle) {
    setWindowTitle(QStringLiteral("Druckformat"));
    auto* form = new QFormLayout;
    useCheck = new QCheckBox(QStringLiteral("Druckformat verwenden"), this);

    paperCombo = new QComboBox(this);
    for (const PaperPreset& p : PaperPresets()) paperCombo->addItem(QString::fromUtf8(p.name));
    paperCombo->addItem(QStringLiteral("Eigenes Format"));
    form->addRow(QStringLiteral("Papier:"), paperCombo);

    widthEdit = Length(this, 10000, 2);
    heightEdit = Length(this, 10000, 2);
    unitCombo = new QComboBox(this);
    for (PaperUnit u : kUnits) unitCombo->addItem(QString::fromLatin1(UnitName(u)));
    auto* size = new QHBoxLayout;
    size->addWidget(widthEdit);
    size->addWidget(new QLabel(QStringLiteral("×"), this));
    size->addWidget(heightEdit);
    size->addWidget(unitCombo);
    form->addRow(QStringLiteral("Größe:"), size);

    dpiEdit = new QSpinBox(this);
    dpiEdit->setRange(kMinPrintDpi, kMaxPrintDpi);
    dpiEdit->setSuffix(QStringLiteral(" dpi"));
    form->addRow(QStringLiteral("Auflösung:"), dpiEdit);

    topEdit = Length(this, 1000, 1);
    sidesEdit = Length(this, 1000, 1);
    bottomEdit = Length(this, 1000, 1);
    form->addRow(QStringLiteral("Rand oben (mm):"), topEdit);
    form->addRow(QStringLiteral("Rand seitlich (mm):"), sidesEdit);
    form->addRow(QStringLiteral("Rand unten (mm):"), bottomEdit);

    fitRadio = new QRadioButton(QStringLiteral("einpassen"), this);
    fillRadio = new QRadioButton(QStringLiteral("füllen"), this);
    auto* fit = new QHBoxLayout;
    fit->addWidget(fitRadio);
    fit->addWidget(fillRadio);
    form->addRow(QStringLiteral("Motiv:"), fit);

    orientationCombo = new QComboBox(this);
    orientationCombo->addItems(
        {QStringLiteral("wie das Foto"), QStringLiteral("hoch"), QStringLiteral("quer")});
    form->addRow(QStringLiteral("Lage:"), orientationCombo);

    pixelLabel = new QLabel(this);
    form->addRow(QStringLiteral("Ergebnis:"), pixelLabel);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* page = new QVBoxLayout(this);
    page->addWidget(useCheck);
    page->addLayout(form);
    page->addWidget(buttons);

    // Filled from the format in use, or the usual 10 × 15 cm at 300 dpi.
    const PrintFormat f = current.value_or(PrintFormat{});
    {
        QScopedValueRollback filling(filling_, true);
        useCheck->setChecked(current.has_value());
        unit_ = f.unit;
        unitCombo->setCurrentIndex(UnitIndex(f.unit));
        const double per = double(MicrometresPer(f.unit));
        widthEdit->setValue(double(f.widthUm) / per);
        heightEdit->setValue(double(f.heightUm) / per);
        dpiEdit->setValue(f.dpi);
        topEdit->setValue(double(f.borderTopUm) / 1000);
        sidesEdit->setValue(double(f.borderSidesUm) / 1000);
        bottomEdit->setValue(double(f.borderBottomUm) / 1000);
        (f.fill ? fillRadio : fitRadio)->setChecked(true);
        orientationCombo->setCurrentIndex(int(f.orientation));
        const PaperPreset* preset = FindPreset(f.widthUm, f.heightUm, f.unit);
        paperCombo->setCurrentIndex(preset ? int(preset - PaperPresets().data())
                                           : paperCombo->count() - 1);
    }

    connect(paperCombo, &QComboBox::currentIndexChanged, this, &PrintFormatDialog::PresetChosen);
    connect(unitCombo, &QComboBox::currentIndexChanged, this, &PrintFormatDialog::UnitChosen);
    for (QDoubleSpinBox* e : {widthEdit, heightEdit})
        connect(e, &QDoubleSpinBox::valueChanged, this, &PrintFormatDialog::SizeEdited);
    for (QDoubleSpinBox* e : {topEdit, sidesEdit, bottomEdit})
        connect(e, &QDoubleSpinBox::valueChanged, this, &PrintFormatDialog::Update);
    connect(dpiEdit, &QSpinBox::valueChanged, this, &PrintFormatDialog::Update);
    connect(fillRadio, &QRadioButton::toggled, this, &PrintFormatDialog::Update);
    connect(orientationCombo, &QComboBox::currentIndexChanged, this, &PrintFormatDialog::Update);
    connect(useCheck, &QCheckBox::toggled, this, &PrintFormatDialog::Update);
    Update();
}

PrintFormat PrintFormatDialog::FromFields() const {
    PrintFormat f;
    const long double per = static_cast<long double>(MicrometresPer(unit_));
    f.unit = unit_;
    f.widthUm = std::llround(widthEdit->value() * per);
    f.heightUm = std::llround(heightEdit->value() * per);
    f.dpi = dpiEdit->value();
    f.borderTopUm = std::llround(topEdit->value() * 1000);
    f.borderSidesUm = std::llround(sidesEdit->value() * 1000);
    f.borderBottomUm = std::llround(bottomEdit->value() * 1000);
    f.fill = fillRadio->isChecked();
    f.orientation = PaperOrientation(orientationCombo->currentIndex());
    return f;
}

std::optional<PrintFormat> PrintFormatDialog::Chosen() const {
    if (!useCheck->isChecked()) return std::nullopt;
    return FromFields();
}

QString PrintFormatDialog::PixelSizeText() const {
    const PrintFormat f = FromFields();
    if (f.widthUm <= 0 || f.heightUm <= 0) return QStringLiteral("Das Papier hat keine Größe.");
    if (!BordersFit(f)) return QStringLiteral("Die Ränder sind zu breit für das Papier.");
    const PaperLayout paper = LayOutPaper(f, std::rint(angle_), motifWidth_, motifHeight_);
    return QStringLiteral("%1 × %2 Pixel").arg(paper.width).arg(paper.height);
}

void PrintFormatDialog::PresetChosen(int index) {
    if (filling_ || index < 0 || index >= int(PaperPresets().size())) return;
    const PaperPreset& p = PaperPresets()[std::size_t(index)];
    {
        QScopedValueRollback filling(filling_, true);
        unit_ = p.unit;
        unitCombo->setCurrentIndex(UnitIndex(p.unit));
        const double per = double(MicrometresPer(p.unit));
        widthEdit->setValue(double(p.widthUm) / per);
        heightEdit->setValue(double(p.heightUm) / per);
    }
    Update();
}

void PrintFormatDialog::SizeEdited() {
    if (filling_) return;
    const PrintFormat f = FromFields();
    const PaperPreset* preset = FindPreset(f.widthUm, f.heightUm, f.unit);
    {
        QScopedValueRollback filling(filling_, true);
        paperCombo->setCurrentIndex(preset ? int(preset - PaperPresets().data())
                                           : paperCombo->count() - 1);
    }
    Update();
}

void PrintFormatDialog::UnitChosen(int index) {
    if (filling_ || index < 0 || index > 2) return;
    // The same paper in the other unit.
    const PrintFormat before = FromFields();
    unit_ = kUnits[index];
    const double per = double(MicrometresPer(unit_));
    {
        QScopedValueRollback filling(filling_, true);
        widthEdit->setValue(double(before.widthUm) / per);
        heightEdit->setValue(double(before.heightUm) / per);
    }
    SizeEdited();
}

void PrintFormatDialog::Update() {
    if (filling_) return;
    const bool on = useCheck->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{paperCombo, widthEdit, heightEdit, unitCombo,
                                                      dpiEdit, topEdit, sidesEdit, bottomEdit,
                                                      fitRadio, fillRadio, orientationCombo})
        w->setEnabled(on);
    pixelLabel->setText(PixelSizeText());
    const PrintFormat f = FromFields();
    buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(!on || (f.widthUm > 0 && f.heightUm > 0 && BordersFit(f)));
}

}  // namespace lumivane
