#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace kestrova {

// One program per user session. The running program holds a lock on a file
// in the user's runtime folder for its whole life and listens on a local
// socket beside it; a second start asks it over the socket to show its
// character and then ends, having written nothing.
//
// The lock is an flock() on an open file: the kernel drops it when the
// process ends however it ends, so a crashed run never blocks the next
// start. Its socket file, left behind, is removed by the start that takes
// the lock, which is the only one that may listen there.
//
// The exchange is one line each way: the second start sends "show"; the
// running one answers "shown", or "ending" while it says goodbye (the
// second start then waits for it to end and starts in its place).
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        First,        // this start runs the program
        HandedOver,   // the running program showed its character
        NotAnswering, // another program holds the session and does not answer
    };

    // The socket and the lock live in runtimeDir (see sessionFolder); their
    // names carry the user's id.
    explicit SingleInstance(const QString &runtimeDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Bounds of a second start: how long the running program has to answer,
    // and how long one that is ending has to finish.
    struct Bounds {
        int answerMs = 3000;
        int endingMs = 15000;
    };
    // Needs no application object, so a second start ends before it makes
    // one. First keeps the lock for the life of this object.
    Outcome claim(Bounds bounds);
    Outcome claim() { return claim(Bounds{}); }
    // After First, once the application object exists: starts answering
    // other starts (through the event loop). Does nothing without the lock.
    void listen();

    // What the running program does when another start asks: shows its
    // character and returns true, or returns false while it is ending.
    void setShowHandler(std::function<bool()> handler) { m_show = std::move(handler); }

    QString socketPath() const { return m_socketPath; }
    QString lockPath() const { return m_lockPath; }
    // After NotAnswering: the process that holds the session (0 when it
    // could not be read).
    qint64 holderPid() const { return m_holderPid; }
    // Why the session could not be guarded (the start goes on anyway);
    // empty when it is.
    QString problem() const { return m_problem; }

    // Where the lock and the socket live: runtimeDir when it is a folder of
    // this user's that no one else can write into; otherwise a folder of our
    // own (mode 0700) in the temporary folder, or else in the user's cache
    // folder; never the current folder. Empty, with the problem, when there
    // is none: the start then goes on unguarded.
    static QString sessionFolder(const QString &runtimeDir, QString *problem = nullptr);

    // The message a second start shows when the running one does not answer.
    static QString notAnsweringText(qint64 pid);

private:
    enum class LockResult { Taken, Held, Failed };
    LockResult takeLock();
    // Asks the holder; "shown", "ending", or empty when there was no answer.
    QString ask(int milliseconds);
    void answer(QLocalSocket *socket);

    QString m_socketPath;
    QString m_lockPath;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
    std::function<bool()> m_show;
    qint64 m_holderPid = 0;
    QString m_problem;
};

} // namespace kestrova
