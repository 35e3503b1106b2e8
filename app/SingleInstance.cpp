#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSession, "kestrova.session")

namespace kestrova {

namespace {

const QByteArray ShowLine = "show\n";
const QByteArray ShownReply = "shown";
const QByteArray EndingReply = "ending";
// Longer lines than any of ours are not ours.
constexpr qint64 MaxLine = 64;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

SingleInstance::SingleInstance(const QString &runtimeDir, QObject *parent) : QObject(parent)
{
    const QString base = QStringLiteral("kestrova-%1").arg(::getuid());
    m_socketPath = QDir(runtimeDir).filePath(base + QStringLiteral(".socket"));
    m_lockPath = QDir(runtimeDir).filePath(base + QStringLiteral(".lock"));
}

SingleInstance::~SingleInstance()
{
    // The socket goes while the lock is still held: no start can take over
    // and find it half gone.
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString SingleInstance::notAnsweringText(qint64 pid)
{
    const QString who = pid > 0 ? QStringLiteral("Kestrova is already running (process %1), but it does not answer.").arg(pid)
                                : QStringLiteral("Kestrova is already running, but it does not answer.");
    const QString what = pid > 0 ? QStringLiteral(" Wait for it, or end it (kill %1), then start Kestrova again.").arg(pid)
                                 : QStringLiteral(" Wait for it, or end it, then start Kestrova again.");
    return who + what;
}

SingleInstance::LockResult SingleInstance::takeLock()
{
    // Not through a link, and nothing that blocks on opening (a FIFO).
    const int fd = ::open(QFile::encodeName(m_lockPath).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        m_problem = QStringLiteral("Cannot open %1: %2").arg(m_lockPath, errnoText());
        return LockResult::Failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_problem = QStringLiteral("%1 is not an ordinary file").arg(m_lockPath);
        ::close(fd);
        return LockResult::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // The holder's process id, for the message a hung run gives.
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size())
            qCWarning(lcSession).noquote() << "Cannot write the process id into" << m_lockPath;
        m_lockFd = fd;
        return LockResult::Taken;
    }
    if (errno != EWOULDBLOCK) {
        m_problem = QStringLiteral("Cannot lock %1: %2").arg(m_lockPath, errnoText());
        ::close(fd);
        return LockResult::Failed;
    }
    char text[24] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    m_holderPid = n > 0 ? QByteArray(text, int(n)).trimmed().toLongLong() : 0;
    ::close(fd);
    return LockResult::Held;
}

void SingleInstance::listen()
{
    if (m_lockFd < 0 || m_server)
        return;
    // Only the holder of the lock gets here: a socket file there now was
    // left by a run that ended without removing it.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            answer(socket);
    });
    if (!m_server->listen(m_socketPath)) {
        m_problem = QStringLiteral("Cannot listen on %1: %2").arg(m_socketPath, m_server->errorString());
        qCWarning(lcSession).noquote() << m_problem << "- a second start will not be handed over";
    }
}

void SingleInstance::answer(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A caller that says nothing is not waited for.
    QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > MaxLine)
                socket->abort();
            return;
        }
        const QByteArray line = socket->readLine(MaxLine).trimmed();
        if (line != ShowLine.trimmed() || !m_show) {
            socket->abort();
            return;
        }
        const bool shown = m_show();
        qCInfo(lcSession).noquote() << (shown ? "Another start handed over; the character is shown"
                                              : "Another start asked while the program is ending");
        socket->write((shown ? ShownReply : EndingReply) + '\n');
        socket->disconnectFromServer();
    });
}

QString SingleInstance::ask(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return {};
    socket.write(ShowLine);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return {};
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() > MaxLine || deadline.hasExpired()
            || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return {};
    }
    return QString::fromLatin1(socket.readLine(MaxLine).trimmed());
}

SingleInstance::Outcome SingleInstance::claim(Bounds bounds)
{
    QDeadlineTimer deadline(bounds.answerMs);
    bool ending = false;
    for (;;) {
        switch (takeLock()) {
        case LockResult::Taken:
            return Outcome::First;
        case LockResult::Failed:
            // Without a lock nothing can be guarded; the program runs.
            qCWarning(lcSession).noquote() << m_problem << "- not checking for another running Kestrova";
            return Outcome::First;
        case LockResult::Held:
            break;
        }
        const QString reply = ask(int(qMax<qint64>(deadline.remainingTime(), 1)));
        if (reply == QLatin1String(ShownReply))
            return Outcome::HandedOver;
        if (reply == QLatin1String(EndingReply) && !ending) {
            // Saying goodbye: this start takes over once it has ended.
            ending = true;
            deadline = QDeadlineTimer(bounds.endingMs);
        }
        if (deadline.hasExpired())
            return Outcome::NotAnswering;
        QThread::msleep(50);
    }
}

} // namespace kestrova
