// Kestrova: a desktop assistant. An animated character stands on the
// desktop, greets its user, speaks, and offers everyday tasks.

#include "Application.h"
#include "PasswordStore.h"
#include "SettingsStore.h"
#include "StatusIcon.h"
#include "SystemPlatform.h"
#include "Translations.h"
#include "LogLines.h"
#include "LeftBehind.h"
#include "DisplayGone.h"
#include "MailboxModule.h"
#include "DialUpConnection.h"
#include "UnixSignals.h"
#include "QuitWatchdog.h"
#include "desktop/DesktopCharacterService.h"
#include "BenchProbe.h"
#include "DesktopLook.h"
#include "SingleInstance.h"
#include "WordProcessorModule.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

bool hasEnv(const char *name)
{
    return !qEnvironmentVariableIsEmpty(name);
}

// The character places itself on the screen and stays on top of other
// windows; Wayland lets a client do neither, so under Wayland the program
// asks for the X11 platform, which XWayland provides.
void choosePlatform()
{
    if (hasEnv("QT_QPA_PLATFORM"))
        return;
    if (hasEnv("WAYLAND_DISPLAY") || qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland")
        qputenv("QT_QPA_PLATFORM", "xcb");
}

int run(int argc, char *argv[])
{
    kestrova::platform::installPrintableLogs();
    kestrova::platform::endAtOnceWhenTheDisplayGoes();
    choosePlatform();
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool headlessPlatform = platform.startsWith("offscreen") || platform.startsWith("minimal");
    if (!hasEnv("DISPLAY") && !headlessPlatform) {
        std::fputs("Kestrova needs a graphical desktop, and no X display was found"
                   " (DISPLAY is not set).\n", stderr);
        return 2;
    }

    // One program per user session: a second start hands over to the
    // running one and ends before it reads or writes any setting, and
    // before the costs of a desktop application are paid.
    kestrova::SingleInstance session(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    switch (session.claim()) {
    case kestrova::SingleInstance::Outcome::HandedOver:
        return 0;
    case kestrova::SingleInstance::Outcome::NotAnswering: {
        // The box speaks the user's language: its catalogue is installed
        // before the text is made.
        std::optional<QApplication> qapp;
        if (!headlessPlatform) {
            qapp.emplace(argc, argv);
            kestrova::Translations::install(QLocale::system().uiLanguages());
        }
        const QString text = kestrova::SingleInstance::notAnsweringText(session.holderPid());
        std::fprintf(stderr, "%s\n", qPrintable(text));
        if (qapp)
            QMessageBox::warning(nullptr, QStringLiteral("Kestrova"), text);
        return 1;
    }
    case kestrova::SingleInstance::Outcome::First:
        break;
    }

    // The desktop's colours, accent and font, read from what it publishes
    // and applied to a style of our own, without loading a toolkit; the
    // user's own platform theme, or KDE's, is left to do that instead.
    const bool followDesktop = !headlessPlatform && kestrova::DesktopLook::choosePlatformTheme();
    QApplication qapp(argc, argv);
    // Before any window or sentence is made: each takes its texts when made.
    kestrova::Translations::install(QLocale::system().uiLanguages());
    kestrova::DesktopLook::restoreDesktopName();
    kestrova::DesktopLook::Follower desktopLook;
    if (followDesktop)
        desktopLook.start();
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setApplicationVersion(QStringLiteral(KESTROVA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kestrova"));
    // The program ends when its last window is unloaded, not when the last
    // visible one closes: the host window is never shown at all.
    QApplication::setQuitOnLastWindowClosed(false);

    session.listen();

    const QString programDir = QCoreApplication::applicationDirPath();
    const QString settingsDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Kestrova");

    kestrova::SystemPlatform system;
    kestrova::SettingsStore settings(settingsDir);
    kestrova::character::DesktopCharacterService characters(programDir, settingsDir);

    kestrova::AppContext context;
    context.programDir = programDir;
    context.settings = &settings;
    kestrova::SecretStoreModule passwords(kestrova::SecretStoreModule::defaultFolders(programDir));
    context.passwords = &passwords;
    context.platform = system.services();
    kestrova::NetworkDialUp dialUp;
    kestrova::MailboxModule mailboxes;
    context.platform.dialUp = &dialUp;
    context.platform.mailboxes = &mailboxes;
    // Lives to the very end of the process: a word processor that hangs in
    // a call at shut-down keeps its thread, and the thread keeps using it.
    static kestrova::WordProcessorModule *const wordProcessor =
        new kestrova::WordProcessorModule(kestrova::WordProcessorModule::defaultFolders(programDir));
    context.platform.wordProcessor = wordProcessor;
    context.characterService = &characters;

    kestrova::Application app(context);
    session.setShowHandler([&app] { return app.showForAnotherStart(); });
    QObject::connect(&app, &kestrova::Application::finished, &qapp,
                     [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);

    // From the quit on, the farewell has 1.5 s and the whole end 1.75 s.
    kestrova::QuitWatchdog::start(1750);
    kestrova::UnixSignals unixSignals;
    bool quitting = false;
    QObject::connect(&unixSignals, &kestrova::UnixSignals::terminationRequested, &app,
                     [&app, &quitting](int signalNumber) {
                         if (quitting) {
                             // A second request does not wait for the farewell.
                             std::fputs("Kestrova: stopped without waiting for the farewell.\n", stderr);
                             std::_Exit(128 + signalNumber);
                         }
                         quitting = true;
                         std::fprintf(stderr, "Kestrova: quitting on signal %d.\n", signalNumber);
                         app.agentForm()->AgentQuit();
                     });

    app.Main();
    // The icon in the desktop's status area, where there is one.
    kestrova::StatusIcon statusIcon(app);
    QObject::connect(&app, &kestrova::Application::finished, &statusIcon, &kestrova::StatusIcon::stop);
    statusIcon.start();
    // The greeting is queued now; the start-up benchmark measures to here.
    kestrova::bench::mark();
    const int status = QApplication::exec();
    // Windows unloaded during the shut-down are deleted before the program's
    // own objects go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    const int status = run(argc, argv);
    // The program's objects are gone. A thread they left running (a voice
    // list still being made) may still be in the code of libraries that the
    // exit's teardown takes apart: then the process ends here, as it is.
    // Only the program's own streams are flushed: such a thread may hold the
    // lock of another (a speech server's socket, mid-read).
    if (kestrova::platform::leftBehind() > 0) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}
