#pragma once

#include "Commands.h"

#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace kestrova::character {

// The commands window: a small tool window, titled with the set's caption,
// that lists every enabled command of the character in the order the
// commands were added, each with what to say for it. Double-click or Enter
// on an entry chooses it. The window reads the set each time it is shown or
// activated, so commands enabled, disabled or added since show up then.
class CommandsWindow : public QWidget {
    Q_OBJECT
public:
    // The set must outlive the window.
    explicit CommandsWindow(const Commands &commands, const QString &fallbackTitle, QWidget *parent = nullptr);

    // Reads the set again.
    void refresh();

    QTreeWidget *list() const { return m_list; }

Q_SIGNALS:
    void commandChosen(const QString &name, const QString &caption);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void choose(QTreeWidgetItem *item);

    const Commands &m_commands;
    QString m_fallbackTitle;
    QTreeWidget *m_list = nullptr;
    QStringList m_rows; // what the list shows, to tell whether it changed
};

// A voice grammar as a person reads it: "quit [program | application]".
// A grammar that does not parse is shown as written.
QString readableGrammar(const QString &grammar);

} // namespace kestrova::character
