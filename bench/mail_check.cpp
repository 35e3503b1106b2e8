// Times a whole mail check of a 1,000-message mailbox on a loopback Dovecot
// against Python's poplib fetching the same headers, and prints the ratio.
//   bench_mail_check [messages]

#include "CurlMailbox.h"
#include "DovecotServer.h"
#include "MailCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>

namespace {

class CountingSink : public kestrova::MailSink {
public:
    int spoken = 0;
    void AgentVisible() override {}
    void Play(const QString &) override {}
    void Speak(const QString &) override { ++spoken; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    QList<QByteArray> mail;
    for (int i = 1; i <= messages; ++i)
        mail << "From: =?UTF-8?Q?J=C3=BCrgen?= <j" + QByteArray::number(i) + "@example.org>\nSubject: Message "
                    + QByteArray::number(i) + "\nDate: Mon, 7 Dec 2026 10:00:00 +0000\n\n" + QByteArray(2000, 'b')
                    + "\n";
    kestrova::test::DovecotServer server(mail);
    if (!server.running()) {
        std::fprintf(stderr, "dovecot did not start\n");
        return 1;
    }
    // The same port for both: the check upgrades with STLS as the program
    // does, poplib stays in plain text.
    const QString plain = QStringLiteral("127.0.0.1:%1").arg(server.pop3Port);
    double ours = 1e9, reference = 1e9;
    for (int round = 0; round < 3; ++round) {
        // The server's own certificate is trusted, as a system store
        // would trust a real server's.
        kestrova::CurlMailbox::Options options;
        options.caFile = server.certificate();
        kestrova::CurlMailbox box(options);
        CountingSink sink;
        QElapsedTimer t;
        t.start();
        kestrova::CheckMail(box, {plain, QLatin1String(server.User), QLatin1String(server.Password)}, sink);
        ours = std::min(ours, t.nsecsElapsed() / 1e9);
        if (sink.spoken != 2 * messages + 2) {
            std::fprintf(stderr, "the check read %d lines, not %d\n", sink.spoken, 2 * messages + 2);
            return 1;
        }
        QProcess py;
        py.start(QStringLiteral("python3"), {QStringLiteral(KESTROVA_BENCH_DIR "/poplib_reference.py"),
                                             QStringLiteral("127.0.0.1"), QString::number(server.pop3Port),
                                             QLatin1String(server.User), QLatin1String(server.Password)});
        if (!py.waitForFinished(60000) || py.exitCode() != 0) {
            std::fprintf(stderr, "poplib failed: %s\n", py.readAllStandardError().constData());
            return 1;
        }
        reference = std::min(reference, py.readAllStandardOutput().split(' ').value(0).toDouble());
    }
    std::printf("mail check, %d messages, loopback Dovecot, best of 3\n", messages);
    std::printf("  kestrova (libcurl, STLS): %.3f s\n", ours);
    std::printf("  python poplib (plain):    %.3f s\n", reference);
    std::printf("  ratio kestrova / poplib:  %.2f\n", ours / reference);
    return 0;
}
