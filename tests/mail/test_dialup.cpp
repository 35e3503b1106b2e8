// Which of the network manager's connections count as dial-up, asked over
// D-Bus of a NetworkManager double on a private bus, the way the mail timer
// asks before a timed check.

#include "DialUpConnection.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
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
        m_bus.unregisterService(Manager);
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/NetworkManager"), QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-nm"));
        m_thread.quit();
        m_thread.wait();
    }
    bool registered = false;

private:
    QDBusConnection m_bus;
    QThread m_thread;
    std::unique_ptr<FakeManager> m_manager;
    std::vector<std::unique_ptr<FakeActiveConnection>> m_connections;
};

QString sessionBus() { return QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS")); }

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

QTEST_GUILESS_MAIN(TestDialUp)
#include "test_dialup.moc"
