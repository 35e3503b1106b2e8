#include "StatusIcon.h"

#include "Actions.h"
#include "CharacterRef.h"
#include "Host.h"

#include <QAction>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QAbstractNativeEventFilter>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

namespace kestrova {

namespace {
Q_LOGGING_CATEGORY(lcStatusIcon, "kestrova.statusicon")

// The service a desktop's status area registers for StatusNotifierItems.
const QString Watcher = QStringLiteral("org.kde.StatusNotifierWatcher");

QIcon programIcon(const QString &programDir)
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("kestrova"));
    if (!themed.isNull())
        return themed;
    const QString own = programDir + QStringLiteral("/icons/agent.svg");
    return QFileInfo::exists(own) ? QIcon(own) : QIcon();
}

// The program's connection to the X display, or none (another platform).
xcb_connection_t *x11Connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atomNamed(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t found = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(atom);
    return found;
}

// The selection a system tray owns. The program's windows are on the
// display's first screen.
const char *const TraySelection = "_NET_SYSTEM_TRAY_S0";

// A system tray on the X display: a window owns its selection.
bool xembedTrayPresent()
{
    xcb_connection_t *c = x11Connection();
    if (!c)
        return false;
    const xcb_atom_t selection = atomNamed(c, TraySelection);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool present = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return present;
}

// A system tray that starts announces itself to every client with a
// MANAGER client message on the root window, naming its selection.
class TrayManagerFilter final : public QAbstractNativeEventFilter {
public:
    TrayManagerFilter(xcb_atom_t manager, xcb_atom_t selection, std::function<void()> arrived)
        : m_manager(manager), m_selection(selection), m_arrived(std::move(arrived))
    {
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (client->type == m_manager && client->format == 32 && client->data.data32[1] == m_selection)
            m_arrived();
        return false; // Qt's own tray code wants it too
    }

private:
    xcb_atom_t m_manager;
    xcb_atom_t m_selection;
    std::function<void()> m_arrived;
};
} // namespace

StatusIcon::StatusIcon(Host &host, QObject *parent) : QObject(parent), m_host(host)
{
    m_show = m_menu.addAction(tr("&Show"), this, [this] { m_host.AgentVisible(); });
    m_hide = m_menu.addAction(tr("&Hide"), this, [this] { m_host.agent().Hide(); });
    m_menu.addSeparator();
    m_options = m_menu.addAction(tr("&Options..."), this,
                                 [this] { m_host.actions().run(QStringLiteral("Options")); });
    m_menu.addSeparator();
    m_quit = m_menu.addAction(tr("&Quit"), this, [this] {
        // Gone with the farewell: nothing of the program is left to click.
        stop();
        m_host.AgentQuit();
    });
    connect(&m_menu, &QMenu::aboutToShow, this, &StatusIcon::updateActions);
}

StatusIcon::~StatusIcon()
{
    if (m_trayFilter && qApp)
        qApp->removeNativeEventFilter(m_trayFilter.get());
}

void StatusIcon::start()
{
    if (m_stopped)
        return;
    // Whatever comes later is heard of when it comes: the watcher of a
    // status area as it takes its name on the session bus, a host as it
    // registers with the watcher (just after it, as a rule), a system tray
    // as it announces itself on the X display. Until then nothing runs.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && !m_watcher) {
        m_watcher = new QDBusServiceWatcher(Watcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &StatusIcon::look);
        if (!bus.connect(Watcher, QStringLiteral("/StatusNotifierWatcher"), Watcher,
                         QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(look())))
            qCWarning(lcStatusIcon) << "cannot hear of a status area's host registering:" << bus.lastError().message();
    }
    watchSystemTray();
    look();
}

void StatusIcon::watchSystemTray()
{
    xcb_connection_t *c = x11Connection();
    if (!c || m_trayFilter)
        return;
    const xcb_atom_t manager = atomNamed(c, "MANAGER");
    const xcb_atom_t selection = atomNamed(c, TraySelection);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (manager == XCB_ATOM_NONE || selection == XCB_ATOM_NONE || !screen)
        return;
    // The announcement goes to the clients that hear of the root window's
    // structure; what this connection hears of it is kept.
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, screen->root), nullptr);
    if (!attributes)
        return;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    free(attributes);
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    m_trayFilter = std::make_unique<TrayManagerFilter>(manager, selection, [this] {
        // Looked at once the event is handled, not inside Qt's dispatch.
        QMetaObject::invokeMethod(this, &StatusIcon::look, Qt::QueuedConnection);
    });
    qApp->installNativeEventFilter(m_trayFilter.get());
}

void StatusIcon::stop()
{
    m_stopped = true;
    if (m_icon)
        m_icon->hide();
    m_icon.reset();
}

bool StatusIcon::shown() const
{
    return m_icon && m_icon->isVisible();
}

// Qt decides once per run whether the status area is reached through the
// session bus, the first time it is asked: asking before a host is there
// would leave the program without an icon when one comes. So it is asked
// only once a host is known to be there, on the bus or as a system tray.
void StatusIcon::look()
{
    if (m_stopped || m_icon)
        return;
    if (m_probing) {
        // Heard of while asking: the answer on its way may be older.
        m_lookAfterProbe = true;
        return;
    }
    if (xembedTrayPresent()) {
        showIcon();
        return;
    }
    if (!QDBusConnection::sessionBus().isConnected())
        return;
    // Asked without waiting; a watcher that does not answer in time counts
    // as none.
    QDBusMessage ask = QDBusMessage::createMethodCall(Watcher, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    ask << Watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    m_probing = true;
    auto *reply = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask, ProbeMs), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_probing = false;
        const QDBusPendingReply<QDBusVariant> answer = *w;
        if (!answer.isError() && answer.value().variant().toBool())
            showIcon();
        if (std::exchange(m_lookAfterProbe, false))
            look();
    });
}

void StatusIcon::showIcon()
{
    if (m_stopped || m_icon)
        return;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        qCDebug(lcStatusIcon) << "a status area is announced that Qt does not reach; waiting for the next";
        return;
    }
    m_icon = std::make_unique<QSystemTrayIcon>(programIcon(m_host.context().programDir));
    m_icon->setToolTip(tr("Kestrova"));
    updateActions();
    m_icon->setContextMenu(&m_menu);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggle();
    });
    m_icon->show();
    qCInfo(lcStatusIcon) << "status icon shown";
}

void StatusIcon::toggle()
{
    if (m_host.agent().Visible())
        m_host.agent().Hide();
    else
        m_host.AgentVisible();
}

void StatusIcon::updateActions()
{
    const bool visible = m_host.agent().Visible();
    m_show->setEnabled(!visible);
    m_hide->setEnabled(visible);
}

} // namespace kestrova
