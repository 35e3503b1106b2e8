#pragma once

#include "Commands.h"

#include <QMenu>
#include <QSet>

namespace kestrova::character {

// The character's popup menu: the commands of its set that are meant for the
// menu and enabled, in the order they were added, then the service's own
// entries. It is filled anew each time it pops up, so it always shows the
// set as it is now. Every entry has a key of its own (a mnemonic), the
// service's entries first.
//
// Object names, for tests and for scripts driving the desktop:
//   the menu                  "kestrovaCommandMenu"
//   a command                 "command:<name>"
//   the service's entries     "kestrovaHide", "kestrovaOpenCommandsWindow",
//                             "kestrovaOptions"
class CommandMenu : public QMenu {
    Q_OBJECT
public:
    explicit CommandMenu(QWidget *parent = nullptr);

    // Refills the menu from the set. Commands appear only while the set
    // itself is visible.
    void fill(const Commands &commands);

    static QString actionName(const QString &commandName);
    // A caption or name as the user gave it, for a menu entry: an "&" in it
    // ("Barnes & Noble") is a letter, not a mnemonic marker; control
    // characters and direction overrides are left out, a name longer than
    // MaxEntryChars is cut there, with "…".
    static QString menuText(QString caption);
    static constexpr qsizetype MaxEntryChars = 60;
    // The text of an entry that shows `shown` as it stands (an "&" in it
    // included), with a mnemonic on a letter not in `used`, which then is.
    static QString withMnemonic(const QString &shown, QSet<QChar> &used);

    static inline const QString HideText = QStringLiteral("Hide");
    static inline const QString CommandsWindowText = QStringLiteral("Open Commands Window");
    static inline const QString OptionsText = QStringLiteral("Character Options...");

Q_SIGNALS:
    void commandChosen(const QString &name, const QString &caption);
    void hideChosen();
    void commandsWindowChosen();
    void optionsChosen();
};

} // namespace kestrova::character
