#include "DialUpConnection.h"

#include "MessageBox.h"
#include "PlatformServices.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QPointer>

#include <utility>

namespace kestrova {

namespace {
Q_LOGGING_CATEGORY(lcDialUp, "kestrova.dialup")

const QString Manager = QStringLiteral("org.freedesktop.NetworkManager");
const QString ActiveConnection = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
// NM_ACTIVE_CONNECTION_STATE_ACTIVATED
constexpr uint Activated = 2;
// A question to the network manager waits no longer than this.
constexpr int AnswerMs = 1500;

QAtomicInt questionsAsked;
} // namespace

// One question to NetworkManager: the active connections, then the type of
// each until the first dial-up one, then that one's state. Every step is
// an asynchronous call; a question that waits (`wait`) blocks on each
// answer in turn instead of taking it from the event loop.
class NetworkDialUp::Question : public QObject {
public:
    Question(const QString &busAddress, bool wait)
        : m_name(QStringLiteral("kestrova-dialup-%1").arg(questionsAsked.fetchAndAddRelaxed(1))),
          m_bus(busAddress.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_name)
                                     : QDBusConnection::connectToBus(busAddress, m_name)),
          m_wait(wait)
    {
    }
    ~Question() override { QDBusConnection::disconnectFromBus(m_name); }

    // `finish` gets the answer once, maybe before this returns.
    void start(std::function<void(Answer)> finish)
    {
        m_finish = std::move(finish);
        if (!m_bus.isConnected()) {
            done(Answer::NoManager);
            return;
        }
        get(QStringLiteral("/org/freedesktop/NetworkManager"), Manager, QStringLiteral("ActiveConnections"),
            &Question::listed);
    }

private:
    using Step = void (Question::*)(const QDBusMessage &reply);

    void get(const QString &path, const QString &interface, const QString &name, Step next)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(Manager, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("Get"));
        call << interface << name;
        // Where NetworkManager is not running it is not started for this.
        call.setAutoStartService(false);
        QDBusPendingCall pending = m_bus.asyncCall(call, AnswerMs);
        if (m_wait) {
            pending.waitForFinished();
            (this->*next)(pending.reply());
            return;
        }
        auto *watcher = new QDBusPendingCallWatcher(pending, this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, next] {
            watcher->deleteLater();
            (this->*next)(watcher->reply());
        });
    }

    // The property's value; an invalid one when the call failed.
    static QVariant value(const QDBusMessage &reply, const QString &what)
    {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            qCWarning(lcDialUp).noquote() << "NetworkManager did not answer for" << what << ":" << reply.errorMessage();
            return {};
        }
        return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
    }

    void listed(const QDBusMessage &reply)
    {
        // Nobody has the manager's name: no NetworkManager on this bus.
        if (reply.type() == QDBusMessage::ErrorMessage
            && (reply.errorName() == u"org.freedesktop.DBus.Error.ServiceUnknown"
                || reply.errorName() == u"org.freedesktop.DBus.Error.NameHasNoOwner")) {
            done(Answer::NoManager);
            return;
        }
        const QVariant listing = value(reply, QStringLiteral("the active connections"));
        if (!listing.isValid()) {
            done(Answer::Failed);
            return;
        }
        if (listing.canConvert<QDBusArgument>())
            qvariant_cast<QDBusArgument>(listing) >> m_paths;
        else
            m_paths = qvariant_cast<QList<QDBusObjectPath>>(listing);
        askNextType();
    }

    void askNextType()
    {
        if (m_next >= m_paths.size()) {
            done(Answer::NoDialUp);
            return;
        }
        m_current = m_paths.at(m_next++).path();
        get(m_current, ActiveConnection, QStringLiteral("Type"), &Question::typed);
    }

    void typed(const QDBusMessage &reply)
    {
        // One that cannot be read has gone since it was listed.
        const QVariant type = value(reply, QStringLiteral("the type of ") + m_current);
        if (!type.isValid() || !isDialUpType(type.toString())) {
            askNextType();
            return;
        }
        // Only the first dial-up connection is looked at.
        get(m_current, ActiveConnection, QStringLiteral("State"), &Question::stated);
    }

    void stated(const QDBusMessage &reply)
    {
        const QVariant state = value(reply, QStringLiteral("the state of ") + m_current);
        if (!state.isValid())
            done(Answer::Failed);
        else
            done(state.toUInt() == Activated ? Answer::Up : Answer::Down);
    }

    void done(Answer answer)
    {
        if (m_finish)
            std::exchange(m_finish, nullptr)(answer);
    }

    QString m_name;
    QDBusConnection m_bus;
    bool m_wait;
    std::function<void(Answer)> m_finish;
    QList<QDBusObjectPath> m_paths;
    qsizetype m_next = 0;
    QString m_current;
};

bool NetworkDialUp::isDialUpType(const QString &type)
{
    // Modems: mobile broadband (GSM/UMTS/LTE, CDMA) and PPP over Ethernet.
    return type == u"gsm" || type == u"cdma" || type == u"pppoe";
}

std::optional<bool> NetworkDialUp::firstConnectionUp()
{
    Answer answer = Answer::Failed;
    Question question(m_busAddress, true);
    question.start([&answer](Answer a) { answer = a; });
    return conclude(answer);
}

void NetworkDialUp::askFirstConnectionUp(QObject *context, std::function<void(std::optional<bool>)> done)
{
    auto *question = new Question(m_busAddress, false);
    QPointer<QObject> receiver(context);
    question->start([question, receiver, done = std::move(done)](Answer answer) {
        question->deleteLater();
        if (!receiver)
            return;
        // Always later, and on the receiver's own thread.
        QMetaObject::invokeMethod(receiver.data(), [done, up = conclude(answer)] { done(up); }, Qt::QueuedConnection);
    });
}

std::optional<bool> NetworkDialUp::conclude(Answer answer)
{
    switch (answer) {
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

void DialUpConnection::AskIsOnline(const PlatformServices &platform, QObject *context,
                                   std::function<void(bool online)> done)
{
    if (!platform.dialUp) {
        done(false);
        return;
    }
    MessageBox *box = platform.messageBox;
    platform.dialUp->askFirstConnectionUp(context, [box, done = std::move(done)](std::optional<bool> up) {
        if (!up && box)
            box->show(QStringLiteral("ERROR"), QStringLiteral("Kestrova"));
        done(up.value_or(false));
    });
}

} // namespace kestrova
