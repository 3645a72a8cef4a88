#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainUnit.h"
#include "app/PreviewStretch.h"
#include "app/RxSpinEdit.h"
#include "engine/fitting.h"
#include "image/Zerlin.h"
#include "platform/imagelib/exiv2_compat.h"
#include "tests/app/scripted_interaction.h"
#include "tests/platform/imagelib/heif_files.h"

#include <exiv2/exiv2.hpp>

using namespace lumivane;

namespace {

const QString kLoadFailure = QStringLiteral("Konnte das Bild nicht laden.");

class MainFormTest : public ::testing::Test {
  protected:
    // A flat picture written with Qt's own writer, so the fixture does not depend on ours.
    QString Picture(const QString& name, int width, int height, QColor colour = Qt::darkCyan) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    void PutStartupPictures() {
        Picture("holz.jpg", 400, 250, QColor(120, 70, 30));
        Picture("foto.jpg", 320, 240, QColor(40, 90, 160));
    }
    TMainForm& Make(const QStringList& arguments = {}) {
        auto scripted = std::make_unique<ScriptedInteraction>();
        dialogs = scripted.get();
        dialogs->answers = pendingAnswers;
        form =
            std::make_unique<TMainForm>(dir.filePath("lumivane"), arguments, std::move(scripted));
        form->SetTrace([this](const char* what) { trace.push_back(what); });
        return *form;
    }
    int CountOf(const char* what) const {
        return int(std::count(trace.begin(), trace.end(), what));
    }
    QSize MotifSize() const { return {DibWidth(form->images().di), DibHeight(form->images().di)}; }
    QSize MaskSize() const {
        return {DibWidth(form->images().mask), DibHeight(form->images().mask)};
    }
    QSize BackgroundSize() const {
        return {DibWidth(form->images().bkgnd), DibHeight(form->images().bkgnd)};
    }

    QTemporaryDir dir;
    std::deque<MessageAnswer> pendingAnswers;
    ScriptedInteraction* dialogs = nullptr;
    std::unique_ptr<TMainForm> form;
    std::vector<std::string> trace;
};

}  // namespace

TEST_F(MainFormTest, StartsWithPlaceholdersAndOneMessagePerMissingStartupPicture) {
    TMainForm& w = Make();
    ASSERT_EQ(dialogs->messages.size(), 2u);
    for (const AskedMessage& m : dialogs->messages) {
        EXPECT_EQ(m.text, kLoadFailure);
        EXPECT_EQ(m.caption, "");
        EXPECT_EQ(m.icon, MessageIcon::Error);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(MotifSize(), QSize(320, 200));
    EXPECT_EQ(MaskSize(), QSize(320, 200));
    EXPECT_EQ(BackgroundSize(), QSize(320, 200));
    EXPECT_EQ(w.Maskwidth->text(), "20");
    EXPECT_EQ(w.progpath(), dir.path() + "/");
    EXPECT_FALSE(w.progpath().endsWith("//"));
}

TEST_F(MainFormTest, StartupPicturesLoadAndTheFeatherWidthEndsAt20) {
    PutStartupPictures();
    QFile::remove(dir.filePath("foto.jpg"));
    Picture("foto.jpg", 1500, 900);  // its own preset would be 30; asked about reducing: No
    TMainForm& w = Make();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].caption, "Größe des Bildes anpassen");
    EXPECT_EQ(MotifSize(), QSize(1500, 900));
    EXPECT_EQ(MaskSize(), QSize(1500, 900));
    EXPECT_EQ(BackgroundSize(), QSize(400, 250));
    EXPECT_EQ(w.Maskwidth->text(), "20");
    EXPECT_EQ(DibBitCount(w.images().di), 24);
    // The preview area has its designed client size while the window is built.
    EXPECT_EQ(w.PreviewClientWidth(), 660);
    EXPECT_EQ(w.PreviewClientHeight(), 386);
    EXPECT_TRUE(w.statusBar()->currentMessage().isEmpty());
}

TEST_F(MainFormTest, CommandLineLoadsMotifThenBackgroundOnTheFirstShowingOnly) {
    PutStartupPictures();
    const QString motif = Picture("m.png", 200, 100);
    const QString background = Picture("b.png", 500, 250);
    {
        TMainForm& w = Make({motif});
        EXPECT_FALSE(w.first());
        w.show();
        EXPECT_TRUE(w.first());
        EXPECT_EQ(MotifSize(), QSize(200, 100));
        EXPECT_EQ(BackgroundSize(), QSize(400, 250));
    }
    TMainForm& w = Make({motif, background, dir.filePath("third-is-ignored.png")});
    w.show();
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(MotifSize(), QSize(200, 100));
    EXPECT_EQ(BackgroundSize(), QSize(500, 250));

    // Shown again: nothing is loaded again.
    w.openfilenow(Picture("other.png", 50, 40));
    w.hide();
    w.show();
    EXPECT_EQ(MotifSize(), QSize(50, 40));
}

TEST_F(MainFormTest, OnlyMotifsAtLeast1000WideBringUpTheSizeQuestion) {
    TMainForm& w = Make();
    dialogs->messages.clear();
    w.openfilenow(Picture("narrow.png", 999, 3000));
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(MotifSize(), QSize(999, 3000));

    dialogs->answers = {MessageAnswer::Yes};
    w.openfilenow(Picture("wide.png", 3000, 2000));
    ASSERT_EQ(dialogs->messages.size(), 1u);
    const AskedMessage& q = dialogs->messages[0];
    EXPECT_EQ(q.caption, "Größe des Bildes anpassen");
    EXPECT_EQ(q.text,
              "Wollen Sie die Größe des Bildes reduzieren lassen, damit das Programm flüssiger "
              "arbeitet?");
    EXPECT_EQ(q.icon, MessageIcon::Question);
    EXPECT_EQ(q.buttons, MessageButtons::YesNo);
    EXPECT_EQ(MotifSize(), QSize(1000, 666));
    EXPECT_EQ(MaskSize(), QSize(1000, 666));
    EXPECT_EQ(w.Maskwidth->text(), "20");  // 1000 / 50

    dialogs->answers = {MessageAnswer::No};
    w.openfilenow(Picture("strip.png", 5000, 300));
    EXPECT_EQ(MotifSize(), QSize(5000, 300));
    EXPECT_EQ(MaskSize(), QSize(5000, 300));
}

TEST_F(MainFormTest, AFailedLoadChangesNothing) {
    PutStartupPictures();
    TMainForm& w = Make();
    QFile junk(dir.filePath("kaputt.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("\xFF\xD8\xFF\xE0 nicht wirklich ein JPEG");
    junk.close();

    const void* motifPixels = w.images().di.poi;
    const void* backgroundPixels = w.images().bkgnd.poi;
    QStringList before;
    for (TRxSpinEdit* e : w.findChildren<TRxSpinEdit*>()) before << e->text();
    trace.clear();
    w.openfilenow(junk.fileName());
    w.openbkgndfilenow(dir.filePath("fehlt.png"));
    ASSERT_EQ(dialogs->messages.size(), 2u);
    EXPECT_EQ(dialogs->messages[1].text, kLoadFailure);
    EXPECT_EQ(w.images().di.poi, motifPixels);
    EXPECT_EQ(w.images().bkgnd.poi, backgroundPixels);
    EXPECT_EQ(MaskSize(), MotifSize());
    QStringList after;
    for (TRxSpinEdit* e : w.findChildren<TRxSpinEdit*>()) after << e->text();
    EXPECT_EQ(after, before);
    EXPECT_TRUE(trace.empty());
}

TEST_F(MainFormTest, OpenCommandsUseTheLibraryFilterAndIgnoreCancel) {
    PutStartupPictures();
    TMainForm& w = Make();
    const QString background = Picture("b.png", 640, 480);
    dialogs->openFiles = {QString(), background};
    w.ffnen1->trigger();   // cancelled
    w.BitBtnXP1->click();  // background chosen
    ASSERT_EQ(dialogs->openFilters.size(), 2u);
    EXPECT_EQ(dialogs->openFilters[0], QString::fromUtf8(GetDIBOpenFilter()));
    EXPECT_EQ(MotifSize(), QSize(320, 240));
    EXPECT_EQ(BackgroundSize(), QSize(640, 480));
}

TEST_F(MainFormTest, FrameChangeRefitsWithOneRenderPerChangedFieldPlusOne) {
    PutStartupPictures();
    TMainForm& w = Make();
    const QStringList before = {w.ZoomEd->text(), w.AdditionalEd->text(), w.AdditionalYED->text()};
    trace.clear();
    w.RahmenEd->setValue(150);

    const BackgroundFit fit = FitBackground(w.Zoom2Ed->Value(), 150, 320, 240, 400, 250);
    EXPECT_EQ(w.ZoomEd->Value(), double(StoreFieldValue(SpecOf(Field::ZoomEd), fit.zoomEd)));
    EXPECT_EQ(w.AdditionalEd->Value(),
              double(StoreFieldValue(SpecOf(Field::AdditionalEd), fit.additionalEd)));
    EXPECT_EQ(w.AdditionalYED->Value(),
              double(StoreFieldValue(SpecOf(Field::AdditionalYED), fit.additionalYED)));
    EXPECT_TRUE(w.AdditionalEd->Value() == 0 || w.AdditionalYED->Value() == 0);

    const QStringList after = {w.ZoomEd->text(), w.AdditionalEd->text(), w.AdditionalYED->text()};
    int changed = 0;
    for (int i = 0; i < 3; ++i) changed += before[i] != after[i];
    EXPECT_GE(changed, 2);
    EXPECT_EQ(CountOf("PaintBox1Paint"), changed + 1);
    EXPECT_EQ(CountOf("MakeMask"), 0);
}

TEST_F(MainFormTest, ToggleAndMaskFieldsRunTheirHandlers) {
    TMainForm& w = Make();
    trace.clear();
    w.BackgroundCheck->click();
    EXPECT_EQ(trace, std::vector<std::string>({"PaintBox1Paint"}));
    trace.clear();
    w.RoundMaskCheck->click();
    EXPECT_EQ(trace, std::vector<std::string>({"MakeMask", "PaintBox1Paint"}));
    trace.clear();
    w.RoundMaskCheck->click();
    w.MaskRadiusEd->setValue(10);  // rebuilds even with the round mask off
    EXPECT_EQ(trace, std::vector<std::string>(
                         {"MakeMask", "PaintBox1Paint", "MakeMask", "PaintBox1Paint"}));
}

TEST_F(MainFormTest, SwatchPicksTheFillColourOnAnyButton) {
    TMainForm& w = Make();
    w.RotED->setValue(0);
    w.AdditionalEd->setValue(10);
    w.show();
    QTest::qWait(1);
    trace.clear();

    dialogs->colours = {QColor()};  // cancelled
    QTest::mouseClick(w.Shape1, Qt::RightButton);
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(w.Shape1->BrushColor(), QColor(Qt::white));

    dialogs->colours = {QColor(200, 10, 30)};
    QTest::mouseClick(w.Shape1, Qt::MiddleButton);
    ASSERT_EQ(dialogs->colourPresets.size(), 2u);
    EXPECT_EQ(dialogs->colourPresets[1], QColor(Qt::white));
    EXPECT_EQ(CountOf("PaintBox1Paint"), 1);
    EXPECT_EQ(w.Shape1->BrushColor(), QColor(200, 10, 30));
    // The left margin strip shows the new fill colour: blue, green, red.
    const BYTE* strip = w.bit().ScanLine(w.bit().Height() / 2);
    EXPECT_EQ(strip[0], 30);
    EXPECT_EQ(strip[1], 10);
    EXPECT_EQ(strip[2], 200);

    dialogs->colours = {QColor(1, 2, 3)};
    QTest::mouseClick(w.Shape1, Qt::LeftButton);
    EXPECT_EQ(dialogs->colourPresets[2], QColor(200, 10, 30));
}

TEST_F(MainFormTest, PreviewZoomChangeFirstOnlyResizesThePreview) {
    TMainForm& w = Make();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(1);
    const int outW = w.bit().Width();
    ASSERT_EQ(w.PaintBox1->width(), outW);  // zoom 100
    const void* pixels = w.bit().Bits();
    trace.clear();
    w.ZoomOutEd->setValue(50);
    EXPECT_EQ(CountOf("PaintBox1Paint"), 1);
    EXPECT_EQ(w.PaintBox1->width(), std::lrint(outW * 0.5));  // halves to even
    EXPECT_EQ(w.bit().Bits(), pixels);                        // nothing composed yet
    QTest::qWait(1);  // the paint event after the resize renders
    EXPECT_EQ(CountOf("PaintBox1Paint"), 2);
    EXPECT_EQ(w.bit().Width(), outW);
}

TEST_F(MainFormTest, AnEmptyResultKeepsTheLastPicture) {
    TMainForm& w = Make();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(1);
    const int width = w.bit().Width(), height = w.bit().Height();
    const QByteArray pixels(reinterpret_cast<const char*>(w.bit().Bits()), width * height * 4);
    w.AdditionalEd->setValue(-1000);  // 320 - 2000 pixels wide
    QTest::qWait(1);
    EXPECT_EQ(w.PaintBox1->width(), 0);
    ASSERT_EQ(w.bit().Width(), width);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(w.bit().Bits()), width * height * 4),
              pixels);
    w.AdditionalEd->setValue(0);
    QTest::qWait(1);
    EXPECT_EQ(w.PaintBox1->width(), width);
}

TEST_F(MainFormTest, BackgroundTurnKeepsTheFit) {
    PutStartupPictures();
    TMainForm& w = Make();
    QStringList before;
    for (TRxSpinEdit* e : w.findChildren<TRxSpinEdit*>()) before << e->text();
    trace.clear();
    w.QuerHochBtn->click();
    EXPECT_EQ(BackgroundSize(), QSize(250, 400));
    EXPECT_EQ(trace, std::vector<std::string>({"PaintBox1Paint"}));
    QStringList after;
    for (TRxSpinEdit* e : w.findChildren<TRxSpinEdit*>()) after << e->text();
    EXPECT_EQ(after, before);
}

TEST_F(MainFormTest, ShortManualAndStatusBar) {
    TMainForm& w = Make();
    dialogs->messages.clear();
    w.Anleitung1->trigger();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].caption, "Kurzanleitung");
    EXPECT_EQ(dialogs->messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(
        dialogs->messages[0].text,
        "Laden Sie ein Foto und einen Hintergrund. Die Größe von Foto und Hintergrund wird beim "
        "Laden aneinander angepasst. Sie können die Größen auch manuell in % festlegen. Sie "
        "können nun noch mit den Werten für Breite und Höhe die Bildformate von Hintergrund und "
        "Motiv anpassen, so dass nur der Rahmen übrig bleibt. Jetzt können Sie auch noch eine "
        "Rotation für das Foto festlegen und die Maske zum Überblenden von Foto auf den "
        "Hintergrund beeinflussen.");
    w.show();
    for (QAction* a : w.Datei1->actions()) emit a->hovered();
    w.RotED->setValue(30);
    EXPECT_TRUE(w.StatusBar1->currentMessage().isEmpty());
    EXPECT_EQ(w.findChildren<QStatusBar*>().size(), 1);
}

TEST_F(MainFormTest, MenuAndControlsAreAsDesigned) {
    TMainForm& w = Make();
    EXPECT_EQ(w.windowTitle(), "Tessaly Lumivane 1.0");
    QStringList captions;
    for (QAction* a : w.Datei1->actions()) captions << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(captions, QStringList({"Motiv öffnen...", "Hintergrund öffnen...", "-",
                                     "Ergebnis speichern unter...", "-", "Vorlage laden…",
                                     "Vorlage speichern…", "Stapelverarbeitung…", "-", "Beenden"}));
    for (QAction* a : w.Datei1->actions() + w.Hilfe1->actions())
        EXPECT_TRUE(a->shortcut().isEmpty());
    EXPECT_EQ(w.ZoomEd->geometry(), QRect(96, 5, 57, 21));
    EXPECT_EQ(w.RahmenEd->geometry(), QRect(568, 57, 57, 21));
    EXPECT_EQ(w.Shape1->geometry(), QRect(499, 8, 41, 18));
    EXPECT_EQ(w.QuerHochBtn->geometry(), QRect(304, 55, 161, 36));
    EXPECT_EQ(w.PaintBox1->pos(), QPoint(0, 3));
    // Glyphs: the white background is see-through, the picture is not.
    const QImage glyph = w.SaveBtn->icon().pixmap(24, 24).toImage();
    EXPECT_EQ(qAlpha(glyph.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(glyph.pixel(12, 18)), 255);
    // Tab order through the panel.
    QWidget* next = w.ZoomEd;
    QStringList order;
    for (int i = 0; i < 12; ++i, next = next->nextInFocusChain()) {
        while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        order << next->objectName();
    }
    EXPECT_EQ(order, QStringList({"ZoomEd", "Zoom2Ed", "RotED", "Maskwidth", "BackgroundCheck",
                                  "RoundMaskCheck", "MaskRadiusEd", "AdditionalEd", "AdditionalYED",
                                  "QuerHochBtn", "RahmenEd", "ZoomOutEd"}));
}

TEST_F(MainFormTest, BeendenClosesWithoutAQuestion) {
    TMainForm& w = Make();
    w.show();
    dialogs->messages.clear();
    w.Beenden1->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(dialogs->messages.empty());
}

// The window as it opens with the project's start-up pictures; the preview must show the
// composed picture, stretched, opaque.
TEST_F(MainFormTest, ScreenshotShowsTheStretchedPicture) {
    for (const char* name : {"holz.jpg", "foto.jpg"})
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(LUMIVANE_ASSETS_DIR "/") + name, dir.filePath(name)));
    TMainForm& w = Make();
    EXPECT_TRUE(dialogs->messages.empty());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(20);

    const QImage window = w.grab().toImage();
    window.save(QStringLiteral(LUMIVANE_TEST_OUTPUT_DIR "/lumivane-window.png"));

    const QImage shown = w.PaintBox1->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const Surface& bit = w.bit();
    ASSERT_FALSE(bit.Empty());
    ASSERT_EQ(shown.size(), w.PaintBox1->size());
    int mismatches = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const int sx = int((2 * qint64(x) + 1) * bit.Width() / (2 * shown.width()));
            const int sy = int((2 * qint64(y) + 1) * bit.Height() / (2 * shown.height()));
            const BYTE* p = bit.ScanLine(sy) + 4 * sx;
            mismatches += shown.pixel(x, y) != qRgb(p[2], p[1], p[0]);
        }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(MainFormTest, HighQualityIsAnExtrasItemOffAtStartThatRendersAtOnce) {
    PutStartupPictures();
    TMainForm& w = Make();
    QStringList menus;
    for (QAction* a : w.menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, QStringList({"Datei", "Extras", "Hilfe"}));
    ASSERT_EQ(w.Extras1->actions(),
              QList<QAction*>({w.HoheBildqualitt1, w.Druckformat1, w.RahmenberdasMotivlegen1,
                               w.Beschriftung1}));
    EXPECT_EQ(w.Beschriftung1->text(), "Beschriftung…");
    EXPECT_EQ(w.HoheBildqualitt1->text(), "Hohe Bildqualität");
    EXPECT_TRUE(w.HoheBildqualitt1->isCheckable());
    EXPECT_FALSE(w.HoheBildqualitt1->isChecked());
    EXPECT_FALSE(w.Smooth());

    auto pixels = [&] {
        const Surface& bit = w.bit();
        return std::vector<BYTE>(bit.Bits(),
                                 bit.Bits() + std::size_t(bit.Width()) * bit.Height() * 4);
    };
    const std::vector<BYTE> plain = pixels();
    trace.clear();
    w.HoheBildqualitt1->trigger();
    EXPECT_EQ(trace, std::vector<std::string>({"PaintBox1Paint"}));
    EXPECT_TRUE(w.Smooth());
    EXPECT_NE(pixels(), plain) << "the motif is turned by 5 degrees: its edges are smoothed";
    w.HoheBildqualitt1->trigger();
    EXPECT_EQ(pixels(), plain);
}

TEST_F(MainFormTest, SavingWritesTheFullPictureNotThePreview) {
    PutStartupPictures();
    TMainForm& w = Make();
    w.ZoomOutEd->setValue(30);  // the preview is smaller; the file is not
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(1);
    dialogs->saveFiles = {SaveChoice{dir.filePath("ergebnis"), "PNG-Bild (*.png)"}};
    w.SaveBtn->click();
    ASSERT_EQ(dialogs->saveFilters.size(), 1u);
    EXPECT_TRUE(dialogs->saveFilters[0].contains("*.png"));
    const QImage written(dir.filePath("ergebnis.png"));
    ASSERT_FALSE(written.isNull());
    EXPECT_EQ(written.size(), QSize(w.bit().Width(), w.bit().Height()));
    EXPECT_GT(written.width(), w.PaintBox1->width());
    const BYTE* p = w.bit().ScanLine(5) + 4 * 7;
    EXPECT_EQ(written.pixel(7, 5), qRgb(p[2], p[1], p[0]));

    dialogs->saveFiles = {};  // cancelled
    w.Ergebnisspeichernunter1->trigger();
    EXPECT_EQ(dialogs->saveFilters.size(), 2u);
    EXPECT_TRUE(dialogs->messages.empty());
}

// A phone's portrait photo: HEIC, stored lying on its side with a transform property to turn it.
// It opens upright, and the saved JPEG carries its date, camera and author.
TEST_F(MainFormTest, APhonesHeicOpensUprightAndItsMetadataGoesIntoTheSavedJpeg) {
    if (!imagelib_test::CanEncodeHeif(heif_compression_HEVC))
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    Exiv2::ExifData exif;
    exif["Exif.Photo.DateTimeOriginal"] = "2025:05:01 09:30:00";
    exif["Exif.Image.Model"] = "Testtelefon 15";
    exif["Exif.Image.Artist"] = "Anna Schäfer";
    exif["Exif.Image.Orientation"] = std::uint16_t(6);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    imagelib_test::HeifRecipe recipe;
    recipe.width = 64;
    recipe.height = 48;
    recipe.orientation = heif_orientation_rotate_90_cw;
    recipe.exif.assign(blob.begin(), blob.end());
    recipe.pixel = [](int x, int) {
        return x < 32 ? imagelib_test::Rgba{200, 30, 30, 255}
                      : imagelib_test::Rgba{30, 30, 200, 255};
    };
    const auto heic = imagelib_test::MakeHeif(recipe);
    ASSERT_FALSE(heic.empty());
    QFile file(dir.filePath("IMG_0001.HEIC"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(heic.data()), qint64(heic.size()));
    file.close();

    PutStartupPictures();
    TMainForm& w = Make();
    w.openfilenow(file.fileName());
    EXPECT_TRUE(dialogs->messages.empty());
    ASSERT_EQ(MotifSize(), QSize(48, 64));
    // Stored left half red: turned clockwise, red is on top.
    const COLORREF top = getpixel(form->images().di, 24, 8);
    const COLORREF bottom = getpixel(form->images().di, 24, 56);
    EXPECT_GT(GetRValue(top), 150);
    EXPECT_GT(GetBValue(bottom), 150);
    // A background brings no metadata of its own along.
    w.openbkgndfilenow(Picture("rahmen.png", 300, 300));

    dialogs->saveFiles = {SaveChoice{dir.filePath("ergebnis.jpg"), "JPEG-Bild (*.jpg)"}};
    w.SaveBtn->click();
    EXPECT_TRUE(dialogs->messages.empty());
    auto saved = Exiv2::ImageFactory::open(dir.filePath("ergebnis.jpg").toStdString());
    saved->readMetadata();
    Exiv2::ExifData& out = saved->exifData();
    EXPECT_EQ(out["Exif.Photo.DateTimeOriginal"].toString(), "2025:05:01 09:30:00");
    EXPECT_EQ(out["Exif.Image.Model"].toString(), "Testtelefon 15");
    EXPECT_EQ(out["Exif.Image.Artist"].toString(), "Anna Schäfer");
    EXPECT_EQ(lumivane::exiv2::ToInteger(out["Exif.Image.Orientation"]), 1);
    EXPECT_EQ(lumivane::exiv2::ToInteger(out["Exif.Photo.PixelXDimension"]), w.bit().Width());
}
