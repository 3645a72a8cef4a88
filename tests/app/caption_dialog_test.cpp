// The caption dialog previews every good state of its fields, and a pattern that cannot be
// filled shows its German message, blocks OK and previews nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/CaptionDialog.h"

using namespace lumivane;

TEST(CaptionDialogTest, AGoodPatternIsPreviewedAndABadOneIsNamed) {
    std::vector<std::optional<Caption>> shown;
    CaptionDialog dialog(std::nullopt,
                         [&](const std::optional<Caption>& c) { shown.push_back(c); });
    EXPECT_FALSE(dialog.Chosen());

    QTest::keyClicks(dialog.patternEdits[1], QStringLiteral("{Kamera"));
    EXPECT_NE(dialog.errorLabel->text().toStdString().find("Zeile 2"), std::string::npos);
    EXPECT_FALSE(dialog.buttons->button(QDialogButtonBox::Ok)->isEnabled());
    const std::size_t previews = shown.size();

    QTest::keyClicks(dialog.patternEdits[1], QStringLiteral("}"));
    EXPECT_TRUE(dialog.errorLabel->text().isEmpty());
    EXPECT_TRUE(dialog.buttons->button(QDialogButtonBox::Ok)->isEnabled());
    ASSERT_EQ(shown.size(), previews + 1);
    ASSERT_TRUE(shown.back());
    EXPECT_EQ(shown.back()->lines[1].pattern, "{Kamera}");

    // A field from the list goes into the line edited last.
    dialog.fieldList->setCurrentRow(0);
    emit dialog.fieldList->itemDoubleClicked(dialog.fieldList->item(0));
    EXPECT_EQ(dialog.Chosen()->lines[1].pattern,
              "{Kamera}{" + dialog.fieldList->item(0)->text().toStdString() + "}");

    dialog.useCheck->setChecked(false);
    EXPECT_FALSE(shown.back());  // switched off: the picture shows no caption
}
