#include "TextLines.h"

#include <QFile>
#include <QStringDecoder>

namespace kestrova {

namespace {

QString decodeLine(QByteArrayView bytes)
{
    // Only the file's own byte-order mark is dropped (by the splitter); one
    // at the start of a later line is text.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder cp1252("windows-1252");
    if (cp1252.isValid())
        return cp1252(bytes);
    return QString::fromLatin1(bytes);
}

// Splits bytes, arriving in pieces, into lines. A line over the limit keeps
// its start, cut before a UTF-8 sequence that would not fit whole.
class LineSplitter {
public:
    LineSplitter(qsizetype maxLineBytes, const std::function<bool(const QString &)> &take)
        : m_max(maxLineBytes), m_take(take)
    {
    }

    // False once take has asked to stop.
    bool feed(QByteArrayView piece)
    {
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const char c = piece[i];
            if (m_afterCr) {
                m_afterCr = false;
                if (c == '\n')
                    continue;
            }
            if (c == '\r' || c == '\n') {
                m_afterCr = c == '\r';
                if (!emit())
                    return false;
                continue;
            }
            if (m_line.size() < m_max)
                m_line += c;
            else
                m_cut = true;
            m_open = true;
        }
        return true;
    }

    bool finish() { return !m_open || emit(); }

private:
    bool emit()
    {
        QByteArrayView bytes(m_line);
        if (m_first) {
            m_first = false;
            if (bytes.startsWith("\xEF\xBB\xBF"))
                bytes = bytes.sliced(3);
        }
        if (m_cut) {
            // Drop a multi-byte sequence the cut left unfinished.
            qsizetype end = bytes.size();
            qsizetype lead = end;
            while (lead > 0 && lead > end - 4 && (uchar(bytes[lead - 1]) & 0xC0) == 0x80)
                --lead;
            if (lead > 0 && uchar(bytes[lead - 1]) >= 0xC0) {
                const uchar b = uchar(bytes[lead - 1]);
                const qsizetype need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
                if (end - (lead - 1) < need)
                    bytes = bytes.first(lead - 1);
            }
        }
        const bool more = m_take(decodeLine(bytes));
        m_line.clear();
        m_open = false;
        m_cut = false;
        return more;
    }

    qsizetype m_max;
    const std::function<bool(const QString &)> &m_take;
    QByteArray m_line;
    bool m_afterCr = false;
    bool m_open = false;  // a line has started that no line end closed yet
    bool m_cut = false;
    bool m_first = true;
};

} // namespace

bool forEachTextLine(const QString &path, const std::function<bool(const QString &line)> &take,
                     qsizetype maxLineBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    LineSplitter splitter(maxLineBytes, take);
    QByteArray piece(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(piece.data(), piece.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!splitter.feed(QByteArrayView(piece.constData(), n)))
            return true;
    }
    splitter.finish();
    return true;
}

std::optional<QStringList> readTextLines(const QString &path, qsizetype maxLines)
{
    QStringList lines;
    const bool read = forEachTextLine(path, [&](const QString &line) {
        lines << line;
        return lines.size() < maxLines;
    });
    if (!read)
        return std::nullopt;
    return lines;
}

QStringList splitTextLines(const QByteArray &bytes)
{
    QStringList lines;
    const std::function<bool(const QString &)> take = [&](const QString &line) {
        lines << line;
        return true;
    };
    LineSplitter splitter(bytes.size() + 1, take);
    splitter.feed(bytes);
    splitter.finish();
    return lines;
}

} // namespace kestrova
