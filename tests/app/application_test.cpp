#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>
#include <stdexcept>

#include "app/Application.h"
#include "tests/app/scripted_interaction.h"

using namespace lumivane;

TEST(EscapedErrorText, FullStopOnlyAfterCharactersSortingAfterIt) {
    EXPECT_EQ(EscapedErrorText("Bitmap zu groß"), "Bitmap zu groß.");
    EXPECT_EQ(EscapedErrorText("Fehler 42"), "Fehler 42.");
    EXPECT_EQ(EscapedErrorText("Fehler."), "Fehler.");
    EXPECT_EQ(EscapedErrorText("Fehler!"), "Fehler!");  // '!' sorts before '.'
    EXPECT_EQ(EscapedErrorText("(Fehler)"), "(Fehler)");
    EXPECT_EQ(EscapedErrorText("Pfad a/b"), "Pfad a/b.");  // '/' sorts after '.'
    EXPECT_EQ(EscapedErrorText(""), "");
}

TEST(DeliverShowingErrors, AnEscapedErrorIsShownAndTheProgramGoesOn) {
    ScriptedInteraction dialogs;
    const bool delivered = DeliverShowingErrors(
        []() -> bool { throw std::runtime_error("Bitmap kann nicht angelegt werden"); }, dialogs,
        nullptr);
    EXPECT_FALSE(delivered);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Lumivane");
    EXPECT_EQ(dialogs.messages[0].text, "Bitmap kann nicht angelegt werden.");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);

    // Out of memory and foreign errors get German texts; a normal delivery shows nothing.
    DeliverShowingErrors([]() -> bool { throw std::bad_alloc(); }, dialogs, nullptr);
    DeliverShowingErrors([]() -> bool { throw 7; }, dialogs, nullptr);
    EXPECT_TRUE(DeliverShowingErrors([] { return true; }, dialogs, nullptr));
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[1].text, "Zu wenig Arbeitsspeicher.");
    EXPECT_EQ(dialogs.messages[2].text, "Unbekannter Fehler.");
}

TEST(GermanTranslations, StandardButtonsSpeakGerman) {
    QTranslator* german = LoadGermanTranslations(*QCoreApplication::instance());
    ASSERT_NE(german, nullptr);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Ja");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&No"), "&Nein");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
    // The other tests look for English texts.
    QCoreApplication::removeTranslator(german);
    delete german;
}

#include "app/DeviceMessages.h"
#include "platform/gdi/gdi.h"

TEST(DeviceMessages, TheDeviceLayersBoxesGoThroughTheWindowsDialogs) {
    ScriptedInteraction dialogs;
    RouteDeviceMessages(&dialogs, nullptr);
    EXPECT_EQ(MessageBox(nullptr, "StretchDIBits failed", nullptr, MB_OK | MB_ICONERROR), IDOK);
    RouteDeviceMessages(nullptr, nullptr);
    MessageBox(nullptr, "not recorded", "x", MB_OK);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "StretchDIBits failed");
    EXPECT_EQ(dialogs.messages[0].caption, "");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
}
