#include "Pop3Replies.h"

namespace kestrova::mail {

QByteArray lastStatusLine(const QByteArray &conversation)
{
    const QByteArray all = conversation.trimmed();
    return all.mid(all.lastIndexOf('\n') + 1).trimmed();
}

std::optional<long> statCount(const QByteArray &reply)
{
    const QList<QByteArray> words = reply.simplified().split(' ');
    if (words.size() < 2 || words[0] != "+OK")
        return std::nullopt;
    bool ok = false;
    const long count = words[1].toLong(&ok);
    if (!ok || count < 0)
        return std::nullopt;
    return count;
}

QList<UidLine> uidList(const QByteArray &listing)
{
    QList<UidLine> lines;
    for (const QByteArray &line : listing.split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() != 2)
            continue;
        bool ok = false;
        const int number = parts[0].toInt(&ok);
        if (ok && number > 0)
            lines.append({number, parts[1]});
    }
    return lines;
}

} // namespace kestrova::mail
