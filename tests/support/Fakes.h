#pragma once

#include "Clipboard.h"
#include "Clock.h"
#include "MailFakes.h"
#include "MessageBox.h"
#include "MousePointer.h"
#include "Notifier.h"
#include "OpenFileDialog.h"
#include "PlatformServices.h"
#include "Random.h"
#include "Shell.h"
#include "WordFakes.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

namespace kestrova::test {

// A clock that says what the test sets. Setting `time` is time passing as
// the timers see it too; set() moves the clock apart from the timers, as a
// change of the time or a resume from a suspend does, and wakes its wall
// wake-ups the way the kernel does then (as set). A wall wake-up whose
// moment is merely reached by setting `time` does not fire: the timers
// stand for that.
class FakeClock : public Clock {
public:
    QDateTime time = QDateTime(QDate(2026, 12, 6), QTime(9, 5));
    QDateTime now() const override { return time; }

    std::unique_ptr<WallTimer> wallTimer(std::function<void(bool clockSet)> onWake) const override
    {
        return std::make_unique<Wall>(m_walls, std::move(onWake));
    }
    void set(const QDateTime &to)
    {
        time = to;
        const QList<Wall *> armed = m_walls;
        for (Wall *wall : armed)
            if (m_walls.contains(wall) && wall->armed.isValid()) {
                wall->armed = QDateTime();
                wall->onWake(true);
            }
    }
    // The machine slept for a while: the clock moves on, the timers do not.
    void suspend(qint64 ms) { set(time.addMSecs(ms)); }
    // Wall wake-ups armed.
    int wallsArmed() const
    {
        int n = 0;
        for (const Wall *wall : m_walls)
            n += wall->armed.isValid() ? 1 : 0;
        return n;
    }

private:
    struct Wall final : WallTimer {
        Wall(QList<Wall *> &all, std::function<void(bool)> wake) : walls(all), onWake(std::move(wake)) { walls << this; }
        ~Wall() override { walls.removeAll(this); }
        void start(const QDateTime &when) override { armed = when; }
        void stop() override { armed = QDateTime(); }
        bool isActive() const override { return armed.isValid(); }
        QList<Wall *> &walls;
        std::function<void(bool)> onWake;
        QDateTime armed;
    };
    mutable QList<Wall *> m_walls;
};

class FakeMousePointer : public MousePointer {
public:
    QPoint where{50, 300};
    // The desktop does not tell where the pointer is (where stays the last place).
    bool unseen = false;
    QPoint position() const override { return where; }
    std::optional<QPoint> seen() const override { return unseen ? std::nullopt : std::optional<QPoint>(where); }
};

// Hands out the numbers the test queues, then `fallback` for ever.
class FakeRandom : public Random {
public:
    QList<double> queued;
    double fallback = 0.0;
    QList<unsigned int> seeds;
    double next() override { return queued.isEmpty() ? fallback : queued.takeFirst(); }
    void seed(unsigned int value) override { seeds << value; }
};

// Writes down what it was asked to open.
class RecordingShell : public Shell {
public:
    QStringList opened;
    bool succeeds = true;
    // Why it fails while it does.
    OpenFailure failure = OpenFailure::NotStarted;
    OpenFailure lastFailure() const override { return failure; }
    // File name endings (".chm") no application of the desktop claims;
    // every other kind of document has a handler.
    QStringList unhandled;
    // The documents it was asked about.
    QStringList asked;
    bool open(const QString &target) override
    {
        opened << target;
        return succeeds;
    }
    bool canOpenDocument(const QString &path) override
    {
        asked << path;
        for (const QString &ending : unhandled)
            if (path.endsWith(ending))
                return false;
        return true;
    }
};

// Writes down every message box as "title: text"; returns at once, as if
// the user had pressed OK, after whileShown where a test sets it: what
// happens while the box waits for the user.
class RecordingMessageBox : public MessageBox {
public:
    QStringList shown;
    std::function<void()> whileShown;
    void show(const QString &text, const QString &title) override
    {
        shown << title + QStringLiteral(": ") + text;
        if (whileShown)
            whileShown();
    }
};

// Answers with the files the test queues, then with the empty text (the
// user cancelled); writes down what it was asked. whileOpen, where a test
// sets it, is what happens while the dialog waits for the user.
class FakeOpenFileDialog : public OpenFileDialog {
public:
    QStringList answers;
    struct Asked {
        QString title, filter, initialFile;
    };
    QList<Asked> asked;
    std::function<void()> whileOpen;
    QString getOpenFileName(const QString &title, const QString &filter, const QString &initialFile) override
    {
        asked.append({title, filter, initialFile});
        if (whileOpen)
            whileOpen();
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// Holds the texts the test puts there: the clipboard's and the selection's.
class FakeClipboard : public Clipboard {
public:
    QString contents;
    QString selection;
    QString text() const override { return contents; }
    // The selection's answer, given at once unless `answerLater` is set;
    // then the handlers wait for answerSelection(). No value: the owner
    // did not answer.
    std::optional<QString> selectionAnswer() const
    {
        return unreadable ? std::nullopt : std::optional<QString>(selection);
    }
    void readSelectedText(QObject *context, SelectedTextHandler done) override
    {
        if (answerLater) {
            waiting.append({context, context != nullptr, std::move(done)});
            return;
        }
        done(selectionAnswer());
    }
    void answerSelection()
    {
        const auto handlers = std::exchange(waiting, {});
        for (const auto &w : handlers) {
            if (!w.guarded || w.context)
                w.done(selectionAnswer());
        }
    }
    // The clipboard's text as read by readClipboardText(): given at once;
    // no value when `clipboardUnreadable` is set.
    void readClipboardText(QObject *, SelectedTextHandler done) override
    {
        done(clipboardUnreadable ? std::nullopt : std::optional<QString>(contents));
    }
    bool clipboardUnreadable = false;
    bool unreadable = false;
    bool answerLater = false;
    struct Waiting {
        QPointer<QObject> context;
        bool guarded;
        SelectedTextHandler done;
    };
    QList<Waiting> waiting;
};

// Keeps each notification as "summary | body".
class RecordingNotifier : public Notifier {
public:
    QStringList shown;
    void notify(const QString &summary, const QString &body) override
    {
        shown << summary + QStringLiteral(" | ") + body;
    }
};

// The doubles of every platform service, wired into one PlatformServices.
struct FakePlatform {
    FakeClock clock;
    FakeMousePointer mousePointer;
    FakeRandom random;
    RecordingShell shell;
    RecordingMessageBox messageBox;
    FakeOpenFileDialog openFileDialog;
    FakeClipboard clipboard;
    FakeDialUp dialUp;
    FakeMailboxFactory mailboxes;
    FakeWordProcessor wordProcessor;
    RecordingNotifier notifier;
    PlatformServices services()
    {
        PlatformServices s{&clock, &mousePointer, &random, &shell, &messageBox, &openFileDialog};
        s.clipboard = &clipboard;
        s.dialUp = &dialUp;
        s.mailboxes = &mailboxes;
        s.wordProcessor = &wordProcessor;
        s.notifier = &notifier;
        return s;
    }
};

} // namespace kestrova::test
