// The window and lumivane-render give the same picture: the fit's values agree, and a template
// saved from the window frames its motif in the batch renderer exactly as the window shows it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>

#include "app/MainUnit.h"
#include "app/RxSpinEdit.h"
#include "image/Zerlin.h"
#include "loading/session.h"
#include "tests/app/scripted_interaction.h"
#include "tools/render/render_cli.h"

using namespace lumivane;

namespace {

class WindowBatchTest : public ::testing::Test {
  protected:
    // A picture with a different colour in every pixel, so a shift of one pixel shows.
    QString Gradient(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y,
                               qRgb(x * 255 / width, y * 255 / height, (x * 7 + y * 3) & 255));
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    TMainForm& Make(const QStringList& arguments = {}) {
        auto scripted = std::make_unique<ScriptedInteraction>();
        dialogs = scripted.get();
        windows.push_back(std::make_unique<TMainForm>(dir.filePath("lumivane"), arguments,
                                                      std::move(scripted)));
        TMainForm& w = *windows.back();
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        return w;
    }
    // Lets the preview take its size and the picture be composed at it.
    static void Settle(TMainForm& w) {
        for (int i = 0; i < 3; ++i) {
            QTest::qWait(1);
            w.PaintBox1Paint();
        }
    }
    static std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

    // Runs lumivane-render; the result read back with Qt's own reader.
    QImage Render(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int status = RenderMain(args, out, err, false);
        EXPECT_EQ(status, 0) << err.str();
        return QImage(QString::fromStdString(args[args.size() - 2]));  // "-o" FILE MOTIF
    }
    static int Mismatches(const Surface& bit, const QImage& image) {
        if (image.size() != QSize(bit.Width(), bit.Height())) return -1;
        int mismatches = 0;
        for (int y = 0; y < bit.Height(); ++y)
            for (int x = 0; x < bit.Width(); ++x) {
                const BYTE* p = bit.ScanLine(y) + 4 * x;
                mismatches += image.pixel(x, y) != qRgb(p[2], p[1], p[0]);
            }
        return mismatches;
    }
    QString SaveTemplate(TMainForm& w, const QString& name) {
        dialogs->saveFiles = {SaveChoice{dir.filePath(name), QString()}};
        w.Vorlagespeichern1->trigger();
        EXPECT_TRUE(dialogs->messages.empty()) << dialogs->messages.back().text.toStdString();
        return dir.filePath(name + ".lumivane");  // the extension is added
    }

    QTemporaryDir dir;
    ScriptedInteraction* dialogs = nullptr;
    std::vector<std::unique_ptr<TMainForm>> windows;
};

}  // namespace

// A 270 x 180 motif in an 800 x 600 frame at 105 %: the height margin works out at just below
// -10.5 and must round to -11 (result 280 x 188); narrowed to double it would be -10.5 and
// round to -10. The session, which stores values in extended precision, is the reference.
TEST_F(WindowBatchTest, WindowAndSessionAgreeOnTheFit) {
    Gradient("holz.jpg", 800, 600);
    Gradient("foto.jpg", 270, 180);
    TMainForm& w = Make();
    FramingSession session;
    session.OpenMotif(Local(dir.filePath("foto.jpg")));
    session.OpenBackground(Local(dir.filePath("holz.jpg")));
    for (int frame : {105, 95, 115, 130, 157, 100, 71}) {
        SCOPED_TRACE(frame);
        w.RahmenEd->setValue(frame);
        session.SetValue(Field::RahmenEd, frame);
        ResizeBackground(session.images(), session);  // what the window's change handler does
        ASSERT_TRUE(session.Render());
        Settle(w);
        for (Field f : {Field::ZoomEd, Field::AdditionalEd, Field::AdditionalYED})
            EXPECT_EQ(w.Value(f), session.params()[f]) << SpecOf(f).name;
        EXPECT_EQ(w.bit().Width(), session.picture().Width());
        EXPECT_EQ(w.bit().Height(), session.picture().Height());
        if (frame == 105) {
            EXPECT_EQ(w.bit().Height(), 188);
        }
    }
}

TEST_F(WindowBatchTest, ATemplateFramesItsMotifInTheBatchAsTheWindowShowsIt) {
    Gradient("holz.jpg", 400, 250);
    const QString motif = Gradient("foto.jpg", 320, 240);
    const QString wide = Gradient("weit.png", 1100, 700);
    struct Design {
        const char* name;
        std::function<void(TMainForm&, ScriptedInteraction&)> make;
        QString photo = {};  // the start-up motif when empty
    };
    const Design designs[] = {
        {"start-up state (feather width set to 20 by hand)",
         [](TMainForm&, ScriptedInteraction&) {}},
        {"everything derived after a fresh load, frame 117",
         [&](TMainForm& w, ScriptedInteraction&) {
             w.RahmenEd->setValue(117);
             w.openfilenow(motif);
         }},
        {"hand-set margins, round mask with radius, rotation and fill colour",
         [](TMainForm& w, ScriptedInteraction& d) {
             w.RotED->setValue(-12);
             w.RoundMaskCheck->setChecked(true);
             w.MaskRadiusEd->setValue(15);
             w.AdditionalEd->setValue(-9);
             w.AdditionalYED->setValue(14);
             d.colours = {QColor(10, 200, 30)};
             w.Shape1MouseDown();
         }},
        {"turned background refitted at 140 %, background scale by hand",
         [](TMainForm& w, ScriptedInteraction&) {
             w.QuerHochBtn->click();
             w.RahmenEd->setValue(140);
             w.ZoomEd->setValue(200);
         }},
        {"background turned twice and once more without a refit, motif at 80 %, no background",
         [](TMainForm& w, ScriptedInteraction&) {
             w.Zoom2Ed->setValue(80);
             for (int i = 0; i < 3; ++i) w.QuerHochBtn->click();
             w.BackgroundCheck->setChecked(false);
         }},
        {"high picture quality, motif turned by 7 degrees at 70 %",
         [](TMainForm& w, ScriptedInteraction&) {
             w.HoheBildqualitt1->trigger();
             w.RotED->setValue(7);
             w.Zoom2Ed->setValue(70);
         }},
        {"a two-line caption from Extras → Beschriftung, bold, in the top right corner",
         [](TMainForm& w, ScriptedInteraction& d) {
             Caption c;
             c.lines[0] = {"{Datei} · Größe", "", 700};
             c.lines[1].pattern = "[{Kamera} · ]ƒ/8";
             c.place = CaptionPlace::TopRight;
             c.align = CaptionAlign::Right;
             c.size = 6;
             Caption first = c;
             first.colour = RGB(255, 0, 0);
             d.captionPreviews = {{first, c}};
             d.captions = {std::optional<Caption>(c)};
             Settle(w);
             const std::vector<BYTE> plain(w.bit().Bits(),
                                           w.bit().Bits() + w.bit().Stride() * w.bit().Height());
             w.Beschriftung1->trigger();
             EXPECT_FALSE(std::equal(plain.begin(), plain.end(), w.bit().Bits()));
         }},
        {"a wide photo reduced on loading",
         [&](TMainForm& w, ScriptedInteraction& d) {
             d.answers = {MessageAnswer::Yes};
             w.openfilenow(wide);
         },
         wide},
    };
    int n = 0;
    for (const Design& design : designs) {
        SCOPED_TRACE(design.name);
        TMainForm& w = Make();
        design.make(w, *dialogs);
        Settle(w);
        dialogs->messages.clear();  // the size question
        const QString file = SaveTemplate(w, QStringLiteral("vorlage%1").arg(++n));
        ASSERT_TRUE(QFile::exists(file));

        const std::string photo = Local(design.photo.isEmpty() ? motif : design.photo);
        const std::string out = Local(dir.filePath(QStringLiteral("batch%1.png").arg(n)));
        EXPECT_EQ(Mismatches(w.bit(), Render({"--template", Local(file), "-o", out, photo})), 0);

        // The window's own "Vorlage laden…" gives the same picture in a fresh window.
        TMainForm& fresh = Make();
        if (!design.photo.isEmpty()) {
            dialogs->answers = {MessageAnswer::Yes};
            fresh.openfilenow(design.photo);
            dialogs->messages.clear();
        }
        dialogs->openFiles = {file};
        fresh.Vorlageladen1->trigger();
        EXPECT_TRUE(dialogs->messages.empty());
        Settle(fresh);
        EXPECT_EQ(Mismatches(fresh.bit(), Render({"--template", Local(file), "-o", out, photo})),
                  0);

        // Opened with the program, the template frames the start-up photo the same way.
        if (design.photo.isEmpty()) {
            TMainForm& started = Make({file});
            Settle(started);
            EXPECT_TRUE(dialogs->messages.empty());
            EXPECT_EQ(Mismatches(started.bit(), QImage(QString::fromStdString(out))), 0);
        }
    }
}

// A print format from Extras → "Druckformat…": the window shows the paper, its derived fields
// show the fit and cannot be typed into, the status bar warns about the small photo, and
// lumivane-render gives the same pixels from the template and from its own options. Switched
// off, the window is as it was.
TEST_F(WindowBatchTest, APrintFormatGivesTheSamePixelsInTheWindowAndTheBatch) {
    const std::string frame = Local(Gradient("holz.jpg", 400, 250));
    const QString motif = Gradient("foto.jpg", 320, 240);
    TMainForm& w = Make();
    Settle(w);
    const std::vector<BYTE> before(
        w.bit().Bits(), w.bit().Bits() + std::size_t(w.bit().Width()) * w.bit().Height() * 4);
    const long double zoom2 = w.Value(Field::Zoom2Ed);

    const PrintFormat print{100000, 150000, 100, 5000, 8000, 20000, true};
    dialogs->printFormats = {print};
    w.Druckformat1->trigger();
    Settle(w);
    EXPECT_EQ(w.bit().Width(), 591);  // 150 mm and 100 mm at 100 dpi, landscape like the photo
    EXPECT_EQ(w.bit().Height(), 394);
    const CompositionParams fit = CompositionValues(w.Settings(), 400, 250, 320, 240);
    EXPECT_EQ(w.Zoom2Ed->Value(), StoreFieldValue(SpecOf(Field::Zoom2Ed), fit.zoom2Ed));
    for (TRxSpinEdit* e : {w.ZoomEd, w.Zoom2Ed, w.AdditionalEd, w.AdditionalYED})
        EXPECT_TRUE(e->isReadOnly());
    EXPECT_FALSE(w.RotED->isReadOnly());
    EXPECT_EQ(w.StatusBar1->currentMessage(),
              QStringLiteral("Das Foto hat für 10 × 15 cm nur %1 dpi.")
                  .arg(int(EffectiveDpi(print, fit.zoom2Ed))));

    const QString design = SaveTemplate(w, QStringLiteral("druck"));
    const std::string out = Local(dir.filePath(QStringLiteral("druck.png")));
    EXPECT_EQ(Mismatches(w.bit(), Render({"--template", Local(design), "-o", out, Local(motif)})),
              0);
    EXPECT_EQ(Mismatches(w.bit(), Render({"--feather", "20", "--print", "10x15cm", "--dpi", "100",
                                          "--border", "5,8,20", "--fill-window", "-b", frame, "-o",
                                          out, Local(motif)})),
              0);

    dialogs->printFormats = {std::optional<PrintFormat>()};
    w.Druckformat1->trigger();
    Settle(w);
    ASSERT_EQ(dialogs->printFormatsShown.back(), print);
    EXPECT_FALSE(w.Zoom2Ed->isReadOnly());
    EXPECT_EQ(w.Zoom2Ed->Value(), zoom2);
    EXPECT_TRUE(w.StatusBar1->currentMessage().isEmpty());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), w.bit().Bits()));
}

// A landscape design applied to a portrait photo: the background gets one more quarter turn
// before the fit, as in the window when the background is turned and the photo then loaded.
TEST_F(WindowBatchTest, ALandscapeDesignFitsAPortraitPhoto) {
    Gradient("holz.jpg", 400, 250);
    Gradient("foto.jpg", 320, 240);
    const QString portrait = Gradient("hoch.png", 180, 260);
    TMainForm& w = Make();
    w.RotED->setValue(8);
    w.RoundMaskCheck->setChecked(true);
    w.RahmenEd->setValue(125);
    w.openfilenow(dir.filePath("foto.jpg"));  // the feather width derived
    Settle(w);
    const QString file = SaveTemplate(w, QStringLiteral("quer"));

    w.QuerHochBtn->click();
    w.openfilenow(portrait);
    Settle(w);
    const std::string out = Local(dir.filePath("hoch-batch.png"));
    const QImage batch = Render({"--template", Local(file), "-o", out, Local(portrait)});
    EXPECT_GT(batch.height(), batch.width());
    EXPECT_EQ(Mismatches(w.bit(), batch), 0);
    // Without a template, --match-orientation turns the frame the same way.
    const QImage plain =
        Render({"--match-orientation", "--rotate", "8", "--round", "--frame", "125", "-b",
                Local(dir.filePath("holz.jpg")), "-o", out, Local(portrait)});
    EXPECT_EQ(Mismatches(w.bit(), plain), 0);
}

// An oval frame with a soft edge: the status bar points at the mode, which, switched on, lays
// the frame over the photo exactly as lumivane-render --overlay and a template saved from the
// window do; a portrait photo gets the landscape frame turned, window and all.
TEST_F(WindowBatchTest, AFrameWithAWindowGoesOverThePhotoAsInTheBatch) {
    Gradient("holz.jpg", 400, 250);
    Gradient("foto.jpg", 320, 240);
    const QString portrait = Gradient("hoch.png", 180, 260);
    QImage oval(360, 240, QImage::Format_ARGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 360; ++x) {
            const double u = (x + 0.5 - 180) / 120, v = (y + 0.5 - 120) / 80;
            const double edge = (std::sqrt(u * u + v * v) - 1) * 40;  // about 4 pixels soft
            const int a = int(std::clamp(127.5 + edge * 64, 0.0, 255.0));
            oval.setPixel(x, y, qRgba(150 + x % 50, 110, 40 + y % 60, a));
        }
    const QString frame = dir.filePath("oval.png");
    ASSERT_TRUE(oval.save(frame));

    TMainForm& w = Make();
    EXPECT_EQ(w.RahmenberdasMotivlegen1->text(), "Rahmen über das Motiv legen");
    EXPECT_FALSE(w.RahmenberdasMotivlegen1->isChecked()) << "off at every start";
    w.openbkgndfilenow(frame);
    Settle(w);
    EXPECT_EQ(w.statusBar()->currentMessage(),
              "Der Hintergrund hat ein transparentes Fenster: Extras → Rahmen über das Motiv "
              "legen.");
    w.RahmenberdasMotivlegen1->trigger();
    w.RotED->setValue(7);
    w.Zoom2Ed->setValue(110);
    w.AdditionalEd->setValue(6);
    Settle(w);
    EXPECT_EQ(w.statusBar()->currentMessage(), "");
    EXPECT_EQ(w.bit().Width(), 360);
    EXPECT_EQ(w.bit().Height(), 240);
    EXPECT_EQ(w.Value(Field::Maskwidth), 0);

    const std::string out = Local(dir.filePath("oval-batch.png"));
    const std::string photo = Local(dir.filePath("foto.jpg"));
    EXPECT_EQ(
        Mismatches(w.bit(), Render({"--overlay", "--rotate", "7", "--motif-zoom", "110",
                                    "--margin-x", "6", "-b", Local(frame), "-o", out, photo})),
        0);
    const QString file = SaveTemplate(w, QStringLiteral("oval"));
    EXPECT_EQ(Mismatches(w.bit(), Render({"--template", Local(file), "-o", out, photo})), 0);

    w.QuerHochBtn->click();
    w.openfilenow(portrait);
    w.AdditionalEd->setValue(6);  // set by hand: the template keeps it, a load refits it
    Settle(w);
    const QImage turned = Render({"--template", Local(file), "-o", out, Local(portrait)});
    EXPECT_EQ(turned.size(), QSize(240, 360));
    EXPECT_EQ(Mismatches(w.bit(), turned), 0);
}

TEST_F(WindowBatchTest, ABadTemplateIsReportedAndChangesNothing) {
    Gradient("holz.jpg", 400, 250);
    Gradient("foto.jpg", 320, 240);
    TMainForm& w = Make();
    const QString good = SaveTemplate(w, QStringLiteral("gut"));
    QFile in(good);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray text = in.readAll();

    struct Case {
        const char* name;
        QByteArray content;
        QString message;
    };
    QByteArray missing = text;
    missing.replace("holz.jpg", "weg.jpg");
    const Case cases[] = {
        {"truncated", text.left(text.size() / 2), "Die Vorlage ist beschädigt."},
        {"background gone", missing,
         "Das Hintergrundbild der Vorlage fehlt: " + dir.filePath("weg.jpg")},
    };
    w.RotED->setValue(33);
    w.AdditionalEd->setValue(-4);
    Settle(w);
    const Parameters before = w.Settings();
    const dib background = w.images().bkgnd;
    const QByteArray picture(reinterpret_cast<const char*>(w.bit().Bits()),
                             w.bit().Height() * w.bit().Stride());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("kaputt.lumivane"));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(c.content);
        out.close();
        dialogs->messages.clear();
        dialogs->openFiles = {path};
        w.Vorlageladen1->trigger();
        ASSERT_EQ(dialogs->messages.size(), 1u);
        EXPECT_EQ(dialogs->messages[0].text, c.message);
        EXPECT_EQ(dialogs->messages[0].icon, MessageIcon::Error);
        EXPECT_EQ(w.Settings().values, before.values);
        EXPECT_EQ(w.images().bkgnd.poi, background.poi);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(w.bit().Bits()),
                             w.bit().Height() * w.bit().Stride()),
                  picture);
    }
}
