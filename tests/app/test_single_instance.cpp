// One program per user session: the hand-over to the running program, one
// that is ending or does not answer, what a crashed run leaves behind, and
// hostile things in the runtime folder.

#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrova;
using Outcome = SingleInstance::Outcome;

namespace {

// The running program: its SingleInstance claimed and answering on a thread
// of its own, as the event loop of the real program answers.
class Running {
public:
    Running(const QString &dir, std::function<bool(SingleInstance &)> show)
    {
        m_anchor = new QObject;
        m_anchor->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_anchor, &QObject::deleteLater);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_anchor,
            [this, dir, show] {
                instance = new SingleInstance(dir);
                instance->setShowHandler([this, show] {
                    ++asked;
                    return show(*instance);
                });
                outcome = instance->claim();
                instance->listen();
            },
            Qt::BlockingQueuedConnection);
    }
    ~Running()
    {
        QMetaObject::invokeMethod(m_anchor, [this] { delete instance; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    SingleInstance *instance = nullptr;
    Outcome outcome = Outcome::NotAnswering;
    std::atomic<int> asked{0};

private:
    QThread m_thread;
    QObject *m_anchor = nullptr;
};

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondStartHandsOver();
    void secondStartWaitsForOneThatIsEnding();
    void holderThatDoesNotAnswer();
    void crashedRunDoesNotBlockTheNextStart();
    void hostileLockFile_data();
    void hostileLockFile();
    void strangersAreNotAnswered();
    void squattedSessionFolders_data();
    void squattedSessionFolders();
};

void TestSingleInstance::secondStartHandsOver()
{
    QTemporaryDir dir;
    Running first(dir.path(), [](SingleInstance &) { return true; });
    QCOMPARE(first.outcome, Outcome::First);
    QVERIFY(first.instance->problem().isEmpty());
    QVERIFY(QFileInfo(first.instance->socketPath()).exists());
    QVERIFY(first.instance->socketPath().contains(QString::number(::getuid())));

    SingleInstance second(dir.path());
    QCOMPARE(second.claim(), Outcome::HandedOver);
    QCOMPARE(first.asked.load(), 1);
    // The second start holds nothing: a third is handed over too.
    SingleInstance third(dir.path());
    QCOMPARE(third.claim(), Outcome::HandedOver);
    QCOMPARE(first.asked.load(), 2);
}

void TestSingleInstance::secondStartWaitsForOneThatIsEnding()
{
    QTemporaryDir dir;
    // Saying goodbye: it answers so, then ends.
    auto first = std::make_unique<Running>(dir.path(), [](SingleInstance &self) {
        QTimer::singleShot(0, &self, [&self] { self.deleteLater(); });
        return false;
    });
    QCOMPARE(first->outcome, Outcome::First);
    SingleInstance second(dir.path());
    QCOMPARE(second.claim({2000, 10000}), Outcome::First);
    second.listen();
    QCOMPARE(first->asked.load(), 1);
    first->instance = nullptr; // deleted in its own thread
    first.reset();
    // The one that took over answers now.
    QLocalSocket probe;
    probe.connectToServer(second.socketPath());
    QVERIFY(probe.waitForConnected(1000));
}

void TestSingleInstance::holderThatDoesNotAnswer()
{
    QTemporaryDir dir;
    // Holds the session on this thread, which is busy while the second
    // start asks: nothing answers.
    SingleInstance hung(dir.path());
    hung.setShowHandler([] { return true; });
    QCOMPARE(hung.claim(), Outcome::First);
    hung.listen();
    SingleInstance second(dir.path());
    QCOMPARE(second.claim({200, 200}), Outcome::NotAnswering);
    QCOMPARE(second.holderPid(), QCoreApplication::applicationPid());
    const QString text = SingleInstance::notAnsweringText(second.holderPid());
    QVERIFY(text.contains(QString::number(QCoreApplication::applicationPid())));
    // The holder's lock and socket are as they were.
    QVERIFY(QFileInfo(hung.socketPath()).exists());
    SingleInstance third(dir.path());
    QCOMPARE(third.claim({100, 100}), Outcome::NotAnswering);
}

void TestSingleInstance::crashedRunDoesNotBlockTheNextStart()
{
    QTemporaryDir dir;
    // A run that ends without any clean-up: its socket file and lock file
    // stay behind.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        SingleInstance crashed(dir.path());
        const bool first = crashed.claim() == Outcome::First;
        crashed.listen();
        ::_exit(first ? 0 : 3);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    SingleInstance next(dir.path());
    QVERIFY(QFileInfo(next.socketPath()).exists());
    QVERIFY(QFileInfo(next.lockPath()).exists());

    QCOMPARE(next.claim({2000, 2000}), Outcome::First);
    next.listen();
    QVERIFY(next.problem().isEmpty());
    // It listens where the dead run's socket was.
    QLocalSocket probe;
    probe.connectToServer(next.socketPath());
    QVERIFY(probe.waitForConnected(1000));
    QFile lock(next.lockPath());
    QVERIFY(lock.open(QIODevice::ReadOnly));
    QCOMPARE(lock.readAll().trimmed().toLongLong(), QCoreApplication::applicationPid());
}

void TestSingleInstance::hostileLockFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("link to another file") << "link";
    QTest::newRow("folder") << "folder";
    QTest::newRow("FIFO") << "fifo";
}

void TestSingleInstance::hostileLockFile()
{
    // Whatever is in the lock's place, the start goes on (unguarded, saying
    // why), hangs on nothing and changes nothing it does not own.
    QFETCH(QString, kind);
    QTemporaryDir dir;
    SingleInstance start(dir.path());
    const QString other = dir.filePath("precious.txt");
    QFile precious(other);
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.write("keep me\n");
    precious.close();
    if (kind == "link")
        QVERIFY(QFile::link(other, start.lockPath()));
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(start.lockPath()));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(start.lockPath()).constData(), 0600), 0);
    QCOMPARE(start.claim({200, 200}), Outcome::First);
    start.listen(); // nothing to listen for without the lock
    QVERIFY(!start.problem().isEmpty());
    QVERIFY(start.problem().contains(start.lockPath()));
    QVERIFY(precious.open(QIODevice::ReadOnly));
    QCOMPARE(precious.readAll(), QByteArray("keep me\n"));
}

void TestSingleInstance::strangersAreNotAnswered()
{
    QTemporaryDir dir;
    Running first(dir.path(), [](SingleInstance &) { return true; });
    QCOMPARE(first.outcome, Outcome::First);
    for (const QByteArray &said : {QByteArray("quit\n"), QByteArray(4096, 'x'), QByteArray("show")}) {
        QLocalSocket stranger;
        stranger.connectToServer(first.instance->socketPath());
        QVERIFY(stranger.waitForConnected(1000));
        stranger.write(said);
        QVERIFY(stranger.waitForBytesWritten(1000));
        // Not "shown": the line is not ours, too long, or never ends (the
        // last one is cut off by this side closing).
        if (said.endsWith('\n') || said.size() > 64)
            QVERIFY(stranger.waitForDisconnected(2000));
        QVERIFY(!stranger.readAll().contains("shown"));
    }
    QCOMPARE(first.asked.load(), 0);
    // The program still answers a real second start.
    SingleInstance second(dir.path());
    QCOMPARE(second.claim(), Outcome::HandedOver);
    QCOMPARE(first.asked.load(), 1);
}

void TestSingleInstance::squattedSessionFolders_data()
{
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<bool>("tempSquatted");
    // Qt's answer when the runtime folder it would make was made first by
    // another user; the program started from a shared folder.
    QTest::newRow("no runtime folder") << "" << false;
    QTest::newRow("runtime folder writable by all") << "squat" << false;
    QTest::newRow("no runtime folder, own temporary one squatted") << "" << true;
}

void TestSingleInstance::squattedSessionFolders()
{
    // Another user's lock (0666) and socket that answers "shown" to every
    // start, in a folder everyone can write into: no start is taken in.
    QFETCH(QString, runtime);
    QFETCH(bool, tempSquatted);
    QTemporaryDir squat, temp, cache;
    Running stranger(squat.path(), [](SingleInstance &) { return true; });
    QCOMPARE(stranger.outcome, Outcome::First);
    auto giveAway = [](const QString &path, mode_t mode) {
        const QByteArray name = QFile::encodeName(path);
        // Another user's, where the test may give it away.
        if (::geteuid() == 0)
            QVERIFY(::chown(name.constData(), 65534, 65534) == 0);
        QVERIFY(::chmod(name.constData(), mode) == 0);
    };
    giveAway(stranger.instance->lockPath(), 0666);
    giveAway(squat.path(), 0777);
    const QString own = temp.filePath(QStringLiteral("kestrova-%1").arg(::getuid()));
    if (tempSquatted) {
        QVERIFY(QDir().mkpath(own));
        giveAway(own, 0777);
    }
    const QByteArray oldTemp = qgetenv("TMPDIR"), oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(squat.path()));
    Outcome outcome = Outcome::NotAnswering;
    QString lockPath;
    {
        SingleInstance start(runtime.isEmpty() ? QString() : squat.path());
        outcome = start.claim({300, 300});
        start.listen();
        lockPath = start.lockPath();
        QVERIFY(start.problem().isEmpty());
    }
    QDir::setCurrent(oldCurrent);
    qputenv("TMPDIR", oldTemp);
    qputenv("XDG_CACHE_HOME", oldCache);
    if (oldCache.isNull())
        qunsetenv("XDG_CACHE_HOME");
    if (oldTemp.isNull())
        qunsetenv("TMPDIR");

    QCOMPARE(outcome, Outcome::First);
    QCOMPARE(stranger.asked.load(), 0);
    const QString folder = QFileInfo(lockPath).path();
    QCOMPARE(folder, tempSquatted ? cache.filePath(QFileInfo(own).fileName()) : own);
    struct stat info {};
    QVERIFY(::lstat(QFile::encodeName(folder).constData(), &info) == 0);
    QVERIFY(S_ISDIR(info.st_mode));
    QCOMPARE(info.st_uid, ::getuid());
    QCOMPARE(info.st_mode & 0777, mode_t(0700));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
