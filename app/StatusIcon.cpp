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
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

#include <cstdlib>

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
// A system tray on the X display: a window owns its selection.
bool xembedTrayPresent()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    // The program's windows are on the display's first screen.
    const QByteArray name = QByteArrayLiteral("_NET_SYSTEM_TRAY_S0");
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool present = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return present;
}
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
    m_lookAgain.setInterval(LookAgainMs);
    connect(&m_lookAgain, &QTimer::timeout, this, &StatusIcon::look);
}

StatusIcon::~StatusIcon() = default;

void StatusIcon::start()
{
    if (m_stopped)
        return;
    // A status area that starts later on the session bus is seen at once;
    // a system tray that appears later, at the next look.
    if (QDBusConnection::sessionBus().isConnected() && !m_watcher) {
        m_watcher = new QDBusServiceWatcher(Watcher, QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            // The host registers itself with the watcher just after it.
            QTimer::singleShot(200, this, &StatusIcon::look);
        });
    }
    look();
}

void StatusIcon::stop()
{
    m_stopped = true;
    m_lookAgain.stop();
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
    if (m_stopped || m_icon || m_probing)
        return;
    if (xembedTrayPresent()) {
        showIcon();
        return;
    }
    if (!QDBusConnection::sessionBus().isConnected()) {
        m_lookAgain.start();
        return;
    }
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
        else if (!m_stopped && !m_icon)
            m_lookAgain.start();
    });
}

void StatusIcon::showIcon()
{
    if (m_stopped || m_icon || !QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!m_stopped && !m_icon)
            m_lookAgain.start();
        return;
    }
    m_lookAgain.stop();
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
