// Times a whole mail check of a 1,000-message mailbox on a loopback Dovecot
// against Python's poplib fetching the same headers, taking turns, and
// prints the medians and their ratio.
//   bench_mail_check [messages] [rounds]

#include "CurlMailbox.h"
#include "DovecotServer.h"
#include "MailCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class CountingSink : public kestrova::MailSink {
public:
    int spoken = 0;
    void AgentVisible() override {}
    void Play(const QString &) override {}
    void Speak(const QString &) override { ++spoken; }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
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
    std::vector<double> ours, reference;
    for (int round = 0; round < rounds; ++round) {
        // The server's own certificate is trusted, as a system store
        // would trust a real server's.
        kestrova::CurlMailbox::Options options;
        options.caFile = server.certificate();
        kestrova::CurlMailbox box(options);
        CountingSink sink;
        QElapsedTimer t;
        t.start();
        kestrova::CheckMail(box, {plain, QLatin1String(server.User), QLatin1String(server.Password)}, sink);
        ours.push_back(t.nsecsElapsed() / 1e9);
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
        reference.push_back(py.readAllStandardOutput().split(' ').value(0).toDouble());
    }
    std::printf("mail check, %d messages, loopback Dovecot, median of %d turns each\n", messages, rounds);
    std::printf("  kestrova (STLS, batched): %.3f s (fastest %.3f)\n", median(ours),
                *std::min_element(ours.begin(), ours.end()));
    std::printf("  python poplib (plain):    %.3f s (fastest %.3f)\n", median(reference),
                *std::min_element(reference.begin(), reference.end()));
    std::printf("  ratio kestrova / poplib:  %.2f (target <= 1)\n", median(ours) / median(reference));
    return 0;
}
