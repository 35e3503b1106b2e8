#pragma once

// Start-up measurement shared by the program and the minimal Qt program it
// is compared with. With KESTROVA_BENCH_STARTUP set, mark() prints the wall
// clock at the moment the measured point is reached, and after the settle
// time (KESTROVA_BENCH_STARTUP milliseconds) the peak resident memory is
// printed and the program exits.

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace kestrova::bench {

inline void printPeakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            std::fprintf(stderr, "bench: peak-rss-kb %lld\n", line.mid(6).trimmed().split(' ').value(0).toLongLong());
}

inline void mark()
{
    if (!qEnvironmentVariableIsSet("KESTROVA_BENCH_STARTUP"))
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::fprintf(stderr, "bench: marked-ns %lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
    const int settleMs = qEnvironmentVariableIntValue("KESTROVA_BENCH_STARTUP");
    QTimer::singleShot(settleMs, [] {
        printPeakMemory();
        std::fflush(stderr);
        std::_Exit(0);
    });
}

} // namespace kestrova::bench
