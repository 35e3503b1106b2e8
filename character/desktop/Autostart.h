#pragma once

#include <QString>

namespace kestrova::character {

// Starting Kestrova when the user logs in: a desktop entry of ours,
// kestrova.desktop, in the user's autostart folder
// (~/.config/autostart, or $XDG_CONFIG_HOME/autostart). The file is the
// setting; nothing else remembers it.
class Autostart {
public:
    // Writes the entry (on) or removes it (off). False, with *error, when
    // that failed; a half-written entry is never left behind.
    static bool setStartAtLogin(bool on, QString *error = nullptr);
    // Whether our entry is there.
    static bool startsAtLogin();

    static QString folder();
    static QString entryPath();
    // What the entry starts: "kestrova" when that is this program found on
    // PATH (an installed prefix, where bin/kestrova leads to the program),
    // else the program's own path.
    static QString command();
    // The entry's text.
    static QByteArray entry();

    static inline const QString FileName = QStringLiteral("kestrova.desktop");
};

} // namespace kestrova::character
