#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace kestrova {

Q_LOGGING_CATEGORY(lcNotify, "kestrova.notify")

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// As the program names its launcher to the desktop (QGuiApplication::desktopFileName).
const QString DesktopEntry = QStringLiteral("kestrova");
} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent) {}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        qCInfo(lcNotify).noquote() << "no session bus; not shown:" << summary << body;
        return;
    }
    // Whether the body is read as markup decides how it is written: a
    // sender's "<b>" or "&" must reach the user as typed.
    if (m_markup == Markup::Yes || m_markup == Markup::No) {
        send(summary, body);
        return;
    }
    if (m_waiting.size() >= MaxWaiting)
        m_waiting.removeFirst();
    m_waiting.append({summary, body});
    if (m_markup == Markup::Unknown)
        askCapabilities();
}

void DesktopNotifier::askCapabilities()
{
    m_markup = Markup::Asking;
    const QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    ++m_pending;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, ReplyMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        --m_pending;
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            // No server, or one that does not answer: nothing is shown, and
            // the next notification asks again.
            qCInfo(lcNotify).noquote() << "no notification server:" << reply.error().message();
            m_markup = Markup::Unknown;
            for (const Waiting &n : std::as_const(m_waiting))
                qCInfo(lcNotify).noquote() << "not shown:" << n.summary << n.body;
            m_waiting.clear();
            return;
        }
        m_markup = reply.value().contains(QStringLiteral("body-markup")) ? Markup::Yes : Markup::No;
        const QList<Waiting> waiting = std::exchange(m_waiting, {});
        for (const Waiting &n : waiting)
            send(n.summary, n.body);
    });
}

void DesktopNotifier::send(const QString &summary, const QString &body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), DesktopEntry);
    // The summary is always plain text; the body is markup where the server
    // reads it so.
    call << QStringLiteral("Kestrova") << uint(0) << QStringLiteral("kestrova") << summary
         << (m_markup == Markup::Yes ? body.toHtmlEscaped() : body) << QStringList() << hints << int(-1);
    ++m_pending;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, ReplyMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, summary](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        --m_pending;
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            qCInfo(lcNotify).noquote() << "notification not shown:" << summary << reply.error().message();
            // Asked again before the next one: the server may have gone.
            m_markup = Markup::Unknown;
            Q_EMIT answered(0);
            return;
        }
        Q_EMIT answered(reply.value());
    });
}

} // namespace kestrova
