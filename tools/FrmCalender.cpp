#include "FrmCalender.h"

#include "Character.h"
#include "CharacterRef.h"
#include "Clock.h"
#include "DateFunctions.h"
#include "Forms.h"
#include "Host.h"
#include "Translations.h"
#include "WindowKeys.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace kestrova {

FrmCalender::FrmCalender(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmCalender"));
    setWindowTitle(tr("Calender"));
    LblCalender = new QLabel(tr("Calender"), this);
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
    connect(MonthView1, &QCalendarWidget::selectionChanged, this, [this] {
        if (m_keyDown)
            sayKeyedDate();
    });
    // The keys reach the control's grid of days.
    if (auto *days = MonthView1->findChild<QTableView *>())
        days->installEventFilter(this);
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
    sayDate();
}

QList<character::Request> FrmCalender::sayDate()
{
    m_host.AgentVisible();
    BuildDatePhrase();
    character::CharacterRef &agent = m_host.agent();
    return {agent.Play(QStringLiteral("Read")),
            agent.Speak(tr("The date you have selected is ") + DatePhrase),
            agent.Play(QStringLiteral("ReadReturn")), agent.Play(QStringLiteral("RestPose"))};
}

bool FrmCalender::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    // The grid moves the selection while it handles the key (the date is
    // said then); Enter says the date as it stands, unless it moved.
    m_keyDown = true;
    m_keySaid = false;
    QMetaObject::invokeMethod(
        this,
        [this, enter] {
            m_keyDown = false;
            if (enter && !m_keySaid)
                sayKeyedDate();
        },
        Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void FrmCalender::sayKeyedDate()
{
    m_keySaid = true;
    if (!m_keyed.isEmpty())
        m_host.agent().StopRequests(std::exchange(m_keyed, {}));
    m_keyed = sayDate();
    // What has been said is done with.
    character::Character *c = m_host.agent().get();
    if (c && c != m_heard) {
        disconnect(m_heardConnection);
        m_heard = c;
        m_heardConnection = connect(c, &character::Character::requestComplete, this,
                                    [this](character::Request r) { m_keyed.removeAll(r); });
    }
}

QString FrmCalender::datePhrase(QDate date)
{
    if (!date.isValid())
        return QString();
    // Names in the language of the words around them, whatever the
    // system's.
    const QLocale names = Translations::locale();
    const QString day = QString::number(date.day());
    //: The date picked in the calendar, as the character says it: %1 the weekday's name, %2 the day of the month, %3 its ordinal suffix, %4 the month's name, %5 the year ("Sunday the 6th of December 2026").
    return tr("%1 the %2%3 of %4 %5")
        .arg(names.standaloneDayName(date.dayOfWeek(), QLocale::LongFormat), day, DateFunctions::ordinalSuffix(day),
             names.standaloneMonthName(date.month(), QLocale::LongFormat), QString::number(date.year()));
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
