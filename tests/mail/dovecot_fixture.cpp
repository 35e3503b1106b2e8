// A loopback Dovecot with three messages for the tests of the running
// program: prints "cert <file>" (its self-signed certificate) and
// "pop3 <port>" once it greets, stops it on SIGTERM or SIGINT.

#include "DovecotServer.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    // Blocked only once Dovecot runs: it would inherit the mask.
    QCoreApplication app(argc, argv);
    kestrova::test::DovecotServer server({
        "From: Ann Example <ann@example.org>\nSubject: Lunch on Friday\n\nHi\n",
        "From: =?UTF-8?Q?J=C3=BCrgen?= <j@example.org>\nSubject: =?UTF-8?B?R3LDvMOfZQ==?=\n\nHi\n",
        "From: bob@example.org (Bob Jones)\nSubject: The report\n\nHi\n",
    });
    if (!server.running())
        return 1;
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::printf("cert %s\n", qPrintable(server.certificate()));
    std::printf("pop3 %u\n", unsigned(server.pop3Port));
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}
