#include "app/Application.h"

#include <QLibraryInfo>
#include <QLocale>
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

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
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
