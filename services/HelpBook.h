#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace kestrova {

class Host;

namespace HelpBook {

// The compiled book and the pages it is compiled from, beside the program.
inline const QString CompiledFile = QStringLiteral("Kestrova_Help.chm");
inline const QString PagesIndex = QStringLiteral("help/index.html");
inline const QString NotFound = QStringLiteral(
    "I could not find the help file. See the readme file for information on downloading the help file.");

enum class Shown { Compiled, Pages, Nothing };

// The help page that explains the window `window` as it stands now
// ("mail.html" for the options window showing its mail page), by the
// window's object name; "index.html" for any other.
QString pageFor(const QWidget *window);

// Opens one of the help pages in the desktop's browser; where that page is
// missing, the help as Open finds it.
Shown OpenPage(Host &host, const QString &page);

// F1, pressed in any window of the program, opens that window's help page.
// Installed on the application; owned by `host`'s object.
class HelpKey : public QObject {
public:
    HelpKey(Host &host, QObject *parent) : QObject(parent), m_host(host) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Host &m_host;
};

// Opens Kestrova's help the best way this desktop allows: the compiled book
// when it is there and an installed application shows such files, otherwise
// the HTML pages in the desktop's browser. With neither file the character
// is sad and says where to look. Used by the "Help" command and the tour.
Shown Open(Host &host);

} // namespace HelpBook
} // namespace kestrova
