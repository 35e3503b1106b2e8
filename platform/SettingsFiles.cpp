#include "SettingsFiles.h"

#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcSettingsFiles, "kestrova.settings", QtWarningMsg)

namespace kestrova {

bool setAsideIfTooLarge(const QString &file)
{
    const QByteArray name = QFile::encodeName(file);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= SettingsFileLimit)
        return false;
    const QString keep = file + QStringLiteral(".damaged");
    const QString size = QStringLiteral("%1 MB").arg(double(info.st_size) / (1024 * 1024), 0, 'f', 1);
    ::chmod(name.constData(), info.st_mode & 0700);
    if (::rename(name.constData(), QFile::encodeName(keep).constData()) != 0) {
        qCWarning(lcSettingsFiles).noquote()
            << QStringLiteral("The settings file %1 is %2, too large to be settings; it is not read, and it could "
                              "not be set aside as %3 (%4). Its settings are the defaults until it is moved away.")
                   .arg(file, size, keep, QString::fromLocal8Bit(std::strerror(errno)));
        return true;
    }
    qCWarning(lcSettingsFiles).noquote()
        << QStringLiteral("The settings file %1 is %2, too large to be settings; it was not read and is kept as %3. "
                          "The settings start again from their defaults.")
               .arg(file, size, keep);
    return true;
}

} // namespace kestrova
