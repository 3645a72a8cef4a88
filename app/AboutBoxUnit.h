// The information dialog: the program's picture, the maker, a rights notice with the current
// year and a button that opens the maker's web page.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// The caption with the first "XXXX" replaced by the year; without "XXXX" the year goes in front.
QString InsertYear(const QString& caption, int year);

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    static const char* const kWebAddress;

    explicit TAboutBox(QWidget* parent = nullptr);

    // How the web page is opened; the desktop's URL handler unless replaced (tests do).
    void SetUrlOpener(std::function<void(const QUrl&)> opener) { openUrl_ = std::move(opener); }

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Copyright;
    QLabel* Comments;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QPushButton* BitBtnXP1;
    QPushButton* BitBtn1;

  public slots:
    void FormCreate();
    void BitBtnXP1Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::function<void(const QUrl&)> openUrl_;
};
