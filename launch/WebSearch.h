#pragma once

#include <QString>

namespace kestrova {

class Host;

// The eight search engines and the address of a search on one of them.
namespace WebSearch {

// The engines' scheme and host, the one place they are configured; the
// paths, query keys and suffixes are in the engine table.
inline const QString AltaVistaHost = QStringLiteral("https://www.altavista.com");
inline const QString ExciteHost = QStringLiteral("https://www.excite.com");
inline const QString HotBotHost = QStringLiteral("https://www.hotbot.com");
inline const QString InfoSeekHost = QStringLiteral("https://www.infoseek.com");
inline const QString LycosHost = QStringLiteral("https://www.lycos.com");
inline const QString YahooHost = QStringLiteral("https://search.yahoo.com");
inline const QString SoftSeekHost = QStringLiteral("https://www.softseek.com");
inline const QString AudioFindHost = QStringLiteral("http://www.audiofind.com:70");

// Sixteen fields separated by "|": engine k's address up to its query key
// is field 2k+1, what follows the phrase field 2k+2 (counted from 1).
QString engineTable();

// Field n (from 1) of the text; empty below 1 or past the last field.
QString GetField(const QString &text, QChar delimiter, int n);

// The address of a search for the phrase on the engine whose prefix is
// field `field`. The phrase is percent-encoded as a query value, so "&",
// "#", "+" and blanks reach the engine as part of the phrase.
QString searchAddress(const QString &phrase, int field);

// Opens the search's results in the desktop's web browser.
void SearchWeb(Host &host, const QString &phrase, int field);

} // namespace WebSearch
} // namespace kestrova
