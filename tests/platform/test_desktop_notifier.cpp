// Notifications as the desktop's notification server receives them, on a
// private session bus where the test is that server: plain or markup
// bodies, a server that never answers, and none at all.

#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace kestrova;

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

struct Received {
    QString app, icon, summary, body;
    uint replaces = 0;
    QVariantMap hints;
    int timeout = 0;
};

// The notification server, on a connection of its own to the test's bus.
class FakeServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeServer(const QString &connectionName)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
    {
    }
    ~FakeServer() override
    {
        m_bus.unregisterObject(Path);
        m_bus.unregisterService(Service);
        QDBusConnection::disconnectFromBus(m_bus.name());
    }
    bool start()
    {
        return m_bus.registerObject(Path, this, QDBusConnection::ExportAllSlots)
               && m_bus.registerService(Service);
    }

    QStringList capabilities;
    // Calls left unanswered, as a hung server leaves them.
    bool hangCapabilities = false;
    bool hangNotify = false;
    QList<Received> received;
    int capabilityQuestions = 0;

public Q_SLOTS:
    QStringList GetCapabilities()
    {
        ++capabilityQuestions;
        if (hangCapabilities)
            setDelayedReply(true);
        return capabilities;
    }
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        Q_UNUSED(actions);
        received.append({app, icon, summary, body, replaces, hints, timeout});
        if (hangNotify)
            setDelayedReply(true);
        return uint(received.size()) + 40;
    }

private:
    QDBusConnection m_bus;
};

} // namespace

class TestDesktopNotifier : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(QDBusConnection::sessionBus().isConnected()); }

    // What a sender or subject holds reaches the user as it stands: plain
    // on a plain server, escaped where the server reads the body as markup.
    void bodyAsTheServerReadsIt_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QString>("body");
        const QString sent = QStringLiteral("Ann <ann@example.org>: Tom & Jerry <b>now</b>");
        QTest::newRow("plain") << QStringList{"body"} << sent;
        QTest::newRow("markup") << QStringList{"body", "body-markup"}
                                << QStringLiteral("Ann &lt;ann@example.org&gt;: Tom &amp; Jerry &lt;b&gt;now&lt;/b&gt;");
    }
    void bodyAsTheServerReadsIt()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(QString, body);
        FakeServer server(QStringLiteral("server-") + QTest::currentDataTag());
        server.capabilities = capabilities;
        QVERIFY(server.start());
        DesktopNotifier notifier;
        QSignalSpy answered(&notifier, &DesktopNotifier::answered);
        notifier.notify(QStringLiteral("You've got mail."), QStringLiteral("Ann <ann@example.org>: Tom & Jerry <b>now</b>"));
        notifier.notify(QStringLiteral("Alarm"), QStringLiteral("Stand up"));
        QTRY_COMPARE(answered.size(), 2);
        QCOMPARE(answered.at(0).at(0).toUInt(), 41u);
        QCOMPARE(server.received.size(), 2);
        const Received &mail = server.received.at(0);
        QCOMPARE(mail.app, QStringLiteral("Kestrova"));
        QCOMPARE(mail.summary, QStringLiteral("You've got mail."));
        QCOMPARE(mail.body, body);
        QCOMPARE(mail.replaces, 0u);
        QCOMPARE(mail.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("kestrova"));
        QCOMPARE(server.received.at(1).summary, QStringLiteral("Alarm"));
        QCOMPARE(server.received.at(1).body, QStringLiteral("Stand up"));
        // Asked once for the run.
        QCOMPARE(server.capabilityQuestions, 1);
        QCOMPARE(notifier.pending(), 0);
    }

    // A server that takes the calls and never answers holds up nothing:
    // each call returns at once, the event loop runs on, and once the
    // answer is overdue the notifier asks again for the next one.
    void hungServerBlocksNothing()
    {
        FakeServer server(QStringLiteral("hung"));
        server.hangCapabilities = true;
        QVERIFY(server.start());
        DesktopNotifier notifier;
        for (int i = 0; i < DesktopNotifier::MaxWaiting + 3; ++i)
            notifier.notify(QStringLiteral("Mail not checked"), QString::number(i));
        QCOMPARE(notifier.pending(), 1);
        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        QTRY_VERIFY(ran);
        QTRY_COMPARE(server.capabilityQuestions, 1);
        QVERIFY(server.received.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(notifier.pending(), 0, DesktopNotifier::ReplyMs + 2000);
        QVERIFY(server.received.isEmpty());

        // Answering now, but hanging on the notification itself: it is
        // shown, and the next one does not wait behind it.
        server.hangCapabilities = false;
        server.hangNotify = true;
        notifier.notify(QStringLiteral("Alarm"), QStringLiteral("one"));
        QTRY_COMPARE(server.received.size(), 1);
        notifier.notify(QStringLiteral("Alarm"), QStringLiteral("two"));
        QTRY_COMPARE(server.received.size(), 2);
        QCOMPARE(server.received.at(1).body, QStringLiteral("two"));
        QCOMPARE(server.capabilityQuestions, 2);
        QTRY_COMPARE_WITH_TIMEOUT(notifier.pending(), 0, DesktopNotifier::ReplyMs + 2000);
    }

    // No notification server on the bus: nothing is shown and nothing
    // waits; one that comes later is used.
    void noServerThenOne()
    {
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(Service));
        DesktopNotifier notifier;
        notifier.notify(QStringLiteral("Alarm"), QStringLiteral("lost"));
        QTRY_COMPARE(notifier.pending(), 0);
        FakeServer server(QStringLiteral("late"));
        QVERIFY(server.start());
        notifier.notify(QStringLiteral("Alarm"), QStringLiteral("shown"));
        QTRY_COMPARE(server.received.size(), 1);
        QCOMPARE(server.received.at(0).body, QStringLiteral("shown"));
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "test_desktop_notifier.moc"
