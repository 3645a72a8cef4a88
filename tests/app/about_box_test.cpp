#include <gtest/gtest.h>

#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/AboutBoxUnit.h"

TEST(InsertYear, ReplacesTheFirstPlaceholderOnly) {
    EXPECT_EQ(InsertYear("© XXXX Tessaly", 2026), "© 2026 Tessaly");
    EXPECT_EQ(InsertYear("XXXX bis XXXX", 2026), "2026 bis XXXX");
    EXPECT_EQ(InsertYear("xxxx Tessaly", 2026), "2026xxxx Tessaly");  // case matters
    EXPECT_EQ(InsertYear("", 987), "987");
}

TEST(AboutBox, ShowsTheYearOfItsCreationAndItsPicture) {
    TAboutBox box;
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_EQ(box.Copyright->text(), "© " + year + " Tessaly Software");
    EXPECT_EQ(box.windowTitle(), "Info");
    EXPECT_EQ(box.size(), QSize(664, 453));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());  // not resizable

    // Showing again never repeats the replacement.
    box.show();
    box.hide();
    box.show();
    EXPECT_EQ(box.Copyright->text(), "© " + year + " Tessaly Software");

    const QPixmap picture = box.ProgramIcon->pixmap();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(306, 322));
    // A wooden frame around the picture: the corner is brownish, not black or white.
    const QColor corner = picture.toImage().pixelColor(3, 3);
    EXPECT_GT(corner.red(), corner.blue());
}

TEST(AboutBox, WebButtonAndEscapeLeaveTheDialogOpenOkAndCloseBoxClose) {
    TAboutBox box;
    std::vector<QUrl> opened;
    box.SetUrlOpener([&](const QUrl& url) { opened.push_back(url); });
    box.show();
    box.BitBtnXP1->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(TAboutBox::kWebAddress));
    EXPECT_TRUE(box.isVisible());
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible());
    box.BitBtn1->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);

    box.show();
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible());
    box.close();  // the close box
    EXPECT_FALSE(box.isVisible());
}
