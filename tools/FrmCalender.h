#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QLabel;

namespace kestrova {

class Host;

// The window "Calender": a month calendar; a click on a day has the
// character read the chosen date aloud as a sentence.
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

private:
    Host &m_host;
};

} // namespace kestrova
