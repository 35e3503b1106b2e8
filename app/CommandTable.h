#pragma once

#include <QList>

#include "Actions.h"
#include <QString>
#include <QStringList>

namespace kestrova {

// One registered command: what the Command event reports, what the
// character's menu and commands window show, and what the user may say.
struct CommandEntry {
    QString name;
    QString caption;
    QString voice;
    bool inMenu = false;       // listed in the character's popup menu
    bool guarded = false;      // weak matches are answered with the prompt below
    bool drastic = false;      // starts a program or quits: heard only on strong evidence
    QString description;       // what it does, for the commands window
};

// The confidence at or below which a guarded command is not taken, and what
// the character shows then.
inline constexpr int GuardedConfidence = -60;
inline const QString GuardedConfidenceText = QStringLiteral("I didn't understand your request");

// The character's commands in the order they are registered: the spoken
// actions (caption, voice, menu flag and prompt as their modules registered
// them), with the first office program after "Wordpad" and the ten
// favourite sites after "NewMail", each named, captioned and voiced by its
// own name; then any other spoken action, in the order registered.
QList<CommandEntry> commandTable(const ActionRegistry &actions, const QString &firstOfficeName,
                                 const QStringList &siteNames);

// The actions the character's commands stand for, in the commands' order;
// the user's names take the two gaps.
QStringList commandOrder();

// Where the user's own names stand in the table: the first office program,
// then the ten favourite sites from this place on.
inline constexpr int FirstOfficeCommand = 19;
inline constexpr int FirstSiteCommand = 26;

// A command named, captioned and voiced by the user's own name; it opens a
// program or a site, so it is drastic. The description says which.
enum class Named { OfficeProgram, Site };
CommandEntry namedCommand(const QString &name, Named what = Named::Site);

// What the command of that action id does, in a sentence for the commands
// window; empty for an id it does not know.
QString commandDescription(const QString &id);

} // namespace kestrova
