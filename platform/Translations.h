#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace kestrova {

// The catalogue of the program's texts in the user's language. The texts are
// written in English, which is what ships; a catalogue kestrova_<language>.qm
// in the folder (the one compiled into the program by default) gives another.
namespace Translations {

// The folder inside the program that holds the compiled catalogues.
QString builtInFolder();

// Installs, into the running application, the catalogue of the first of the
// languages (most wanted first, as QLocale::uiLanguages() lists them) that
// has one, with Qt's own texts for it where they are installed. A language is
// tried as given ("pt-BR" as pt_BR) and then without its region ("pt"). The
// search ends at English, which needs no catalogue. Returns the catalogue's
// language, or an empty string when the texts stay as written.
QString install(const QStringList &languages, const QString &folder = builtInFolder());

// The language the texts are shown in: that of the catalogue installed,
// else English. Names of days and months in a sentence follow it, so that
// they match the words around them.
QLocale locale();

} // namespace Translations

} // namespace kestrova
