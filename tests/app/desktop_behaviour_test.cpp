// What people expect of a desktop window beyond its menus: photos dropped from a file manager,
// the busy cursor, file dialogs that remember the folder of this run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/Application.h"
#include "app/BusyCursor.h"
#include "app/MainUnit.h"
#include "image/Zerlin.h"
#include "tests/app/scripted_interaction.h"

using namespace lumivane;

namespace {

QString Picture(const QTemporaryDir& dir, const QString& name, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(90, 140, 60));
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path));
    return path;
}

QSize SizeOf(const dib& image) {
    return {DibWidth(image), DibHeight(image)};
}

// The cursor the application shows over its windows; -1 for the ordinary one.
int CursorShape() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

}  // namespace

TEST(DropOnWindow, PreviewTakesTheMotifShiftOrTheButtonTheBackground) {
    QTemporaryDir dir;
    auto scripted = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction& dialogs = *scripted;
    TMainForm w(dir.filePath("lumivane"), {}, std::move(scripted));
    QWidget* preview = w.ScrollBox1->viewport();
    const QString damaged = dir.filePath("kaputt.png");
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\x89PNG\r\n\x1a\n abgeschnitten");
    }

    enum class Becomes { Motif, Background, Refused, Failure };
    struct Case {
        const char* what;
        QWidget* target;
        Qt::KeyboardModifiers modifiers;
        Qt::DropActions offered;
        QString url;  // empty: a fresh picture of its own size
        Becomes becomes;
    };
    const Case cases[] = {
        {"preview", preview, Qt::NoModifier, Qt::CopyAction | Qt::MoveAction, {}, Becomes::Motif},
        {"preview with Shift",
         preview,
         Qt::ShiftModifier,
         Qt::MoveAction | Qt::CopyAction,
         {},
         Becomes::Background},
        {"background button", w.BitBtnXP1, Qt::NoModifier, Qt::CopyAction, {}, Becomes::Background},
        {"linked only", preview, Qt::NoModifier, Qt::LinkAction, {}, Becomes::Motif},
        {"move only", preview, Qt::NoModifier, Qt::MoveAction, {}, Becomes::Refused},
        {"web address", preview, Qt::NoModifier, Qt::CopyAction, "https://example.org/a.png",
         Becomes::Refused},
        {"damaged file", w.BitBtnXP1, Qt::NoModifier, Qt::CopyAction,
         QUrl::fromLocalFile(damaged).toString(), Becomes::Failure},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QSize fresh(60 + n, 40 + n);  // tells which image took the file
        ++n;
        const QString url = c.url.isEmpty()
                                ? QUrl::fromLocalFile(Picture(dir, QString("p%1.png").arg(n),
                                                              fresh.width(), fresh.height()))
                                      .toString()
                                : c.url;
        QMimeData data;
        data.setUrls({QUrl(url)});
        const QSize motifBefore = SizeOf(w.images().di);
        const QSize backgroundBefore = SizeOf(w.images().bkgnd);
        dialogs.messages.clear();

        QDragEnterEvent enter(QPoint(5, 5), c.offered, &data, Qt::LeftButton, c.modifiers);
        QCoreApplication::sendEvent(c.target, &enter);
        const bool refused = c.becomes == Becomes::Refused;
        EXPECT_EQ(enter.isAccepted(), !refused);
        // Never "moved": a file manager would delete the photo.
        if (!refused) {
            EXPECT_NE(enter.dropAction(), Qt::MoveAction);
        }

        QDropEvent drop(QPointF(5, 5), c.offered, &data, Qt::LeftButton, c.modifiers);
        QCoreApplication::sendEvent(c.target, &drop);
        EXPECT_EQ(drop.isAccepted(), !refused);
        if (!refused) {
            EXPECT_NE(drop.dropAction(), Qt::MoveAction);
        }
        QCoreApplication::processEvents();

        EXPECT_EQ(SizeOf(w.images().di), c.becomes == Becomes::Motif ? fresh : motifBefore);
        EXPECT_EQ(SizeOf(w.images().bkgnd),
                  c.becomes == Becomes::Background ? fresh : backgroundBefore);
        if (c.becomes == Becomes::Failure) {
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, "Konnte das Bild nicht laden.");
        } else {
            EXPECT_TRUE(dialogs.messages.empty());
        }
    }
}

TEST(BusyCursor, ShownWhileALoadAndItsRenderRunOnly) {
    {
        const BusyCursor busy;
        {
            const ArrowWhileAsking asking;
            EXPECT_EQ(CursorShape(), Qt::ArrowCursor);
        }
        EXPECT_EQ(CursorShape(), Qt::WaitCursor);
    }
    { const ArrowWhileAsking asking; }  // not busy: nothing to put back
    EXPECT_EQ(CursorShape(), -1);

    QTemporaryDir dir;
    TMainForm w(dir.filePath("lumivane"), {}, std::make_unique<ScriptedInteraction>());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(1);
    std::vector<int> shapes;
    w.SetTrace([&](const char* what) {
        if (std::string(what) == "PaintBox1Paint") shapes.push_back(CursorShape());
    });
    w.openfilenow(Picture(dir, "m.png", 120, 300));  // a new shape: the render follows later
    const std::size_t duringLoad = shapes.size();
    EXPECT_EQ(CursorShape(), -1);
    QTest::qWait(1);
    ASSERT_GT(shapes.size(), duringLoad) << "the render after the load did not come";
    for (int shape : shapes) EXPECT_EQ(shape, Qt::WaitCursor);

    shapes.clear();
    w.PaintBox1->repaint();  // an ordinary repaint is not busy work
    EXPECT_EQ(shapes, std::vector<int>{-1});
    EXPECT_EQ(CursorShape(), -1);
}

std::string ContentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "(none)";
}

// The real file dialogs, answered as soon as they open.
TEST(FileDialogs, StartInTheFolderLastChosenInThisRunAndStoreNothing) {
    KeepDialogStateInThisRun();
    // Where Qt's dialogs would keep their history for the next run.
    const QString qtSettings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/QtProject.conf");
    const std::string settingsBefore = ContentsOf(qtSettings);

    QTemporaryDir first, second;
    const QString photo = Picture(first, "foto.png", 8, 8);
    QStringList startedIn;
    auto answerWith = [&](const QString& file) {
        QTimer::singleShot(0, [&startedIn, file] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
                    startedIn << dialog->directory().absolutePath();
                    dialog->selectFile(file);
                    static_cast<QDialog*>(dialog)->accept();
                }
        });
    };
    QtInteraction dialogs;
    answerWith(photo);
    ASSERT_EQ(dialogs.OpenFile(nullptr, "Bilder (*.png)"), photo);
    answerWith(second.filePath("ergebnis.png"));
    const auto saved = dialogs.SaveFile(nullptr, "PNG-Bild (*.png)");
    ASSERT_TRUE(saved);
    answerWith(photo);
    dialogs.OpenFile(nullptr, "Bilder (*.png)");

    ASSERT_EQ(startedIn.size(), 3);
    EXPECT_EQ(startedIn[1], QDir(first.path()).absolutePath());
    EXPECT_EQ(startedIn[2], QDir(second.path()).absolutePath());
    EXPECT_EQ(ContentsOf(qtSettings), settingsBefore);
}
