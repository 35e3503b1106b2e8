#pragma once

#include <QString>

namespace kestrova {

// The per-user settings: text values addressed by application name, section
// and key. Each application name is one INI file in the settings folder
// ("<folder>/<application>.ini"), each section a group of it. Every read
// goes to the file at the moment of use and every write is stored at once.
//
// A file that cannot be read behaves as empty. A write that cannot be stored
// is lost and nothing else is: QSettings writes the file whole or not at all.
// A file with lines the INI reader cannot parse, or that is no longer text
// (NUL bytes left by a crash, bytes that are not UTF-8, megabytes of
// anything), is kept as "<file>.damaged"
// before the first write replaces it, so nothing the user wrote is lost.
//
// The values kept, application "Kestrova" unless noted:
//   User/Name                      the user's name (user-name window)
//   Jokes/Status, Jokes/Say        "On"/"Off"; the lead-in before each joke
//   Rest/X, Rest/Y                 the character's rest position, pixels
//   Run/Number                     how many times the program has started
//   Mail/1..4                      server, user, password, minutes
//   Accessories/Calc, CD, Notepad, Wordpad
//                                  "Sel" when the entry is on the menu
//   Programs/Calc, CD, Notepad, Wordpad
//                                  the program that stands for the accessory
//                                  (a path, a desktop entry or a name on the
//                                  PATH); empty: the desktop's own, found
//                                  among the installed applications
//   Options/Show Tips at Startup   application: the program file's base name
class SettingsStore {
public:
    explicit SettingsStore(QString folder);

    QString folder() const { return m_folder; }
    QString fileOf(const QString &application) const;

    QString read(const QString &application, const QString &section, const QString &key,
                 const QString &defaultValue = QString()) const;
    // Returns whether the value reached the file.
    bool write(const QString &application, const QString &section, const QString &key,
               const QString &text) const;

private:
    QString m_folder;
};

} // namespace kestrova
