// Datei → "Stapelverarbeitung…" driven through the scripted dialogs: the window's batch writes
// what lumivane-render writes from the same design, stops when cancelled without leaving a
// partial file, and asks once about results that exist already.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <sstream>

#include "app/BatchDialog.h"
#include "app/BatchProgressDialog.h"
#include "app/BatchRun.h"
#include "app/MainUnit.h"
#include "app/RxSpinEdit.h"
#include "tests/app/scripted_interaction.h"
#include "tools/render/render_cli.h"

using namespace lumivane;

namespace {

class BatchDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Photo("holz.jpg", 160, 120);  // the start-up background and motif
        Photo("foto.jpg", 60, 45);
        auto scripted = std::make_unique<ScriptedInteraction>();
        dialogs = scripted.get();
        window = std::make_unique<TMainForm>(dir.filePath("lumivane"), QStringList(),
                                             std::move(scripted));
        window->show();
        window->RotED->setValue(-12);
        window->HoheBildqualitt1->setChecked(true);
    }
    QString Photo(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 255));
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(image.save(path));
        return path;
    }
    // Runs Datei → "Stapelverarbeitung…" on the folder "shoot" into "out" and, when `wait`,
    // until the batch has ended.
    void RunBatch(bool subfolders, bool wait = true) {
        BatchChoice choice;
        choice.folder = dir.filePath("shoot");
        choice.subfolders = subfolders;
        choice.outputFolder = dir.filePath("out");
        dialogs->batches.push_back(choice);
        window->Stapelverarbeitung1->trigger();
        if (wait && window->batch()) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !window->batch()->Running(); }, 10000));
        }
    }
    static QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Results(const QString& folder = "out") const {
        return QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir dir;
    ScriptedInteraction* dialogs = nullptr;
    std::unique_ptr<TMainForm> window;
};

}  // namespace

// Photos in a folder and its subfolder, one of the same name and one that cannot be read: the
// results equal lumivane-render's from a template saved of the same design, byte for byte.
TEST_F(BatchDialogTest, FramesAFolderWithSubfoldersAsLumivaneRenderDoes) {
    const std::string motifs[] = {Photo("shoot/a.png", 80, 60).toStdString(),
                                  Photo("shoot/b.jpg", 50, 70).toStdString(),
                                  Photo("shoot/sub/a.png", 70, 50).toStdString()};
    QFile broken(dir.filePath("shoot/sub/kaputt.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("no picture");
    broken.close();
    QFile(dir.filePath("shoot/notiz.txt")).open(QIODevice::WriteOnly);  // no photo: left out
    Caption caption;  // the window's caption, each photo's own name, is part of the design
    caption.lines[0].pattern = "{Datei}";
    caption.size = 12;
    dialogs->captions = {std::optional<Caption>(caption)};
    window->Beschriftung1->trigger();

    RunBatch(true);
    ASSERT_NE(window->batch(), nullptr);
    EXPECT_EQ(window->batch()->Written(), 3);
    EXPECT_EQ(window->batch()->Failed(), 1);
    ASSERT_EQ(window->batchProgress()->failureList->count(), 1);
    EXPECT_TRUE(window->batchProgress()->failureList->item(0)->text().startsWith("kaputt.jpg: "));
    EXPECT_EQ(window->batchProgress()->button->text(), "Schließen");
    window->batchProgress()->grab().save(LUMIVANE_TEST_OUTPUT_DIR "/lumivane-batch-progress.png");

    dialogs->saveFiles = {SaveChoice{dir.filePath("design"), QString()}};
    window->Vorlagespeichern1->trigger();
    std::vector<std::string> args = {"--template", dir.filePath("design.lumivane").toStdString(),
                                     "-o", dir.filePath("cli").toStdString()};
    args.insert(args.end(), std::begin(motifs), std::end(motifs));
    std::ostringstream out, err;
    ASSERT_EQ(RenderMain(args, out, err, false), 0) << err.str();
    ASSERT_EQ(Results(), Results("cli"));
    EXPECT_EQ(Results().size(), 3);
    for (const QString& name : Results()) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(Bytes(dir.filePath("out/" + name)), Bytes(dir.filePath("cli/" + name)));
    }
}

// Cancelled by the progress dialog's "Abbrechen" or by closing the window: the photos in
// progress are finished, nothing further is framed and no partial file is left.
TEST_F(BatchDialogTest, CancellingLeavesOnlyWholeResults) {
    for (int i = 0; i < 12; ++i) Photo(QStringLiteral("shoot/p%1.png").arg(i), 90, 60);
    for (const bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "window closed" : "Abbrechen");
        QDir(dir.filePath("out")).removeRecursively();
        RunBatch(false, false);
        ASSERT_NE(window->batchProgress(), nullptr);
        if (byClosing) {
            window->close();  // returns once the photos in progress are done
        } else {
            window->batchProgress()->button->click();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !window->batch()->Running(); }, 10000));
            EXPECT_TRUE(window->batchProgress()->summaryLabel->text().startsWith("Abgebrochen."));
        }
        const QStringList results = Results();
        EXPECT_LT(results.size(), 12);
        for (const QString& name : results)
            EXPECT_FALSE(QImage(dir.filePath("out/" + name)).isNull()) << name.toStdString();
    }
}

// A result that exists is asked about once; the answer decides whether it is kept, replaced,
// or the batch is not started.
TEST_F(BatchDialogTest, ExistingResultsAreAskedAboutOnce) {
    Photo("shoot/a.png", 80, 60);
    Photo("shoot/b.png", 60, 80);
    const struct {
        ExistingAnswer answer;
        bool kept, othersWritten;
    } cases[] = {{ExistingAnswer::Skip, true, true},
                 {ExistingAnswer::Overwrite, false, true},
                 {ExistingAnswer::Cancel, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.answer));
        QDir(dir.filePath("out")).removeRecursively();
        QDir().mkpath(dir.filePath("out"));
        QFile old(dir.filePath("out/a.jpg"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier result");
        old.close();
        dialogs->existingAsked.clear();
        dialogs->existingAnswers = {c.answer};

        RunBatch(false);
        EXPECT_EQ(dialogs->existingAsked, (std::vector<std::pair<int, int>>{{1, 2}}));
        EXPECT_EQ(Bytes(dir.filePath("out/a.jpg")) == "earlier result", c.kept);
        EXPECT_EQ(QFile::exists(dir.filePath("out/b.jpg")), c.othersWritten);
        if (c.answer == ExistingAnswer::Skip) {
            EXPECT_EQ(window->batch()->Skipped(), 1);
        }
    }
}

// Results written into the photos' own folder under a photo's name would replace the photo: the
// batch is refused before anything is asked or written.
TEST_F(BatchDialogTest, NeverReplacesAPhotoOfTheBatch) {
    const QString photo = Photo("shoot/a.jpg", 80, 60);
    const QByteArray before = Bytes(photo);
    BatchChoice choice;
    choice.folder = choice.outputFolder = dir.filePath("shoot");
    dialogs->batches.push_back(choice);
    dialogs->existingAnswers = {ExistingAnswer::Overwrite};
    window->Stapelverarbeitung1->trigger();
    EXPECT_EQ(window->batch(), nullptr);
    EXPECT_TRUE(dialogs->existingAsked.empty());
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(Bytes(photo), before);
}

// The dialog starts only with photos and an output folder, offers the quality only where the
// format has one, and hands back what its fields say.
TEST(BatchDialog, HandsBackTheFieldsChoice) {
    BatchDialog dialog{QString(), QString()};
    QPushButton* start = dialog.buttons->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(start->isEnabled());
    dialog.folderEdit->setText("/fotos/hochzeit");
    EXPECT_FALSE(start->isEnabled());
    dialog.outputEdit->setText("/fotos/gerahmt");
    EXPECT_TRUE(start->isEnabled());
    dialog.subfoldersCheck->setChecked(true);
    dialog.qualityEdit->setValue(80);
    QStringList formats;
    for (int i = 0; i < dialog.formatCombo->count(); ++i)
        formats << dialog.formatCombo->itemData(i).toString();
    EXPECT_EQ(formats, QStringList({"jpg", "png", "tif", "webp"}));
    dialog.formatCombo->setCurrentIndex(int(formats.indexOf("png")));
    EXPECT_FALSE(dialog.qualityEdit->isEnabled());
    dialog.formatCombo->setCurrentIndex(int(formats.indexOf("webp")));
    EXPECT_TRUE(dialog.qualityEdit->isEnabled());

    BatchChoice expected;
    expected.folder = "/fotos/hochzeit";
    expected.subfolders = true;
    expected.outputFolder = "/fotos/gerahmt";
    expected.format = "webp";
    expected.quality = 80;
    EXPECT_EQ(dialog.Chosen(), expected);
    dialog.filesRadio->setChecked(true);  // no files chosen yet
    EXPECT_FALSE(start->isEnabled());
}
