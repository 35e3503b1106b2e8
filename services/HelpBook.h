#pragma once

#include <QString>

namespace kestrova {

class Host;

namespace HelpBook {

// The compiled book and the pages it is compiled from, beside the program.
inline const QString CompiledFile = QStringLiteral("Kestrova_Help.chm");
inline const QString PagesIndex = QStringLiteral("help/index.html");
inline const QString NotFound = QStringLiteral(
    "I could not find the help file. See the readme file for information on downloading the help file.");

enum class Shown { Compiled, Pages, Nothing };

// Opens Kestrova's help the best way this desktop allows: the compiled book
// when it is there and an installed application shows such files, otherwise
// the HTML pages in the desktop's browser. With neither file the character
// is sad and says where to look. Used by the "Help" command and the tour.
Shown Open(Host &host);

} // namespace HelpBook
} // namespace kestrova
