#include "UserFiles.h"

#include "FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrova {

namespace {

// Copies whole or not at all, so a half-copied list never becomes the
// user's list. The copy belongs to the user and can be written, whatever the
// old file's permissions were.
bool copyWhole(const QString &from, const QString &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // A list file is twenty short lines and the jokes a few thousand; the
    // readers cut anything longer, so a copy need not be longer either.
    constexpr qint64 Limit = 64LL * 1024 * 1024;
    const QByteArray bytes = in.read(Limit + 1);
    if (in.error() != QFileDevice::NoError || bytes.size() > Limit)
        return false;
    return FileOperations::WriteWhole(to, bytes);
}

} // namespace

UserFiles::UserFiles(QString programDir, QString userDataDir)
    : m_programDir(std::move(programDir)), m_dataDir(std::move(userDataDir))
{
    if (m_dataDir.isEmpty())
        m_dataDir = defaultDataDir();
}

QString UserFiles::defaultDataDir()
{
    // The folder's name is fixed here rather than taken from the
    // application's and organisation's names, which Qt would nest.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kestrova");
}

QString UserFiles::userPath(const QString &fileName) const
{
    return m_dataDir + u'/' + fileName;
}

QString UserFiles::listFile(const QString &fileName) const
{
    const QString mine = userPath(fileName);
    if (QFileInfo::exists(mine))
        return mine;
    // The old place: the program folder's path with the name appended, no
    // separator between them (a program in /usr/bin had /usr/binfavourites.txt).
    const QString old = m_programDir + fileName;
    if (!m_programDir.isEmpty() && QFileInfo(old).isFile())
        copyWhole(old, mine);
    return mine;
}

QString UserFiles::jokesToRead() const
{
    const QString mine = userPath(JokesFile);
    if (QFileInfo(mine).isFile())
        return mine;
    return m_programDir + u'/' + JokesFile;
}

QString UserFiles::jokesToEdit() const
{
    const QString mine = userPath(JokesFile);
    if (QFileInfo(mine).isFile())
        return mine;
    const QString shipped = m_programDir + u'/' + JokesFile;
    if (QFileInfo(shipped).isFile()) {
        if (copyWhole(shipped, mine))
            return mine;
        return QString();
    }
    if (FileOperations::WriteWhole(mine, QByteArray()))
        return mine;
    return QString();
}

} // namespace kestrova
