#include "app/Application.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <exception>
#include <new>

#include "app/Interaction.h"

namespace lumivane {

QString EscapedErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

bool DeliverShowingErrors(const std::function<bool()>& deliver, Interaction& interaction,
                          QWidget* owner) {
    QString text;
    try {
        return deliver();
    } catch (const std::bad_alloc&) {
        text = QStringLiteral("Zu wenig Arbeitsspeicher");
    } catch (const std::exception& error) {
        text = QString::fromLocal8Bit(error.what());
    } catch (...) {
        text = QStringLiteral("Unbekannter Fehler");
    }
    interaction.Message(owner, QString::fromLatin1(kApplicationTitle), EscapedErrorText(text),
                        MessageIcon::Error, MessageButtons::Ok);
    return false;
}

QTranslator* LoadGermanTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void KeepDialogStateInThisRun() {
    static const QTemporaryDir runFolder(QDir::tempPath() + QStringLiteral("/lumivane-XXXXXX"));
    // Without a folder of its own the state goes nowhere rather than into the user's settings.
    const QString folder = runFolder.isValid() ? runFolder.path() : QStringLiteral("/dev/null");
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, folder);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    KeepDialogStateInThisRun();
    setApplicationName(QString::fromLatin1(kApplicationTitle));
    LoadGermanTranslations(*this);
}

TApplication::~TApplication() = default;

bool TApplication::notify(QObject* receiver, QEvent* event) {
    QtInteraction fallback;
    Interaction& shown = interaction_ ? *interaction_ : fallback;
    return DeliverShowingErrors([&] { return QApplication::notify(receiver, event); }, shown,
                                activeWindow());
}

}  // namespace lumivane
