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
// (NUL bytes left by a crash, bytes that are not UTF-8), is kept as
// "<file>.damaged" before the first write replaces it, so nothing the user
// wrote is lost. A file larger than settings ever are (SettingsFileLimit) is
// not read at all: it is renamed to "<file>.damaged" at its first read or
// write, and the settings start from their defaults.
//
// Every file the store writes, the kept copy included, is readable by its
// owner only from the moment it exists: the mail password may be in it.
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
//   Alarm/Time, Say, Event, Silent the daily alarm: "HH:mm:ss" (empty while
//                                  disarmed), its words, "On"/"Off"
//   Options/Show Tips at Startup   application: the program file's base name
class SettingsStore {
public:
    // Application names are told apart without regard to case, so the tip
    // option, stored under the program file's base name ("kestrova"), is in
    // the one settings file. A file of that other spelling left by an
    // earlier version is merged into it at first use.
    static inline const QString MainApplication = QStringLiteral("Kestrova");

    explicit SettingsStore(QString folder);

    QString folder() const { return m_folder; }
    QString fileOf(const QString &application) const;

    QString read(const QString &application, const QString &section, const QString &key,
                 const QString &defaultValue = QString()) const;
    // Returns whether the value reached the file.
    bool write(const QString &application, const QString &section, const QString &key,
               const QString &text) const;

private:
    void adoptOtherCase(const QString &application) const;

    QString m_folder;
};

} // namespace kestrova
