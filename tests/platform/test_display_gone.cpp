// When Qt's X11 connection breaks, the process ends right after Qt's warning,
// before the exit() that follows it can run any teardown under the threads
// still at work. Each case runs in a child process, as the warning ends it.
#include "DisplayGone.h"

#include <QTest>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using kestrova::platform::endAtOnceWhenTheDisplayGoes;

namespace {

int g_out = -1;

void say(const char *text)
{
    if (write(g_out, text, std::strlen(text)) < 0)
        _exit(99);
}

void teardownRan()
{
    say("teardown ran\n");
}

void logged(QtMsgType, const QMessageLogContext &, const QString &message)
{
    say(qPrintable(QStringLiteral("logged: %1\n").arg(message)));
}

struct Child
{
    int status = -1;
    QByteArray said;
};

// Runs what in a child with the handlers as the program installs them, an
// exit handler of its own, and then exit(1) as Qt calls it; what the child
// said and how it ended.
template<typename What>
Child inChild(What what)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        g_out = fds[1];
        std::atexit(teardownRan);
        qInstallMessageHandler(logged);
        endAtOnceWhenTheDisplayGoes();
        what();
        say("went on\n");
        std::exit(1);
    }
    close(fds[1]);
    Child child;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        child.said.append(buffer, n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return child;
}

} // namespace

class TestDisplayGone : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void endsAtOnceWhenTheX11ConnectionBreaks();
    void otherWarningsLetTheProgramGoOn();
    void recognisesOnlyTheBrokenConnection();
};

void TestDisplayGone::endsAtOnceWhenTheX11ConnectionBreaks()
{
    const Child child = inChild([] {
        qWarning("The X11 connection broke (error %d). Did the X11 server die?", 1);
    });
    QCOMPARE(child.status, 1);
    // The warning still reached the log, and nothing ran after it.
    QCOMPARE(child.said, QByteArray("logged: The X11 connection broke (error 1). Did the X11 server die?\n"));
}

void TestDisplayGone::otherWarningsLetTheProgramGoOn()
{
    const Child child = inChild([] {
        qWarning("The sound server broke");
        qDebug("The X11 connection broke (error 1)"); // not Qt's warning
    });
    QCOMPARE(child.status, 1);
    QCOMPARE(child.said, QByteArray("logged: The sound server broke\n"
                                    "logged: The X11 connection broke (error 1)\n"
                                    "went on\nteardown ran\n"));
}

void TestDisplayGone::recognisesOnlyTheBrokenConnection()
{
    using kestrova::platform::tellsTheDisplayIsGone;
    QVERIFY(tellsTheDisplayIsGone(QStringLiteral("The X11 connection broke: I/O error (code 1)")));
    QVERIFY(!tellsTheDisplayIsGone(QStringLiteral("Mail: The X11 connection broke")));
    QVERIFY(!tellsTheDisplayIsGone(QString()));
}

QTEST_APPLESS_MAIN(TestDisplayGone)
#include "test_display_gone.moc"
