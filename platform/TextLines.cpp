#include "TextLines.h"

#include <QFile>
#include <QStringDecoder>

namespace kestrova {

namespace {

QString decode(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError())
        return text;
    QStringDecoder cp1252("windows-1252");
    if (cp1252.isValid())
        return cp1252(view);
    return QString::fromLatin1(view);
}

} // namespace

QStringList splitTextLines(const QByteArray &bytes)
{
    const QString text = decode(bytes);
    QStringList lines;
    QString current;
    bool open = false; // a line has started that no line end closed yet
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            lines << current;
            current.clear();
            open = false;
            continue;
        }
        current += c;
        open = true;
    }
    if (open)
        lines << current;
    return lines;
}

std::optional<QStringList> readTextLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return splitTextLines(file.readAll());
}

} // namespace kestrova
