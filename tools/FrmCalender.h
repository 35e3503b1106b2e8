#pragma once

#include "Request.h"

#include <QDate>
#include <QList>
#include <QPointer>
#include <QWidget>

class QCalendarWidget;
class QLabel;

namespace kestrova::character {
class Character;
}

namespace kestrova {

class Host;

// The window "Calender": a month calendar; a click on a day, or a move of
// the selection with the keyboard (arrows, pages, Enter), has the character
// read the chosen date aloud as a sentence.
class FrmCalender : public QWidget {
    Q_OBJECT
public:
    explicit FrmCalender(Host &host);

    void Form_Load();
    void MonthView1_DateClick();
    void BuildDatePhrase();

    // "Sunday the 6th of December 2026", in fixed English words.
    static QString datePhrase(QDate date);

    QLabel *LblCalender = nullptr;
    QCalendarWidget *MonthView1 = nullptr;
    QString DatePhrase;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Says the selected date; returns what was queued.
    QList<character::Request> sayDate();
    // The same for a move with the keyboard.
    void sayKeyedDate();

    Host &m_host;
    // The sentence of the last keyboard move, stopped if still waiting
    // when the next move comes (a key held down says where it stops).
    QList<character::Request> m_keyed;
    bool m_keyDown = false; // a key is being handled by the grid
    bool m_keySaid = false; // and the date it chose has been said
    QPointer<character::Character> m_heard;
    QMetaObject::Connection m_heardConnection;
};

} // namespace kestrova
