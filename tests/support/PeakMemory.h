#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>

namespace kestrova::test {

// The peak resident memory of this process since the last reset, in kB;
// -1 where /proc cannot tell.
inline long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto m = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

// Starts the peak over from the memory in use now.
inline void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace kestrova::test
