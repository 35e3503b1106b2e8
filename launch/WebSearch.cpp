#include "WebSearch.h"

#include "Execute.h"

#include <QStringList>
#include <QUrl>

namespace kestrova::WebSearch {

QString engineTable()
{
    const QStringList fields = {
        AltaVistaHost + QStringLiteral("/cgi-bin/query?pg=q&what=web&fmt=.&q="), QString(),
        ExciteHost + QStringLiteral("/search.gw?c=web&search="), QString(),
        HotBotHost + QStringLiteral("/?SW=web&SM=MC&MT="), QString(),
        InfoSeekHost + QStringLiteral("/Titles?qt="), QStringLiteral("&col=WW&sv=IS&lk=noframes"),
        LycosHost + QStringLiteral("/cgi-bin/pursuit?query="), QString(),
        YahooHost + QStringLiteral("/bin/search?p="), QString(),
        SoftSeekHost + QStringLiteral("/cgi-bin/search.cgi?keywords="),
        QStringLiteral("&seekindex=index&maxresults=025&cb="),
        AudioFindHost + QStringLiteral("/?audiofindsearch="), QStringLiteral("&audiofindtype="),
    };
    return fields.join(u'|');
}

QString GetField(const QString &text, QChar delimiter, int n)
{
    QString result;
    int field = 1;
    for (const QChar c : text) {
        if (c == delimiter)
            ++field;
        else if (field == n)
            result += c;
    }
    return result;
}

QString searchAddress(const QString &phrase, int field)
{
    const QString table = engineTable();
    const QString prefix = GetField(table, u'|', field);
    const QString suffix = GetField(table, u'|', field + 1);
    return prefix + QString::fromLatin1(QUrl::toPercentEncoding(phrase)) + suffix;
}

void SearchWeb(Host &host, const QString &phrase, int field)
{
    Execute::ShellOpen(host, searchAddress(phrase, field));
}

} // namespace kestrova::WebSearch
