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
    // A caption or name as the user gave it, as an entry of `menu` shows
    // it: cleaned as any text from outside is (control characters and
    // direction overrides left out, a long one cut with "…"), then cut with
    // "…" where it is wider than entryWidth() in the menu's font. Of a name
    // longer than MaxEntryChars only the start is read (a damaged list file).
    static QString shownName(const QMenu &menu, const QString &name);
    static constexpr qsizetype MaxEntryChars = 4000;
    // The widest a name stands in `menu`: a third of the width its screen
    // has for windows.
    static int entryWidth(const QMenu &menu);
    // The name in full for the entry's tooltip, in lines as wide as half the
    // screen, as many as half its height holds (MaxTipLines at most), the
    // last cut with "…" where they do not hold it all; empty when the entry
    // shows the name whole.
    static QString fullNameTip(const QMenu &menu, const QString &name);
    static constexpr int MaxTipLines = 16;
    // Makes `action`, an entry of `menu`, show the user-given `name`: cut to
    // fit, the full name in its tooltip; with a mnemonic of its own when
    // `used` is given (see withMnemonic).
    static void showName(QMenu &menu, QAction *action, const QString &name, QSet<QChar> *used = nullptr);
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
