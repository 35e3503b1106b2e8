#include "SystemPlatform.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace kestrova {

QPoint SystemMousePointer::position() const
{
    return QCursor::pos();
}

SystemRandom::SystemRandom()
    : m_engine(unsigned(QDateTime::currentMSecsSinceEpoch()))
{
}

double SystemRandom::next()
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine);
}

bool SystemShell::open(const QString &target)
{
    const QString t = target.trimmed();
    if (t.isEmpty())
        return false;
    const QFileInfo file(t);
    if (file.isFile()) {
        if (file.isExecutable())
            return QProcess::startDetached(file.absoluteFilePath(), {}, file.absolutePath());
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
    }
    if (file.isDir())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
    const QUrl url = QUrl::fromUserInput(t);
    if (url.isValid() && !url.scheme().isEmpty())
        return QDesktopServices::openUrl(url);
    return false;
}

SystemPlatform::SystemPlatform()
{
    m_services.clock = &m_clock;
    m_services.mousePointer = &m_pointer;
    m_services.random = &m_random;
    m_services.shell = &m_shell;
}

} // namespace kestrova
