#include "SingleInstance.h"

#include <QCoreApplication>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
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

// Whether the lock and the socket may live in the folder: a folder, not a
// link to one, of this user, that no one else can put things into. Empty
// when it may, else why not.
QString unfitFolder(const QString &dir)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(dir).constData(), &info) != 0)
        return errnoText();
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("not a folder");
    if (info.st_uid != ::getuid())
        return QStringLiteral("it belongs to another user");
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("other users can write into it");
    return {};
}

} // namespace

QString SingleInstance::sessionFolder(const QString &runtimeDir, QString *problem)
{
    QStringList refused;
    if (QDir::isAbsolutePath(runtimeDir)) {
        const QString why = unfitFolder(runtimeDir);
        if (why.isEmpty())
            return runtimeDir;
        refused << QStringLiteral("%1: %2").arg(runtimeDir, why);
    }
    // Without a runtime folder of the user's own (never the current
    // folder): one of ours, made for this and for no one else.
    const QString name = QStringLiteral("kestrova-%1").arg(::getuid());
    const QString bases[] = {QDir::tempPath(), QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)};
    for (const QString &base : bases) {
        if (!QDir::isAbsolutePath(base))
            continue;
        const QString dir = QDir(base).filePath(name);
        QDir().mkpath(base);
        if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST) {
            refused << QStringLiteral("%1: %2").arg(dir, errnoText());
            continue;
        }
        const QString why = unfitFolder(dir);
        if (why.isEmpty())
            return dir;
        refused << QStringLiteral("%1: %2").arg(dir, why);
    }
    if (problem)
        *problem = QStringLiteral("No private folder for the session's lock (%1)").arg(refused.join(QStringLiteral("; ")));
    return {};
}

SingleInstance::SingleInstance(const QString &runtimeDir, QObject *parent) : QObject(parent)
{
    const QString dir = sessionFolder(runtimeDir, &m_problem);
    if (dir.isEmpty())
        return;
    const QString base = QStringLiteral("kestrova-%1").arg(::getuid());
    m_socketPath = QDir(dir).filePath(base + QStringLiteral(".socket"));
    m_lockPath = QDir(dir).filePath(base + QStringLiteral(".lock"));
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
    const auto tr = [](const char *text) { return QCoreApplication::translate("kestrova::SingleInstance", text); };
    if (pid > 0)
        return tr("Kestrova is already running (process %1), but it does not answer.").arg(pid) + u' '
            + tr("Wait for it, or end it (kill %1), then start Kestrova again.").arg(pid);
    return tr("Kestrova is already running, but it does not answer.") + u' '
        + tr("Wait for it, or end it, then start Kestrova again.");
}

SingleInstance::LockResult SingleInstance::takeLock()
{
    if (m_lockPath.isEmpty())
        return LockResult::Failed;
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
    if (info.st_uid != ::getuid()) {
        m_problem = QStringLiteral("%1 belongs to another user").arg(m_lockPath);
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
