#pragma once

// One of the hostile mail servers of these tests (pop3_misbehaving.py,
// imap_misbehaving.py, on hostile_server.py) as a process of the test's own
// on loopback: it records what it receives in a file of the test's folder,
// and is killed when this goes.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kestrova::test {

class HostilePeer {
public:
    // `script` in `mode`, with `arguments` after the record's; the record is
    // folder/<name>-<n>.txt, n counting the peers of the run.
    HostilePeer(const QString &script, const QString &mode, const QString &folder, const QString &name,
                const QStringList &arguments)
        : m_record(folder + QStringLiteral("/%1-%2.txt").arg(name).arg(++s_runs))
    {
        m_process.start(QStringLiteral("python3"),
                        QStringList{script, mode, QStringLiteral("--record"), m_record} + arguments);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            port = m_process.readLine().trimmed().toInt();
    }
    ~HostilePeer()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    HostilePeer(const HostilePeer &) = delete;
    HostilePeer &operator=(const HostilePeer &) = delete;

    // All it received so far, one line a line of the conversation.
    QByteArray received() const
    {
        QFile f(m_record);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Where it listens; 0 when it did not start.
    int port = 0;

private:
    static inline int s_runs = 0;
    QString m_record;
    QProcess m_process;
};

} // namespace kestrova::test
