// Which of the network manager's connections count as dial-up, asked over
// D-Bus of a NetworkManager double on a private bus, the way the mail timer
// asks before a timed check, and the way the options window asks while the
// program starts: without waiting, also when the manager hangs.

#include "CharacterSink.h"
#include "DialUpConnection.h"
#include "FrmMain.h"
#include "MailWatch.h"
#include "TestRun.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QSemaphore>
#include <QStatusBar>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

using namespace kestrova;

namespace {

const QString Manager = QStringLiteral("org.freedesktop.NetworkManager");

class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QString Type READ type)
    Q_PROPERTY(uint State READ state)
public:
    FakeActiveConnection(const QString &type, uint state) : m_type(type), m_state(state) {}
    QString type() const { return m_type; }
    uint state() const { return m_state; }

private:
    QString m_type;
    uint m_state;
};

class FakeManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(QList<QDBusObjectPath> ActiveConnections READ activeConnections)
public:
    QList<QDBusObjectPath> activeConnections() const { return paths; }
    QList<QDBusObjectPath> paths;
};

// NetworkManager on the test's own session bus, answering from a thread of
// its own (the code under test blocks while it asks).
class FakeNetworkManager {
public:
    // Connections as "type:state"; "missing" lists a path with no object;
    // "nolisting" alone: the manager's own object is not there.
    explicit FakeNetworkManager(const QStringList &connections)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-nm")))
    {
        m_thread.start();
        m_manager = std::make_unique<FakeManager>();
        int n = 0;
        for (const QString &c : connections) {
            const QString path = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/%1").arg(++n);
            m_manager->paths << QDBusObjectPath(path);
            if (c == u"missing" || c == u"nolisting")
                continue;
            auto connection = std::make_unique<FakeActiveConnection>(c.section(u':', 0, 0),
                                                                     c.section(u':', 1, 1).toUInt());
            connection->moveToThread(&m_thread);
            m_bus.registerObject(path, connection.get(), QDBusConnection::ExportAllProperties);
            m_connections.push_back(std::move(connection));
        }
        m_manager->moveToThread(&m_thread);
        if (connections != QStringList{QStringLiteral("nolisting")})
            m_bus.registerObject(QStringLiteral("/org/freedesktop/NetworkManager"), m_manager.get(),
                             QDBusConnection::ExportAllProperties);
        registered = m_bus.registerService(Manager);
    }
    ~FakeNetworkManager()
    {
        release();
        m_bus.unregisterService(Manager);
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/NetworkManager"), QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-nm"));
        m_thread.quit();
        m_thread.wait();
    }
    bool registered = false;

    // The manager hangs: its thread answers nothing until release().
    void hang()
    {
        QMetaObject::invokeMethod(m_manager.get(), [this] { m_release.acquire(); }, Qt::QueuedConnection);
        m_hanging = true;
    }
    void release()
    {
        if (std::exchange(m_hanging, false))
            m_release.release();
    }

private:
    QSemaphore m_release;
    bool m_hanging = false;
    QDBusConnection m_bus;
    QThread m_thread;
    std::unique_ptr<FakeManager> m_manager;
    std::vector<std::unique_ptr<FakeActiveConnection>> m_connections;
};

QString sessionBus() { return QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS")); }

// An answer asked for without waiting, once it has come.
struct Answered {
    bool answered = false;
    std::optional<bool> up;
};

void ask(DialUp &dialUp, QObject *context, Answered *asked)
{
    dialUp.askFirstConnectionUp(context, [asked](std::optional<bool> up) {
        QVERIFY(!asked->answered);
        asked->answered = true;
        asked->up = up;
    });
}

class SilentSink final : public CharacterSink {
public:
    void show() override {}
    void play(const QString &) override {}
    void say(const QString &) override {}
    void think(const QString &) override {}
    bool shown() const override { return true; }
    void notify(const QString &, const QString &) override {}
};

} // namespace

class TestDialUp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (sessionBus().isEmpty())
            QSKIP("needs a private session bus (run under dbus-run-session)");
        // The loopback machine this runs on has no dial-up interface of its
        // own, so what the manager says decides.
        NetworkDialUp none(sessionBus());
        QCOMPARE(none.firstConnectionUp(), std::optional<bool>(false));
    }

    void networkManagerConnections_data()
    {
        QTest::addColumn<QStringList>("connections");
        QTest::addColumn<std::optional<bool>>("up");
        // NM_ACTIVE_CONNECTION_STATE: 1 activating, 2 activated.
        QTest::newRow("nothing active") << QStringList{} << std::optional<bool>(false);
        QTest::newRow("wired and wireless up") << QStringList{"802-3-ethernet:2", "802-11-wireless:2"}
                                               << std::optional<bool>(false);
        QTest::newRow("mobile broadband up") << QStringList{"802-3-ethernet:2", "gsm:2"} << std::optional<bool>(true);
        QTest::newRow("CDMA modem up") << QStringList{"cdma:2"} << std::optional<bool>(true);
        QTest::newRow("PPPoE up") << QStringList{"pppoe:2"} << std::optional<bool>(true);
        QTest::newRow("modem still dialling") << QStringList{"gsm:1"} << std::optional<bool>(false);
        QTest::newRow("VPN and Bluetooth are no dial-up") << QStringList{"vpn:2", "bluetooth:2"}
                                                          << std::optional<bool>(false);
        QTest::newRow("only the first dial-up counts") << QStringList{"gsm:1", "pppoe:2"}
                                                       << std::optional<bool>(false);
        QTest::newRow("a connection gone since it was listed")
            << QStringList{"802-3-ethernet:2", "missing", "gsm:2"} << std::optional<bool>(true);
        // The manager is there but cannot list its connections.
        QTest::newRow("no listing") << QStringList{"nolisting"} << std::optional<bool>();
    }
    void networkManagerConnections()
    {
        QFETCH(QStringList, connections);
        QFETCH(std::optional<bool>, up);
        FakeNetworkManager manager(connections);
        QVERIFY(manager.registered);
        NetworkDialUp dialUp(sessionBus());
        QCOMPARE(dialUp.firstConnectionUp(), up);
    }

    // Answered without waiting, the same connections give the same answers,
    // and the answer never comes before the asking has returned.
    void askedWithoutWaiting_data() { networkManagerConnections_data(); }
    void askedWithoutWaiting()
    {
        QFETCH(QStringList, connections);
        QFETCH(std::optional<bool>, up);
        FakeNetworkManager manager(connections);
        QVERIFY(manager.registered);
        NetworkDialUp dialUp(sessionBus());
        QObject context;
        Answered asked;
        ask(dialUp, &context, &asked);
        QVERIFY(!asked.answered);
        QTRY_VERIFY(asked.answered);
        QCOMPARE(asked.up, up);
    }

    // A manager that hangs holds up nobody: the asking returns while the
    // question is still unanswered, the answer comes once the manager
    // answers, and a manager that never does counts as a failed listing
    // when the question's time is up. A receiver gone meanwhile gets
    // nothing.
    void hangingManagerIsNotWaitedFor()
    {
        FakeNetworkManager manager({QStringLiteral("802-3-ethernet:2"), QStringLiteral("gsm:2")});
        QVERIFY(manager.registered);
        NetworkDialUp dialUp(sessionBus());
        QObject context;

        manager.hang();
        Answered late;
        ask(dialUp, &context, &late);
        QTest::qWait(300);
        QVERIFY(!late.answered);
        manager.release();
        QTRY_VERIFY(late.answered);
        QCOMPARE(late.up, std::optional<bool>(true));

        manager.hang();
        Answered never;
        ask(dialUp, &context, &never);
        auto gone = std::make_unique<QObject>();
        Answered forgotten;
        ask(dialUp, gone.get(), &forgotten);
        gone.reset();
        QTRY_VERIFY_WITH_TIMEOUT(never.answered, 10000);
        QCOMPARE(never.up, std::optional<bool>());
        QTest::qWait(100);
        QVERIFY(!forgotten.answered);
        manager.release();
    }

    // With the manager hanging the greeting is queued all the same; the
    // options window, loaded afterwards, comes at once and its status bar
    // says "Online" once the manager has answered.
    void startUpDoesNotWaitForTheManager()
    {
        FakeNetworkManager manager({QStringLiteral("pppoe:2")});
        QVERIFY(manager.registered);
        manager.hang();
        QTemporaryDir dir;
        test::TestRun run(dir.path() + QStringLiteral("/Kestrova"));
        // The program's own question, on this bus instead of the system's.
        NetworkDialUp dialUp(sessionBus());
        run.app.reset();
        AppContext context;
        context.programDir = QStringLiteral(KESTROVA_PROGRAM_DIR);
        context.userDataDir = dir.path() + QStringLiteral("/data");
        context.settings = &run.settings;
        context.platform = run.platform.services();
        context.platform.dialUp = &dialUp;
        context.characterService = &run.service;
        run.app = std::make_unique<Application>(context);

        run.app->Main();
        QVERIFY(run.log().join(u'\n').contains(QStringLiteral("Speak")));
        // The options window's load asks too, and does not wait either.
        QStatusBar *status = run.app->frmMain()->StatusMain;
        QCOMPARE(status->currentMessage(), QStringLiteral("Kestrova"));
        manager.release();
        QTRY_COMPARE(status->currentMessage(), QStringLiteral("Online"));
        QVERIFY(run.platform.messageBox.shown.isEmpty());
    }

    // The mail timer's due tick asks the manager and returns: with the
    // manager hanging, the event loop goes on while the question is open,
    // the minutes meanwhile start no check, and the answer, once it comes,
    // starts exactly one.
    void mailTimerDoesNotWaitForTheManager()
    {
        FakeNetworkManager manager({QStringLiteral("802-3-ethernet:2"), QStringLiteral("gsm:2")});
        QVERIFY(manager.registered);
        NetworkDialUp dialUp(sessionBus());
        test::FakePlatform platform;
        PlatformServices services = platform.services();
        services.dialUp = &dialUp;
        SilentSink sink;
        test::ManualTimers timers;
        MailWatch watch(services, sink, timers);
        int checks = 0;
        watch.timedCheck = [&checks] { ++checks; };
        watch.loadInterval(1);

        manager.hang();
        bool turned = false;
        QTimer::singleShot(0, [&turned] { turned = true; });
        timers.advance(MailWatch::TickMs);
        QVERIFY(watch.askingOnline());
        QTRY_VERIFY(turned);
        QTest::qWait(300);
        QVERIFY(watch.askingOnline());
        timers.advance(5 * MailWatch::TickMs);
        QCOMPARE(checks, 0);

        manager.release();
        QTRY_COMPARE(checks, 1);
        QVERIFY(!watch.askingOnline());
        QCOMPARE(int(watch.MailTicks), 0);
        QTest::qWait(100);
        QCOMPARE(checks, 1);
        QVERIFY(platform.messageBox.shown.isEmpty());
        // The next minute is due again and, the manager answering, checks.
        timers.advance(MailWatch::TickMs);
        QTRY_COMPARE(checks, 2);
    }

    void withoutTheManagerNoDialUpIsUp()
    {
        NetworkDialUp dialUp(sessionBus());
        QCOMPARE(dialUp.firstConnectionUp(), std::optional<bool>(false));
        // An address where nobody listens: the same, without waiting.
        QElapsedTimer clock;
        clock.start();
        NetworkDialUp nowhere(QStringLiteral("unix:path=/nonexistent/bus"));
        QCOMPARE(nowhere.firstConnectionUp(), std::optional<bool>(false));
        QVERIFY(clock.elapsed() < 1000);
    }
};

QTEST_MAIN(TestDialUp)
#include "test_dialup.moc"
