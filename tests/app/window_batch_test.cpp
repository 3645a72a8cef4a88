// The window and lumivane-render give the same picture: the fit's values agree.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainUnit.h"
#include "app/RxSpinEdit.h"
#include "image/Zerlin.h"
#include "loading/session.h"
#include "tests/app/scripted_interaction.h"

using namespace lumivane;

namespace {

class WindowBatchTest : public ::testing::Test {
  protected:
    // A picture with a different colour in every pixel, so a shift of one pixel shows.
    QString Gradient(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x * 7 + y * 3) & 255));
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    TMainForm& Make() {
        auto scripted = std::make_unique<ScriptedInteraction>();
        dialogs = scripted.get();
        windows.push_back(
            std::make_unique<TMainForm>(dir.filePath("lumivane"), QStringList(), std::move(scripted)));
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
