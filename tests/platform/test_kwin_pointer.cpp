// Asking KWin for the pointer's place waits for its script's answer in a
// short event loop of its own. On a private session bus the test stands in
// for a KWin that takes the script and never answers: the wait ends when
// its time is up, or at once when the program ends what waits (the quit),
// and what the quit leaves for the main loop runs only after it.

#include "KWinPointer.h"
#include "MainLoop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace kestrova;

namespace {

// KWin's scripting interface, on a connection and a thread of its own (the
// program's calls block until answered): takes every script, starts none.
class StalledKWin : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")
public:
    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

public Q_SLOTS:
    bool unloadScript(const QString &)
    {
        note("unloadScript");
        return true;
    }
    int loadScript(const QString &, const QString &)
    {
        note("loadScript");
        return 7;
    }
    void start() { note("start"); }

private:
    void note(const QString &call)
    {
        QMutexLocker lock(&m_mutex);
        m_calls << call;
    }
    mutable QMutex m_mutex;
    QStringList m_calls;
};

} // namespace

class TestKWinPointer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test needs a session bus of its own");
        m_thread.start();
        m_kwin.moveToThread(&m_thread);
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("kwin")));
        QVERIFY(m_bus->registerObject("/Scripting", &m_kwin, QDBusConnection::ExportAllSlots));
        QVERIFY(m_bus->registerService("org.kde.KWin"));
        QVERIFY(KWinPointer::available());
    }
    void cleanupTestCase()
    {
        m_bus->unregisterService("org.kde.KWin");
        QDBusConnection::disconnectFromBus(m_bus->name());
        m_thread.quit();
        m_thread.wait();
    }

    // No answer: nothing, once the time is up, and the script unloaded.
    void noAnswerInTime()
    {
        const int before = m_kwin.calls().size();
        QCOMPARE(KWinPointer::ask(200), std::nullopt);
        QCOMPARE(m_kwin.calls().mid(before), QStringList({"unloadScript", "loadScript", "start", "unloadScript"}));
    }

    // The quit comes while KWin is waited for: the wait ends there, and what
    // the quit leaves for the main loop (the windows' unload) runs after the
    // wait's own loop has returned.
    void quitEndsTheWait()
    {
        const int before = m_kwin.calls().size();
        QObject context;
        bool asking = false;
        int unloadedWhileAsking = -1;
        QElapsedTimer took;
        std::optional<QPoint> answer = QPoint(-1, -1);
        QEventLoop main;
        QTimer::singleShot(0, &main, [&] {
            asking = true;
            took.start();
            answer = KWinPointer::ask(60000);
            asking = false;
            main.quit();
        });
        QTimer::singleShot(300, &context, [&] {
            // As the quit does: what waits ends, the unload waits for the
            // main loop.
            QVERIFY(MainLoop::nested());
            MainLoop::endWaits();
            MainLoop::whenBack(&context, [&] { unloadedWhileAsking = asking ? 1 : 0; });
            QCOMPARE(unloadedWhileAsking, -1);
        });
        QTimer::singleShot(30000, &main, &QEventLoop::quit);
        main.exec();
        QCOMPARE(answer, std::nullopt);
        QVERIFY2(took.elapsed() < 30000, "the wait went on after the quit");
        QTRY_COMPARE(unloadedWhileAsking, 0);
        QCOMPARE(m_kwin.calls().mid(before).last(), QString("unloadScript"));
    }

private:
    QThread m_thread;
    StalledKWin m_kwin;
    std::unique_ptr<QDBusConnection> m_bus;
};

QTEST_MAIN(TestKWinPointer)
#include "test_kwin_pointer.moc"
