// The application object: German standard dialogs, and errors escaping an event handler shown
// in a message box while the program goes on.
#pragma once

#include <QApplication>
#include <functional>

class QTranslator;

namespace lumivane {

class Interaction;

inline constexpr const char* kApplicationTitle = "Lumivane";

// The error's text for the box: a full stop is added when the last character sorts after "."
// in character code order (so "Fehler" gets one, "Fehler." and "Fehler!" do not).
QString EscapedErrorText(const QString& message);

// Runs a delivery; an error escaping it is shown (caption "Lumivane", error icon, OK) and
// false is returned.
bool DeliverShowingErrors(const std::function<bool()>& deliver, Interaction& interaction,
                          QWidget* owner);

// Installs Qt's German translations so that standard buttons and dialogs speak German.
// Returns the installed translator (owned by `app`), or null when they are not on this machine.
QTranslator* LoadGermanTranslations(QCoreApplication& app);

// Qt's standard dialogs keep their history, last folder and custom colours in a settings file of
// the user's. This program stores nothing between runs, so that state goes into a folder that
// lives for this run only. Call before the first dialog.
void KeepDialogStateInThisRun();

class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // Where escaped errors are shown; the real message box until the main window offers its own.
    void SetInteraction(Interaction* interaction) { interaction_ = interaction; }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    Interaction* interaction_ = nullptr;
};

}  // namespace lumivane
