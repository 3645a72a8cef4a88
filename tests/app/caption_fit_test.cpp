// Every caption must fit the place the layout gives it, measured with the font the widget really
// draws with (whatever the machine substituted for the design fonts).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>

#include "app/AboutBoxUnit.h"
#include "app/MainUnit.h"
#include "tests/app/scripted_interaction.h"

namespace {

QString Describe(const QWidget* widget, const QString& text) {
    return QStringLiteral("\"%1\" in %2 (%3)")
        .arg(text, QString::fromLatin1(widget->metaObject()->className()),
             QFontInfo(widget->font()).family());
}

// A label's place ends where the next control to its right on the same line begins; a label
// sized to its text would otherwise hide the overflow under that control.
int LabelPlace(const QLabel* label) {
    const QRect own = label->geometry();
    int end = label->parentWidget()->width();
    for (const QObject* child : label->parentWidget()->children()) {
        const auto* other = qobject_cast<const QWidget*>(child);
        if (!other || other == label) continue;
        const QRect g = other->geometry();
        const bool sameLine = g.top() < own.bottom() && g.bottom() > own.top();
        if (sameLine && g.left() > own.left()) end = std::min(end, g.left());
    }
    return end - own.left();
}

void ExpectFits(const QWidget* widget, const QString& text, int needed, int place) {
    EXPECT_LE(needed, place) << Describe(widget, text).toStdString() << " needs " << needed
                             << " px, has " << place;
}

void ExpectCaptionsFit(const QWidget* root) {
    int measured = 0;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;  // the picture
        const QFontMetrics metrics(label->font());
        if (label->wordWrap()) {
            const QRect wrapped = metrics.boundingRect(QRect(0, 0, label->width(), 10000),
                                                       Qt::TextWordWrap, label->text());
            ExpectFits(label, label->text(), wrapped.height(), label->height());
        } else {
            // A label sized to its text would hide any overflow under its right neighbour.
            ExpectFits(label, label->text(), metrics.horizontalAdvance(label->text()),
                       std::min(label->width(), LabelPlace(label)));
        }
        ++measured;
    }
    for (const QCheckBox* box : root->findChildren<QCheckBox*>()) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect contents =
            box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        ExpectFits(box, box->text(), QFontMetrics(box->font()).horizontalAdvance(box->text()),
                   contents.width());
        ++measured;
    }
    for (const QPushButton* button : root->findChildren<QPushButton*>()) {
        // The button's own wish: glyph, caption and the style's margins.
        ExpectFits(button, button->text(), button->sizeHint().width(), button->width());
        ++measured;
    }
    EXPECT_GT(measured, 5);
}

}  // namespace

TEST(CaptionFit, MainWindowCaptionsFitTheirPlaces) {
    QTemporaryDir dir;
    TMainForm form(dir.filePath("lumivane"), {}, std::make_unique<lumivane::ScriptedInteraction>());
    ExpectCaptionsFit(&form);
    // Where the metric-compatible face is installed, the window draws with it.
    if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"))) {
        EXPECT_EQ(QFontInfo(form.font()).family(), "Tahoma");
    }
}

TEST(CaptionFit, InformationDialogCaptionsAndHeadlineFitTheirPlaces) {
    TAboutBox box;
    ExpectCaptionsFit(&box);  // the headline's width among them
    // Its big narrow face must not lose its descenders either.
    ExpectFits(box.ProductName, box.ProductName->text(),
               QFontMetrics(box.ProductName->font()).height(), box.ProductName->height());
}
