#include "FrmCalender.h"

#include "CharacterRef.h"
#include "Clock.h"
#include "Forms.h"
#include "Host.h"
#include "WindowKeys.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrova {

FrmCalender::FrmCalender(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmCalender"));
    setWindowTitle(QStringLiteral("Calender"));
    LblCalender = new QLabel(QStringLiteral("Calender"), this);
    LblCalender->setObjectName(QStringLiteral("LblCalender"));
    // The desktop's own face, larger.
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    heading.setBold(true);
    LblCalender->setFont(heading);
    MonthView1 = new QCalendarWidget(this);
    MonthView1->setObjectName(QStringLiteral("MonthView1"));
    MonthView1->setGridVisible(true);
    MonthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    // The control moves its selection to the clicked day before it reports
    // the click.
    connect(MonthView1, &QCalendarWidget::clicked, this, [this] { MonthView1_DateClick(); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LblCalender);
    layout->addWidget(MonthView1);
    resize(340, 300);
    WindowKeys::install(this, [this] { close(); });
}

void FrmCalender::Form_Load()
{
    MonthView1->setSelectedDate(m_host.context().platform.clock->now().date());
}

void FrmCalender::MonthView1_DateClick()
{
    m_host.AgentVisible();
    BuildDatePhrase();
    character::CharacterRef &agent = m_host.agent();
    agent.Play(QStringLiteral("Read"));
    agent.Speak(QStringLiteral("The date you have selected is ") + DatePhrase);
    agent.Play(QStringLiteral("ReadReturn"));
    agent.Play(QStringLiteral("RestPose"));
}

QString FrmCalender::datePhrase(QDate date)
{
    static const char *const weekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
    static const char *const months[] = {"January", "February", "March", "April", "May", "June", "July",
                                         "August", "September", "October", "November", "December"};
    if (!date.isValid())
        return QString();
    // QDate counts Monday as 1 and Sunday as 7.
    const QString weekday = QString::fromLatin1(weekdays[date.dayOfWeek() % 7]);
    const int day = date.day();
    QString suffix = QStringLiteral("th ");
    if (day == 1 || day == 21 || day == 31)
        suffix = QStringLiteral("st ");
    else if (day == 2 || day == 22)
        suffix = QStringLiteral("nd ");
    else if (day == 3 || day == 23)
        suffix = QStringLiteral("rd ");
    return weekday + QStringLiteral(" the ") + QString::number(day) + suffix + QStringLiteral("of ")
           + QString::fromLatin1(months[date.month() - 1]) + u' ' + QString::number(date.year());
}

void FrmCalender::BuildDatePhrase()
{
    DatePhrase = datePhrase(MonthView1->selectedDate());
}

void FrmCalender::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
}

} // namespace kestrova
