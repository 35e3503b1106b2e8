#include "FileOperations.h"

#include "TextLines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::FileOperations {

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

QString FileNameOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString SavingFileOf(const QString &path)
{
    return path + QStringLiteral(".saving");
}

bool WriteWhole(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Through a link to the file it names, as an editor saves.
    const QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QByteArray saving = QFile::encodeName(SavingFileOf(target));
    ::unlink(saving.constData());
    const int fd = ::open(saving.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    // The file keeps its permissions.
    struct stat old {};
    if (::stat(QFile::encodeName(target).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    bool ok = true;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? n : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(saving.constData(), QFile::encodeName(target).constData()) == 0;
    if (!ok)
        ::unlink(saving.constData());
    return ok;
}

std::optional<QStringList> LoadListFile(const QString &path)
{
    // What a save killed before its end left behind: the list itself is
    // whole, as it was before that save.
    if (QFileInfo(SavingFileOf(path)).isFile())
        QFile::remove(SavingFileOf(path));
    if (!FileExists(path))
        return std::nullopt;
    // Every line is looked at (a longer file wraps round onto the first
    // slots), but only the slots are kept.
    QStringList values(ListLines);
    qsizetype i = 0;
    forEachTextLine(path, [&](const QString &line) {
        values[i++ % ListLines] = line;
        return true;
    });
    return values;
}

QString WebAddress(const QString &typed)
{
    const QString address = typed.trimmed();
    if (address.isEmpty() || address.startsWith(u'/') || address.contains(QStringLiteral("://")))
        return typed;
    for (const char *scheme : {"mailto:", "news:", "file:", "tel:", "about:"})
        if (address.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return typed;
    return QStringLiteral("https://") + address;
}

QString SingleLine(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        switch (c) {
        case u'\r':
            // CR LF is one break, one space.
            if (i + 1 < value.size() && value.at(i + 1) == u'\n')
                ++i;
            Q_FALLTHROUGH();
        case u'\n':
            out += u' ';
            break;
        default:
            out += QChar(c);
        }
    }
    return out;
}

bool SaveListFile(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    // Reading drops a byte-order mark at the start of the file: a first
    // entry that begins with that character keeps it behind one written here.
    if (lines.value(0).startsWith(QChar(0xFEFF)))
        bytes = "\xEF\xBB\xBF";
    for (int i = 0; i < ListLines; ++i)
        bytes += SingleLine(lines.value(i)).toUtf8() + "\r\n";
    return WriteWhole(path, bytes);
}

} // namespace kestrova::FileOperations
