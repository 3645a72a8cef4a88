#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTest>
#include <QTimerEvent>
#include <string>
#include <vector>

#include "app/RxSpinEdit.h"

namespace {

using Log = std::vector<std::string>;

// A panel with four of the window's fields, each logging "name:value" from its change event.
class SpinFields : public ::testing::Test {
  protected:
    QWidget window;
    Log log;
    int beeps = 0;
    TRxSpinEdit* ZoomEd =
        make("ZoomEd", {.Increment = 10, .MaxValue = 1000, .MinValue = 1, .Value = 100});
    TRxSpinEdit* Maskwidth = make("Maskwidth", {.Increment = 5, .MaxValue = 1000, .Value = 20});
    TRxSpinEdit* RotED = make("RotED", {.MaxValue = 1000, .MinValue = -1000, .Value = 5});
    TRxSpinEdit* ZoomOutEd =
        make("ZoomOutEd", {.Increment = 5, .MaxValue = 100, .MinValue = 1, .Value = 100});

    TRxSpinEdit* make(const char* name, const TRxSpinEdit::Layout& layout) {
        auto* field = new TRxSpinEdit(layout, &window);
        field->setObjectName(name);
        field->setBeep([this] { ++beeps; });
        QObject::connect(field, &TRxSpinEdit::OnChange, [this, field] {
            log.push_back(field->objectName().toStdString() + ":" +
                          QString::number(field->Value()).toStdString());
        });
        return field;
    }

    // Focus changes need a shown, active window.
    void showActive() {
        int top = 0;
        for (auto* field : window.findChildren<TRxSpinEdit*>()) {
            field->setGeometry(0, top, 57, 21);
            top += 25;
        }
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    static void typeOver(TRxSpinEdit* field, const char* keys) {
        field->selectAll();
        QTest::keyClicks(field, keys);
    }
};

TEST_F(SpinFields, BuildingEnforcesBothBoundsOnceOneIsNonZero) {
    EXPECT_EQ(ZoomEd->text(), "100");
    EXPECT_TRUE(Maskwidth->CheckMinValue() && Maskwidth->CheckMaxValue());
    Maskwidth->setValue(-3);
    EXPECT_EQ(Maskwidth->text(), "0");
    log.clear();

    TRxSpinEdit unbounded({.Increment = 2}, &window);
    EXPECT_EQ(unbounded.text(), "0");
    unbounded.setMaxValue(10);  // after building a bound no longer switches the checks on
    unbounded.setValue(-5000);
    EXPECT_EQ(unbounded.text(), "-5000");
    EXPECT_TRUE(log.empty());
}

TEST_F(SpinFields, ReadingParsesWholeNumbersElseGivesRoundedMinimum) {
    for (const char* text :
         {"", "-", "+", "12a", "1.5", " 7", "2147483648", "99999999999999999999"}) {
        RotED->setText(text);
        EXPECT_EQ(RotED->Value(), -1000) << text;
    }
    RotED->setText("+7");
    EXPECT_EQ(RotED->Value(), 7);
    RotED->setText("-2147483648");
    EXPECT_EQ(RotED->Value(), -2147483648.0);
    RotED->setText("5000");  // reading does not clamp
    EXPECT_EQ(RotED->Value(), 5000);

    TRxSpinEdit halfMinimum({.MaxValue = 10, .MinValue = 2.5}, &window);
    halfMinimum.setText("x");
    EXPECT_EQ(halfMinimum.Value(), 2);
}

TEST_F(SpinFields, WritingClampsRoundsHalfToEvenAndFiresOnlyOnChange) {
    const std::vector<std::pair<double, const char*>> writes = {
        {12.5, "12"}, {13.5, "14"}, {-2.5, "-2"}, {-0.4, "0"}, {999.6, "1000"}, {-1e9, "-1000"}};
    for (auto [value, shown] : writes) {
        RotED->setValue(value);
        EXPECT_EQ(RotED->text(), shown);
    }
    EXPECT_EQ(log,
              (Log{"RotED:12", "RotED:14", "RotED:-2", "RotED:0", "RotED:1000", "RotED:-1000"}));

    log.clear();
    RotED->setValue(-1000);  // already shown
    ZoomOutEd->setValue(0);
    ZoomEd->setValue(5000);
    ZoomEd->setValue(std::nan(""));
    EXPECT_EQ(ZoomOutEd->text(), "1");
    EXPECT_EQ(ZoomEd->text(), "1000");
    EXPECT_EQ(log, (Log{"ZoomOutEd:1", "ZoomEd:1000"}));
}

TEST_F(SpinFields, ChangeFiresInsideTheWriteEvenWhileHidden) {
    ASSERT_FALSE(window.isVisible());
    QString seen;
    QObject::connect(Maskwidth, &TRxSpinEdit::OnChange, [&] { seen = Maskwidth->text(); });
    Maskwidth->setValue(30);
    EXPECT_EQ(seen, "30");  // the handler has run before setValue returned
}

TEST_F(SpinFields, StepsClampAndFireOneEventUnlessAtABound) {
    ZoomEd->setValue(1000);
    Maskwidth->setValue(3);
    log.clear();
    ZoomEd->stepUp();
    EXPECT_EQ(ZoomEd->text(), "1000");
    EXPECT_TRUE(log.empty());

    Maskwidth->stepDown();
    EXPECT_EQ(Maskwidth->text(), "0");
    EXPECT_TRUE(Maskwidth->isModified());
    RotED->setText("");  // a step from an unreadable text starts at the minimum
    RotED->stepUp();
    EXPECT_EQ(RotED->text(), "-999");
    EXPECT_EQ(log, (Log{"Maskwidth:0", "RotED:-1000", "RotED:-999"}));
}

TEST_F(SpinFields, TypingIsFilteredButNotBounded) {
    typeOver(ZoomEd, "5000");
    EXPECT_EQ(log, (Log{"ZoomEd:5", "ZoomEd:50", "ZoomEd:500", "ZoomEd:5000"}));

    log.clear();
    QTest::keyClicks(ZoomEd, ".a ,");
    EXPECT_EQ(ZoomEd->text(), "5000");
    EXPECT_EQ(beeps, 4);
    QTest::keyClick(ZoomEd, Qt::Key_Backspace);
    QTest::keyClick(ZoomEd, Qt::Key_Minus);
    EXPECT_EQ(ZoomEd->text(), "500-");
    EXPECT_EQ(log, (Log{"ZoomEd:500", "ZoomEd:1"}));
    EXPECT_EQ(beeps, 4);

    // Text committed by an input method passes the same filter.
    QInputMethodEvent commit;
    commit.setCommitString("7x8");
    QApplication::sendEvent(ZoomEd, &commit);
    EXPECT_EQ(ZoomEd->text(), "500-78");
    EXPECT_EQ(beeps, 5);
}

TEST_F(SpinFields, ArrowKeysStepAndDialogKeysGoToTheWindow) {
    std::vector<int> windowKeys;
    struct KeyWatcher : QObject {
        std::vector<int>* keys;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) keys->push_back(static_cast<QKeyEvent*>(e)->key());
            return false;
        }
    } watcher;
    watcher.keys = &windowKeys;
    window.installEventFilter(&watcher);

    for (auto key :
         {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(Maskwidth, key);
    EXPECT_EQ(Maskwidth->text(), "25");
    EXPECT_EQ(log, (Log{"Maskwidth:25", "Maskwidth:30", "Maskwidth:25"}));
    EXPECT_EQ(windowKeys, (std::vector<int>{Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}));
}

TEST_F(SpinFields, LeavingWritesBackAndKeyboardEntrySelectsAll) {
    showActive();
    ZoomEd->setFocus();
    typeOver(ZoomEd, "5000");
    RotED->setFocus();
    EXPECT_EQ(ZoomEd->text(), "1000");
    RotED->selectAll();
    QTest::keyClick(RotED, Qt::Key_Backspace);
    QTest::keyClick(RotED, Qt::Key_Tab);
    EXPECT_EQ(RotED->text(), "-1000");
    EXPECT_EQ(log, (Log{"ZoomEd:5", "ZoomEd:50", "ZoomEd:500", "ZoomEd:5000", "ZoomEd:1000",
                        "RotED:-1000", "RotED:-1000"}));

    ASSERT_TRUE(QApplication::focusWidget() != RotED);
    auto* entered = static_cast<QLineEdit*>(QApplication::focusWidget());
    EXPECT_EQ(entered->selectedText(), entered->text());
}

TEST_F(SpinFields, PasteThatIsNoNumberRestoresThePreviousValue) {
    showActive();
    ZoomEd->setFocus();
    typeOver(ZoomEd, "5000");
    log.clear();
    QGuiApplication::clipboard()->setText("abc");
    ZoomEd->selectAll();
    QTest::keyClick(ZoomEd, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ZoomEd->text(), "1000");  // the value held before, written through the bounds
    EXPECT_EQ(log, (Log{"ZoomEd:1", "ZoomEd:1000"}));

    QGuiApplication::clipboard()->setText("2.5e1");  // a number, though not a whole one
    ZoomEd->selectAll();
    QTest::keyClick(ZoomEd, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ZoomEd->text(), "2.5e1");

    // The context menu's paste follows the same rule.
    QGuiApplication::clipboard()->setText("x9");
    ZoomEd->selectAll();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, {5, 5},
                                ZoomEd->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(ZoomEd, &menuEvent);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    const auto actions = menu->actions();
    const auto pasteAction = std::find_if(
        actions.begin(), actions.end(), [](QAction* a) { return a->text().startsWith("&Paste"); });
    ASSERT_NE(pasteAction, actions.end());
    (*pasteAction)->trigger();
    menu->close();
    EXPECT_EQ(ZoomEd->text(), "1");  // "2.5e1" read as the minimum
}

// --- the spin button ---

TEST(RxSpinButtonGeometry, DiagonalSplitsUpperLeftFromLowerRight) {
    const QSizeF size(17, 17);
    EXPECT_EQ(RxSpinButton::partAt({8, 7.9}, size), RxSpinButton::UpPart);
    EXPECT_EQ(RxSpinButton::partAt({8, 9.1}, size), RxSpinButton::DownPart);
    EXPECT_EQ(RxSpinButton::partAt({0, 0}, size), RxSpinButton::UpPart);
    EXPECT_EQ(RxSpinButton::partAt({16.9, 0.05}, size), RxSpinButton::UpPart);
    EXPECT_EQ(RxSpinButton::partAt({16.9, 0.2}, size), RxSpinButton::DownPart);
    EXPECT_EQ(RxSpinButton::partAt({16, 16}, size), RxSpinButton::DownPart);
    EXPECT_EQ(RxSpinButton::partAt({17, 3}, size), RxSpinButton::NoPart);
    EXPECT_EQ(RxSpinButton::partAt({-1, 3}, size), RxSpinButton::NoPart);
}

class SpinButton : public SpinFields {
  protected:
    RxSpinButton* button = nullptr;
    QPoint up, down;

    void SetUp() override {
        showActive();
        button = Maskwidth->spinButton();
        up = QPoint(2, 2);
        down = QPoint(button->width() - 3, button->height() - 3);
    }

    void tick() {
        const QTimer& timer = button->repeatTimer();
        ASSERT_TRUE(timer.isActive());
        QTimerEvent event(timer.timerId());
        QApplication::sendEvent(const_cast<QTimer*>(&timer), &event);
    }
};

TEST_F(SpinButton, SitsAsASquareAtTheRightEnd) {
    const QRect r = button->geometry();
    EXPECT_EQ(r.width(), r.height());
    EXPECT_GE(r.height(), Maskwidth->height() - 6);
    EXPECT_GE(r.right(), Maskwidth->width() - 4);
}

TEST_F(SpinButton, LeftPressTakesFocusThenStepsOtherButtonsDoNotStep) {
    QTest::mousePress(button, Qt::RightButton, {}, up);
    QTest::mouseRelease(button, Qt::RightButton, {}, up);
    QTest::mouseClick(button, Qt::MiddleButton, {}, down);
    EXPECT_EQ(Maskwidth->text(), "20");
    EXPECT_FALSE(button->repeatTimer().isActive());

    ZoomEd->setFocus();
    typeOver(ZoomEd, "5000");
    log.clear();
    QTest::mouseClick(button, Qt::LeftButton, {}, up);
    EXPECT_TRUE(Maskwidth->hasFocus());
    QTest::mouseClick(button, Qt::LeftButton, {}, down);
    QTest::mouseClick(button, Qt::LeftButton, {}, down);
    // Leaving ZoomEd writes it back before the first step.
    EXPECT_EQ(log, (Log{"ZoomEd:1000", "Maskwidth:25", "Maskwidth:20", "Maskwidth:15"}));
}

TEST_F(SpinButton, HoldingRepeatsAfter400ThenEvery100MsOnThePressedPartOnly) {
    QTest::mousePress(button, Qt::LeftButton, {}, up);
    EXPECT_EQ(button->repeatTimer().interval(), RxSpinButton::kFirstRepeatMs);
    tick();
    EXPECT_EQ(button->repeatTimer().interval(), RxSpinButton::kRepeatMs);
    tick();
    EXPECT_EQ(Maskwidth->text(), "35");

    QTest::mouseMove(button, down);  // the other part: no step while there
    tick();
    QTest::mouseMove(button, QPoint(button->width() + 20, 2));  // outside: no step either
    tick();
    QTest::mouseMove(button, up);
    tick();
    QTest::mouseRelease(button, Qt::LeftButton, {}, up);
    EXPECT_FALSE(button->repeatTimer().isActive());
    EXPECT_EQ(log, (Log{"Maskwidth:25", "Maskwidth:30", "Maskwidth:35", "Maskwidth:40"}));
}

}  // namespace
