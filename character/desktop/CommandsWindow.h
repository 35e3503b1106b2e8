#pragma once

#include "Commands.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace kestrova::character {

// The commands window: a small tool window, titled "<set's caption>
// Commands", that lists every enabled command of the character in the
// order the commands were added: its caption and a few of the sentences
// that say it. Below the list, the command picked: what it does and every
// way to say it. The filter box above keeps the commands whose caption,
// description or sentences hold every word typed. Double-click or Enter on
// an entry (or Enter in the filter box) chooses it. The window reads the
// set each time it is shown or activated, so commands enabled, disabled or
// added since show up then. It never scrolls sideways: long texts wrap in
// their column (a caption too long for half the list is elided) and show
// whole below it.
class CommandsWindow : public QWidget {
    Q_OBJECT
public:
    // The set must outlive the window.
    explicit CommandsWindow(const Commands &commands, const QString &fallbackTitle, QWidget *parent = nullptr);

    // Reads the set again.
    void refresh();

    QTreeWidget *list() const { return m_list; }
    QLineEdit *filter() const { return m_filter; }
    // What the command picked does and how to say it.
    QLabel *details() const { return m_details; }

    // How many sentences the list shows for a command (the details show up
    // to DetailExamples).
    static constexpr int ListExamples = 3;
    static constexpr int DetailExamples = 8;

    // The size it takes where the screen has room.
    static constexpr QSize Comfortable{560, 460};
    // Its height where the screen's available area is `roomHeight` tall
    // and the window manager's frame adds `frame`: comfortable, or as
    // tall as the area lets it stand, every row there is room for shown.
    static int heightOn(int roomHeight, const QSize &frame);

Q_SIGNALS:
    void commandChosen(const QString &name, const QString &caption);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void choose(QTreeWidgetItem *item);
    void applyFilter();
    void showDetails();
    void fitColumns();

    const Commands &m_commands;
    QString m_fallbackTitle;
    QLabel *m_intro = nullptr;
    QLineEdit *m_filter = nullptr;
    QTreeWidget *m_list = nullptr;
    QLabel *m_details = nullptr;
    QStringList m_rows; // what the list shows, to tell whether it changed
    QSize m_laidOutFor; // the caption column's and the list's widths the rows were wrapped at
};

// A voice grammar as a person reads it: "quit [program | application]".
// A grammar that does not parse is shown as written.
QString readableGrammar(const QString &grammar);

// Sentences that say a voice grammar, the shortest first, at most `limit`:
// "[please] open (calendar | calender)" gives "open calendar", "open
// calender", "please open calendar", ... Any words ("...") are left out of
// the sentences; *anyWords tells whether the grammar had them. A grammar
// that does not parse gives itself as written.
QStringList voiceExamples(const QString &grammar, int limit, bool *anyWords = nullptr);

} // namespace kestrova::character
