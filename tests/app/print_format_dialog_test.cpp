// The print format dialog shows the result's pixel size as the fields change, before anything
// is rendered, and hands back what its fields say.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

#include "app/PrintFormatDialog.h"

using namespace lumivane;

TEST(PrintFormatDialog, ShowsThePixelSizeAndHandsBackTheFieldsFormat) {
    PrintFormat f;
    f.widthUm = 300000;
    f.heightUm = 450000;
    PrintFormatDialog dialog(f, 6000, 4000, 5, nullptr);
    EXPECT_EQ(dialog.paperCombo->currentText(), "30 × 45 cm");
    EXPECT_EQ(dialog.pixelLabel->text(), "5315 × 3543 Pixel");

    dialog.paperCombo->setCurrentText("A4");  // in mm: the unit follows the preset
    EXPECT_EQ(dialog.unitCombo->currentText(), "mm");
    EXPECT_EQ(dialog.pixelLabel->text(), "3508 × 2480 Pixel");
    dialog.widthEdit->setValue(200);
    EXPECT_EQ(dialog.paperCombo->currentText(), "Eigenes Format");
    dialog.topEdit->setValue(200);  // as deep as the paper is narrow
    EXPECT_EQ(dialog.pixelLabel->text(), "Die Ränder sind zu breit für das Papier.");
    EXPECT_FALSE(dialog.buttons->button(QDialogButtonBox::Ok)->isEnabled());
    dialog.topEdit->setValue(10);
    dialog.unitCombo->setCurrentText("cm");  // the same paper in centimetres
    EXPECT_EQ(dialog.widthEdit->value(), 20);

    PrintFormat expected{200000,       297000, 300, 10000, 0, 0, false, PaperOrientation::AsPhoto,
                         PaperUnit::Cm};
    EXPECT_EQ(dialog.Chosen(), expected);
    dialog.useCheck->setChecked(false);
    EXPECT_EQ(dialog.Chosen(), std::nullopt);
}
