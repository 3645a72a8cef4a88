// Program entry: the application, the main window (which loads the start-up pictures while it
// is still hidden), the information dialog, and the event loop.
#include <QStringList>

#include "app/AboutBoxUnit.h"
#include "app/Application.h"
#include "app/MainUnit.h"

int main(int argc, char* argv[]) {
    lumivane::TApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();  // the program's own path

    TMainForm MainForm(QCoreApplication::applicationFilePath(), arguments);
    app.SetInteraction(&MainForm.interaction());
    TAboutBox AboutBox;
    MainForm.SetAboutBox(&AboutBox);

    MainForm.show();
    const int result = app.exec();
    app.SetInteraction(nullptr);
    return result;
}
