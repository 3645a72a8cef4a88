#include "app/AboutBoxUnit.h"

#include <QDate>
#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/DibImage.h"
#include "app/Resources.h"
#include "image/Zerlin.h"
#include "platform/imagelib/codecs/decoder.h"

const char* const TAboutBox::kWebAddress = "https://www.tessaly.example/lumivane";

QString InsertYear(const QString& caption, int year) {
    QString result = caption;
    const qsizetype at = result.indexOf(QStringLiteral("XXXX"));
    if (at < 0) return QString::number(year) + result;
    return result.replace(at, 4, QString::number(year));
}

namespace {

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& geometry, const QString& text,
                  bool wrap = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setWordWrap(wrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The picture is kept as a JPEG in the resources and decoded by the image library.
QPixmap AboutPicture() {
    QFile file(QStringLiteral(":/lumivane/about.jpg"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    dib picture = lumivane::DecodeImage(lumivane::Bytes(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
    const QImage image = lumivane::DibToQImage(picture);
    FreeDib(picture);
    return QPixmap::fromImage(image);
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent), openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    lumivane::InitResources();
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(664, 453);
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 649, 385);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setAutoFillBackground(true);
    QPalette panelColours = Panel1->palette();
    panelColours.setColor(QPalette::Window, QColor(240, 202, 166));
    Panel1->setPalette(panelColours);

    ProgramIcon = MakeLabel(Panel1, "ProgramIcon", QRect(16, 40, 306, 322), QString());
    ProgramIcon->setPixmap(AboutPicture());

    ProductName = MakeLabel(Panel1, "ProductName", QRect(8, 8, 406, 27),
                            QStringLiteral("Lumivane von Tessaly Software"));
    ProductName->setFont(PixelFont(QStringLiteral("Arial Narrow"), 24, true));
    QPalette black = ProductName->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    ProductName->setPalette(black);

    Copyright = MakeLabel(Panel1, "Copyright", QRect(336, 40, 208, 13),
                          QStringLiteral("© XXXX Tessaly Software"));
    Comments = MakeLabel(Panel1, "Comments", QRect(336, 56, 257, 33),
                         QStringLiteral("Entwickelt und hergestellt von Tessaly Software. "
                                        "Post an: info@tessaly.example"),
                         true);
    Label1 = MakeLabel(Panel1, "Label1", QRect(336, 96, 283, 13),
                       QStringLiteral("Ihr Foto im schönsten Rahmen."));
    Label1->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11, true));
    Label2 = MakeLabel(Panel1, "Label2", QRect(336, 112, 238, 13),
                       QStringLiteral("Tessaly Software: Bilder mit Sorgfalt."));
    Label3 = MakeLabel(Panel1, "Label3", QRect(336, 131, 238, 121),
                       QStringLiteral("Mit Lumivane setzen Sie Ihre Fotos in Bilderrahmen, "
                                      "Passepartouts und Texturen: weich überblendet, gedreht "
                                      "und genau eingepasst. Weitere Rahmen und Neuigkeiten "
                                      "finden Sie auf www.tessaly.example."),
                       true);

    BitBtnXP1 = new QPushButton(QStringLiteral("www.tessaly.example"), Panel1);
    BitBtnXP1->setObjectName("BitBtnXP1");
    BitBtnXP1->setGeometry(336, 240, 169, 25);
    QIcon globe;
    globe.addPixmap(lumivane::Glyph(QStringLiteral("globe.png")), QIcon::Normal);
    globe.addPixmap(lumivane::Glyph(QStringLiteral("globe-disabled.png")), QIcon::Disabled);
    BitBtnXP1->setIcon(globe);
    BitBtnXP1->setIconSize(QSize(16, 16));
    BitBtnXP1->setAutoDefault(false);
    connect(BitBtnXP1, &QPushButton::clicked, this, &TAboutBox::BitBtnXP1Click);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(241, 404, 181, 37);
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TAboutBox::FormCreate() {
    Copyright->setText(InsertYear(Copyright->text(), QDate::currentDate().year()));
}

void TAboutBox::BitBtnXP1Click() {
    openUrl_(QUrl(QString::fromLatin1(kWebAddress)));
}

// Only OK and the close box close the dialog; Escape, which a dialog takes as Cancel, does not.
void TAboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
