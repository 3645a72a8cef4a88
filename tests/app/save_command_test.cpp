#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "app/SaveCommand.h"
#include "tests/app/scripted_interaction.h"

using lumivane::WithFilterExtension;

TEST(WithFilterExtension, OnlyANameWithoutExtensionGetsTheFiltersFirst) {
    EXPECT_EQ(WithFilterExtension("/tmp/bild", "JPEG-Bild (*.jpg *.jif *.jpeg)"), "/tmp/bild.jpg");
    EXPECT_EQ(WithFilterExtension("/tmp/bild", "PNG-Bild (*.png)"), "/tmp/bild.png");
    EXPECT_EQ(WithFilterExtension("/tmp/bild.tif", "PNG-Bild (*.png)"), "/tmp/bild.tif");
    EXPECT_EQ(WithFilterExtension("/tmp/ordner.neu/bild", "PNG-Bild (*.png)"),
              "/tmp/ordner.neu/bild.png");
    EXPECT_EQ(WithFilterExtension("/tmp/bild", "Alle Dateien (*)"), "/tmp/bild");
    EXPECT_EQ(WithFilterExtension("/tmp/bild", ""), "/tmp/bild");
}

namespace {

using namespace lumivane;

class SaveCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bit.SetSize(6, 4));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                BYTE* p = bit.ScanLine(y) + 4 * x;
                p[0] = BYTE(40 * x), p[1] = BYTE(60 * y), p[2] = 200, p[3] = 0;
            }
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
    Surface bit;
    ScriptedInteraction dialogs;
};

}  // namespace

TEST_F(SaveCommandTest, WritesTheWholePictureUnderTheCompletedName) {
    dialogs.saveFiles = {SaveChoice{dir.filePath("ergebnis"), "PNG-Bild (*.png)"}};
    EXPECT_TRUE(RunSaveCommand(dialogs, nullptr, bit));
    ASSERT_EQ(dialogs.saveFilters.size(), 1u);
    for (const char* pattern : {"*.jpg", "*.png", "*.bmp", "*.tif", "*.webp"})
        EXPECT_TRUE(dialogs.saveFilters[0].contains(pattern)) << pattern;
    const QImage written(dir.filePath("ergebnis.png"));
    ASSERT_EQ(written.size(), QSize(6, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(written.pixel(x, y), qRgb(200, 60 * y, 40 * x));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SaveCommandTest, CancelWritesNothingAndFailuresSayWhyAndKeepTheOldFile) {
    EXPECT_FALSE(RunSaveCommand(dialogs, nullptr, bit));  // cancelled
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_TRUE(dialogs.messages.empty());

    QFile old(dir.filePath("alt.xyz"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("bleibt");
    old.close();
    dialogs.saveFiles = {SaveChoice{old.fileName(), "PNG-Bild (*.png)"},
                         SaveChoice{dir.filePath("alt.xyz/bild.png"), "PNG-Bild (*.png)"}};
    EXPECT_FALSE(RunSaveCommand(dialogs, nullptr, bit));  // unknown format
    EXPECT_FALSE(RunSaveCommand(dialogs, nullptr, bit));  // a file in the way of the folder
    ASSERT_EQ(dialogs.messages.size(), 2u);
    for (const AskedMessage& m : dialogs.messages) {
        EXPECT_TRUE(m.text.startsWith("Das Bild konnte nicht gespeichert werden"))
            << m.text.toStdString();
        EXPECT_EQ(m.icon, MessageIcon::Error);
    }
    EXPECT_EQ(Files(), QStringList({"alt.xyz"}));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "bleibt");
}
