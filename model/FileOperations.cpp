#include "FileOperations.h"

#include "TextLines.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

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

std::optional<QStringList> LoadListFile(const QString &path)
{
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
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    // Reading drops a byte-order mark at the start of the file: a first
    // entry that begins with that character keeps it behind one written here.
    if (lines.value(0).startsWith(QChar(0xFEFF)))
        bytes = "\xEF\xBB\xBF";
    for (int i = 0; i < ListLines; ++i)
        bytes += SingleLine(lines.value(i)).toUtf8() + "\r\n";
    file.write(bytes);
    return file.commit();
}

} // namespace kestrova::FileOperations
