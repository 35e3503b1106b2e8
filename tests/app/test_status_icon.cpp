// The icon in the desktop's status area, seen from a status area of the
// test's own on a private session bus (the StatusNotifierWatcher a desktop
// runs), on a virtual X display: no icon while there is no status area;
// the icon once one comes; its menu, read and clicked through dbusmenu as
// the desktop's panel does, shows, hides, opens the options and quits.
// A status area or system tray that comes later is heard of as it comes,
// well before anything looking again now and then would have found it.
//
// Qt picks the kind of status area (the session bus's, or the X system
// tray) once per process: each test function runs in a process of its own.

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

#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

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
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties
                                        | QDBusConnection::ExportAllSignals)
               && m_bus.registerService(WatcherService);
    }
    bool hostRegistered() const { return m_host; }
    // A host registers: said on the bus as a watcher says it. Called on the
    // watcher's own thread.
    void registerHost()
    {
        m_host = true;
        Q_EMIT StatusNotifierHostRegistered();
    }
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

Q_SIGNALS:
    void StatusNotifierHostRegistered();

private:
    QDBusConnection m_bus;
    std::atomic<bool> m_host{false};
    mutable QMutex m_mutex;
    QStringList m_items;
};

// A system tray of the test's own on the X display, on a connection of its
// own: it takes the tray's selection, announces itself to every client as a
// tray does, and records the icons that ask to dock.
class FakeTray {
public:
    FakeTray() : m_c(xcb_connect(nullptr, nullptr)) {}
    ~FakeTray() { xcb_disconnect(m_c); }

    bool start()
    {
        if (xcb_connection_has_error(m_c))
            return false;
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_selection = atom("_NET_SYSTEM_TRAY_S0");
        m_opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
        const xcb_atom_t manager = atom("MANAGER");
        m_window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(m_c, m_window, m_selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = screen->root;
        event.type = manager;
        event.data.data32[0] = XCB_CURRENT_TIME;
        event.data.data32[1] = m_selection;
        event.data.data32[2] = m_window;
        xcb_send_event(m_c, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char *>(&event));
        xcb_flush(m_c);
        return !xcb_connection_has_error(m_c);
    }

    // The windows that asked to dock so far.
    QList<uint32_t> docked()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            const auto *client = reinterpret_cast<const xcb_client_message_event_t *>(event);
            if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE && client->type == m_opcode
                && client->data.data32[1] == 0 /* SYSTEM_TRAY_REQUEST_DOCK */)
                m_docked << client->data.data32[2];
            std::free(event);
        }
        return m_docked;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    }

    xcb_connection_t *m_c;
    xcb_window_t m_window = 0;
    xcb_atom_t m_selection = 0;
    xcb_atom_t m_opcode = 0;
    QList<uint32_t> m_docked;
};

// Anything that looked again now and then for a status area would take
// longer than this to find one that came.
constexpr int HeardOfWithinMs = 2500;

// Qt settles the kind of status area the first time an icon is made.
bool g_iconMade = false;
#define ONLY_ICON_OF_THE_PROCESS()                                                                                     \
    if (std::exchange(g_iconMade, true))                                                                               \
        QSKIP("Qt picks the kind of status area once per process: run this function alone")

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
        ONLY_ICON_OF_THE_PROCESS();
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
        const auto stopArea = qScopeGuard([&area] {
            area.quit();
            area.wait();
        });
        // The watcher comes first, with no host yet: still no icon. It is
        // put on the bus from its own thread, where its signals are relayed.
        bool started = false;
        QMetaObject::invokeMethod(&watcher, [&] { started = watcher.start(); }, Qt::BlockingQueuedConnection);
        QVERIFY(started);
        QTest::qWait(1000);
        QVERIFY(!icon.shown());
        // The panel's host registers, and the watcher says so.
        QMetaObject::invokeMethod(&watcher, [&watcher] { watcher.registerHost(); }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(icon.shown(), HeardOfWithinMs);
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

    // A desktop whose panel holds an X system tray, started after the
    // program: the icon docks there as the tray announces itself.
    void iconDocksInASystemTrayThatStartsLater()
    {
        ONLY_ICON_OF_THE_PROCESS();
        QTemporaryDir dir;
        TestRun run(dir.path());
        StatusIcon icon(*run.app);
        icon.start();
        QTest::qWait(500);
        QVERIFY(!icon.shown());

        FakeTray tray;
        QVERIFY(tray.start());
        QTRY_VERIFY_WITH_TIMEOUT(icon.shown(), HeardOfWithinMs);
        QTRY_COMPARE(tray.docked().size(), 1);

        icon.stop();
        QVERIFY(!icon.shown());
    }
};

QTEST_MAIN(TestStatusIcon)
#include "test_status_icon.moc"
