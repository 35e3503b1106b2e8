#include "DialUpConnection.h"

#include "MessageBox.h"
#include "PlatformServices.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QNetworkInterface>

namespace kestrova {

namespace {
Q_LOGGING_CATEGORY(lcDialUp, "kestrova.dialup")

const QString Manager = QStringLiteral("org.freedesktop.NetworkManager");
// NM_ACTIVE_CONNECTION_STATE_ACTIVATED
constexpr uint Activated = 2;
// A question to the network manager waits no longer than this.
constexpr int AnswerMs = 1500;

// One property of an object of NetworkManager; an invalid value when the
// call failed.
QVariant property(QDBusConnection &bus, const QString &path, const QString &interface, const QString &name)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(Manager, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, AnswerMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCWarning(lcDialUp).noquote() << "NetworkManager did not answer for" << name << "of" << path << ":"
                                      << reply.errorMessage();
        return {};
    }
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
}
} // namespace

bool NetworkDialUp::isDialUpType(const QString &type)
{
    // Modems: mobile broadband (GSM/UMTS/LTE, CDMA) and PPP over Ethernet.
    return type == u"gsm" || type == u"cdma" || type == u"pppoe";
}

NetworkDialUp::Answer NetworkDialUp::askNetworkManager()
{
    const QString name = QStringLiteral("kestrova-dialup");
    QDBusConnection bus = m_busAddress.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, name)
                                                 : QDBusConnection::connectToBus(m_busAddress, name);
    struct Disconnect {
        QString name;
        ~Disconnect() { QDBusConnection::disconnectFromBus(name); }
    } disconnect{name};
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(Manager))
        return Answer::NoManager;
    const QVariant listed = property(bus, QStringLiteral("/org/freedesktop/NetworkManager"), Manager,
                                     QStringLiteral("ActiveConnections"));
    if (!listed.isValid())
        return Answer::Failed;
    QList<QDBusObjectPath> paths;
    if (listed.canConvert<QDBusArgument>())
        qvariant_cast<QDBusArgument>(listed) >> paths;
    else
        paths = qvariant_cast<QList<QDBusObjectPath>>(listed);
    const QString active = Manager + QStringLiteral(".Connection.Active");
    for (const QDBusObjectPath &path : std::as_const(paths)) {
        // One that cannot be read has gone since it was listed.
        const QVariant type = property(bus, path.path(), active, QStringLiteral("Type"));
        if (!type.isValid() || !isDialUpType(type.toString()))
            continue;
        // Only the first dial-up connection is looked at.
        const QVariant state = property(bus, path.path(), active, QStringLiteral("State"));
        if (!state.isValid())
            return Answer::Failed;
        return state.toUInt() == Activated ? Answer::Up : Answer::Down;
    }
    return Answer::NoDialUp;
}

std::optional<bool> NetworkDialUp::firstConnectionUp()
{
    switch (askNetworkManager()) {
    case Answer::Up:
        return true;
    case Answer::Down:
        return false;
    case Answer::Failed:
        return std::nullopt;
    case Answer::NoManager:
    case Answer::NoDialUp:
        break;
    }
    // A link made outside the network manager (pppd by hand).
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        const bool dialUp = i.type() == QNetworkInterface::Ppp
                            || (flags.testFlag(QNetworkInterface::IsPointToPoint) && i.name().startsWith(u"ppp"));
        if (!dialUp)
            continue;
        // Only the first dial-up connection is looked at.
        return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning);
    }
    return false;
}

bool DialUpConnection::IsOnline(const PlatformServices &platform)
{
    if (!platform.dialUp)
        return false;
    const std::optional<bool> up = platform.dialUp->firstConnectionUp();
    if (!up) {
        if (platform.messageBox)
            platform.messageBox->show(QStringLiteral("ERROR"), QStringLiteral("Kestrova"));
        return false;
    }
    return *up;
}

} // namespace kestrova
