#pragma once

#include "Clipboard.h"
#include "Clock.h"
#include "DesktopNotifier.h"
#include "MessageBox.h"
#include "MousePointer.h"
#include "OpenFileDialog.h"
#include "PlatformServices.h"
#include "Random.h"
#include "Shell.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <random>
#include <thread>

namespace kestrova {

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    std::unique_ptr<WallTimer> wallTimer(std::function<void(bool clockSet)> onWake) const override
    {
        return systemWallTimer(std::move(onWake));
    }
};

class SystemMousePointer final : public MousePointer {
public:
    QPoint position() const override;
    // Under XWayland, where KWin tells it; elsewhere under XWayland nothing.
    std::optional<QPoint> seen() const override;
};

// Whether the program runs under XWayland: on Qt's X11 platform, with an X
// server that names its screens XWAYLAND0, XWAYLAND1 and so on.
bool runsUnderXWayland(const QString &platformName, const QStringList &screenNames);

// Seeded from the clock when made, so jokes differ from run to run even
// when nothing seeds the sequence later.
class SystemRandom final : public Random {
public:
    SystemRandom();
    double next() override;
    void seed(unsigned int value) override { m_engine.seed(value); }

private:
    std::mt19937 m_engine;
};

// The desktop's handlers as Qt reaches them (xdg-open on most desktops).
class QtDesktopHandlers final : public DesktopHandlers {
public:
    bool openUrl(const QUrl &url) override;
    bool openDocument(const QString &path) override;
    // Looked up in the desktop's MIME associations (DesktopApplications.h).
    bool hasDocumentHandler(const QString &path) override;
};

// The whole text is the target; nothing is split off it as arguments.
// - an existing desktop entry (".desktop", the desktop's shortcut) starts
//   the program of its Exec line;
// - an existing executable file is started directly, with no arguments;
// - any other existing file or folder opens with its associated program;
// - a text with a scheme ("https:", "mailto:", ...) or starting "www." goes
//   to the desktop's address handler;
// - a bare name is a program on PATH ("xterm"), or else an installed
//   desktop entry's id ("org.example.Viewer.desktop" or without ".desktop").
// A leading "~" is the user's home folder.
// Nothing passes through /bin/sh.
class SystemShell final : public Shell {
public:
    // The handlers are not owned; without them the desktop's own are used.
    explicit SystemShell(DesktopHandlers *handlers = nullptr);
    bool open(const QString &target) override;
    OpenFailure lastFailure() const override { return m_failure; }
    bool canOpenDocument(const QString &path) override;

private:
    bool openTarget(const QString &target);
    // A program that would not start, or a desktop handler that took
    // nothing, is the reason when `ok` is false.
    bool started(bool ok)
    {
        if (!ok)
            m_failure = OpenFailure::NotStarted;
        return ok;
    }
    bool handed(bool ok)
    {
        if (!ok)
            m_failure = OpenFailure::NoProgram;
        return ok;
    }
    QtDesktopHandlers m_qtHandlers;
    DesktopHandlers *m_handlers;
    OpenFailure m_failure = OpenFailure::NotFound;
};

// The program and arguments of a desktop entry's Exec line, with the field
// codes (%f, %U, ...) dropped and quoting undone, in the desktop's terminal
// emulator for an entry with Terminal=true; empty when the file has no usable
// Exec line, or needs a terminal and none is installed.
QStringList desktopEntryCommand(const QString &desktopFile);

class SystemMessageBox final : public MessageBox {
public:
    void show(const QString &text, const QString &title) override;
};

class SystemOpenFileDialog final : public OpenFileDialog {
public:
    QString getOpenFileName(const QString &title, const QString &filter,
                            const QString &initialFile) override;
};

// On X11 the primary selection and the clipboard are read on a thread of
// their own each, over a connection of their own, within SelectionLimits (a
// few seconds, the first 64 KB); elsewhere the clipboard's text is read at
// once.
class SystemClipboard final : public Clipboard {
public:
    SystemClipboard();
    ~SystemClipboard() override;
    SystemClipboard(const SystemClipboard &) = delete;
    SystemClipboard &operator=(const SystemClipboard &) = delete;

    QString text() const override;
    void readSelectedText(QObject *context, SelectedTextHandler done) override;
    void readClipboardText(QObject *context, SelectedTextHandler done) override;

private:
    struct Waiting {
        QPointer<QObject> context;
        bool guarded = false;
        SelectedTextHandler done;
    };
    // One X11 selection ("PRIMARY", "CLIPBOARD") and the reads of it.
    struct Reader {
        QByteArray selection;
        const char *what; // how the log names it
        QList<Waiting> waiting; // every request that came while one read ran
        std::thread thread;
    };
    void read(Reader &reader, QObject *context, SelectedTextHandler done);
    static void answer(Reader &reader, const std::optional<QString> &text);

    // Receives the reader threads' answers on the UI thread; gone with the
    // clipboard, and with it an answer not yet delivered.
    std::unique_ptr<QObject> m_home;
    Reader m_primary{QByteArrayLiteral("PRIMARY"), "selection", {}, {}};
    Reader m_clipboard{QByteArrayLiteral("CLIPBOARD"), "clipboard", {}, {}};
    int m_cancel[2] = {-1, -1}; // written to end a read at once
};

// The real platform services of a running program.
class SystemPlatform {
public:
    SystemPlatform();
    PlatformServices &services() { return m_services; }

private:
    SystemClock m_clock;
    SystemMousePointer m_pointer;
    SystemRandom m_random;
    SystemShell m_shell;
    SystemMessageBox m_messageBox;
    SystemOpenFileDialog m_openFileDialog;
    SystemClipboard m_clipboard;
    DesktopNotifier m_notifier;
    PlatformServices m_services;
};

} // namespace kestrova
