// The icon in the desktop's status area, seen from a status area of the
// test's own on a private session bus (the StatusNotifierWatcher a desktop
// runs), on a virtual X display: no icon while there is no status area;
// the icon once one comes; its menu, read and clicked through dbusmenu as
// the desktop's panel does, shows, hides, opens the options and quits.

#include "FrmMain.h"
#include "StatusIcon.h"
#include "TestRun.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMutex>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace kestrova;
using kestrova::test::TestRun;

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

class FakeWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registered)
public:
    FakeWatcher() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("watcher"))) {}
    ~FakeWatcher() override { QDBusConnection::disconnectFromBus(m_bus.name()); }
    bool start()
    {
        return m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)
               && m_bus.registerService(WatcherService);
    }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registered() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    QDBusConnection &bus() { return m_bus; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service)
    {
        // A service name, or a path on the caller's own connection.
        QMutexLocker lock(&m_mutex);
        m_items << (service.startsWith(u'/') ? message().service() : service);
    }
    void RegisterStatusNotifierHost(const QString &) {}

private:
    QDBusConnection m_bus;
    mutable QMutex m_mutex;
    QStringList m_items;
};

struct MenuItem {
    int id = 0;
    QVariantMap properties;
};

} // namespace

Q_DECLARE_METATYPE(MenuItem)

namespace {
const QDBusArgument &operator>>(const QDBusArgument &arg, MenuItem &item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.endStructure();
    return arg;
}
QDBusArgument &operator<<(QDBusArgument &arg, const MenuItem &item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.endStructure();
    return arg;
}
} // namespace

class TestStatusIcon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qDBusRegisterMetaType<MenuItem>();
        qDBusRegisterMetaType<QList<MenuItem>>();
        QVERIFY(QDBusConnection::sessionBus().isConnected());
    }

    void iconComesWithTheStatusAreaAndItsMenuWorks()
    {
        QTemporaryDir dir;
        TestRun run(dir.path());
        StatusIcon icon(*run.app);
        icon.start();
        // No status area yet: no icon, however long the program runs.
        QTest::qWait(500);
        QVERIFY(!icon.shown());

        // The status area answers from a thread of its own, as from a
        // process of its own: Qt asks it while it waits.
        QThread area;
        area.start();
        FakeWatcher watcher;
        watcher.moveToThread(&area);
        QVERIFY(watcher.start());
        const auto stopArea = qScopeGuard([&area] {
            area.quit();
            area.wait();
        });
        QTRY_VERIFY_WITH_TIMEOUT(icon.shown(), StatusIcon::LookAgainMs + 3000);
        QTRY_COMPARE(watcher.registered().size(), 1);
        const QString item = watcher.registered().first();

        // The item's menu, as the panel reads it.
        QDBusMessage get = QDBusMessage::createMethodCall(item, QStringLiteral("/StatusNotifierItem"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("Menu");
        const QDBusMessage menuReply = watcher.bus().call(get, QDBus::BlockWithGui, 5000);
        QCOMPARE(menuReply.type(), QDBusMessage::ReplyMessage);
        const QString menuPath =
            qvariant_cast<QDBusObjectPath>(menuReply.arguments().at(0).value<QDBusVariant>().variant()).path();
        QVERIFY(!menuPath.isEmpty());

        QDBusMessage props = QDBusMessage::createMethodCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                                            QStringLiteral("GetGroupProperties"));
        // Item ids are small numbers; asked for all of them (an empty list
        // is not taken for "all" by every exporter).
        QList<int> anyIds;
        for (int id = 0; id < 64; ++id)
            anyIds << id;
        props << QVariant::fromValue(anyIds) << QStringList{QStringLiteral("label")};
        const QDBusMessage propsReply = watcher.bus().call(props, QDBus::BlockWithGui, 5000);
        QCOMPARE(propsReply.type(), QDBusMessage::ReplyMessage);
        QList<MenuItem> items;
        propsReply.arguments().at(0).value<QDBusArgument>() >> items;
        QHash<QString, int> ids;
        for (const MenuItem &i : items) {
            const QString label = i.properties.value(QStringLiteral("label")).toString().remove(u'_');
            if (!label.isEmpty())
                ids.insert(label, i.id);
        }
        QCOMPARE(QSet<QString>(ids.keyBegin(), ids.keyEnd()),
                 (QSet<QString>{"Show", "Hide", "Options...", "Quit"}));

        // As a panel does: the menu is told it is about to show, then the
        // item is clicked.
        const auto click = [&](const QString &label) {
            QDBusMessage opening = QDBusMessage::createMethodCall(
                item, menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("AboutToShow"));
            opening << 0;
            if (watcher.bus().call(opening, QDBus::BlockWithGui, 5000).type() != QDBusMessage::ReplyMessage)
                return false;
            QDBusMessage event = QDBusMessage::createMethodCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                                                QStringLiteral("Event"));
            event << ids.value(label) << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << uint(0);
            return watcher.bus().call(event, QDBus::BlockWithGui, 5000).type() == QDBusMessage::ReplyMessage;
        };
        run.character().log.clear();
        QVERIFY(click("Show"));
        QTRY_VERIFY(run.log().contains("Show"));
        run.character().completeAll();
        QVERIFY(click("Hide"));
        QTRY_VERIFY(run.log().contains("Hide"));
        run.character().completeAll();

        // A click on the icon shows the hidden character.
        run.character().log.clear();
        QDBusMessage activate = QDBusMessage::createMethodCall(item, QStringLiteral("/StatusNotifierItem"),
                                                               QStringLiteral("org.kde.StatusNotifierItem"),
                                                               QStringLiteral("Activate"));
        activate << 10 << 10;
        watcher.bus().call(activate, QDBus::BlockWithGui, 5000);
        QTRY_COMPARE(run.log(), QStringList{"Show"});

        QVERIFY(click("Options..."));
        QTRY_VERIFY(run.app->frmMainLoaded() && run.app->frmMain()->isVisible());

        QVERIFY(click("Quit"));
        QTRY_VERIFY(!icon.shown());
        QTRY_VERIFY(run.log().contains("Hide"));
    }
};

QTEST_MAIN(TestStatusIcon)
#include "test_status_icon.moc"
