// The calendar, the alarm, web search, open/run, the tour and the about box.

#include "AlarmWatch.h"
#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmOpen.h"
#include "FrmSearch.h"
#include "FrmTour.h"
#include "ManualTimers.h"
#include "SpeechText.h"
#include "TestRun.h"
#include "WindowKeys.h"
#include "WebSearch.h"
#include "frmAbout.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;
using kestrova::character::UserInput;
using kestrova::test::RecordingCharacter;
using kestrova::test::TestRun;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestCompanions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void datePhrase_data();
    void datePhrase();
    void calendarClick();
    void calendarKeys();

    void parseTime_data();
    void parseTime();
    void ringsOnceADay();
    void passedTimeRingsAtNextTick();
    void silentMode();
    void emptyTimeKeepsWindow();
    void refusedTime_data();
    void refusedTime();
    void cancelDisarms();
    void alarmSurvivesRestart();
    void watchOutlivesOptionsWindow();
    void watchStopsWhenTheWindowsUnload();
    void optionsWidening();

    void searchAddress_data();
    void searchAddress();
    void getField_data();
    void getField();
    void searchForm();

    void openRun();

    void tourNavigation();
    void tourCancelAndButtons();
    void tourSpeechFollowsItsPage();
    void tourFollowsWindowPlacement();
    void tourHelpButton();

    void aboutBox();
    void registryValues_data();
    void registryValues();
    void sysInfoLookup();

    void alarmSleepsUntilDue();
    void timersOutliveOptionsWindow();
    void dispatchOpensWindows_data();
    void dispatchOpensWindows();

private:
    TestRun &run() { return *m_run; }
    void tick(QTime time, QDate date = QDate(2026, 12, 8))
    {
        run().platform.clock.time = QDateTime(date, time);
        run().app->alarm().Timer1_Timer();
    }
    // Sets the alarm through its window.
    void setAlarm(const QString &time, const QString &event, const QString &say = QString(), bool silent = false);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
};

void TestCompanions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_run = std::make_unique<TestRun>(m_dir->path());
    m_run->agent();
    m_run->character().completeAll();
    m_run->agent().Agent.Show();
    m_run->character().completeAll();
    m_run->character().log.clear();
}

void TestCompanions::cleanup()
{
    m_run.reset();
    settle();
}

void TestCompanions::datePhrase_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("1st") << QDate(2026, 12, 1) << "Tuesday the 1st of December 2026";
    QTest::newRow("2nd") << QDate(2026, 12, 2) << "Wednesday the 2nd of December 2026";
    QTest::newRow("3rd") << QDate(2026, 12, 3) << "Thursday the 3rd of December 2026";
    QTest::newRow("6th") << QDate(2026, 12, 6) << "Sunday the 6th of December 2026";
    QTest::newRow("11th") << QDate(2026, 6, 11) << "Thursday the 11th of June 2026";
    QTest::newRow("12th") << QDate(2026, 6, 12) << "Friday the 12th of June 2026";
    QTest::newRow("13th") << QDate(2026, 6, 13) << "Saturday the 13th of June 2026";
    QTest::newRow("21st") << QDate(2026, 7, 21) << "Tuesday the 21st of July 2026";
    QTest::newRow("22nd") << QDate(2026, 5, 22) << "Friday the 22nd of May 2026";
    QTest::newRow("23rd") << QDate(2027, 1, 23) << "Saturday the 23rd of January 2027";
    QTest::newRow("30th") << QDate(2026, 4, 30) << "Thursday the 30th of April 2026";
    QTest::newRow("31st") << QDate(2026, 3, 31) << "Tuesday the 31st of March 2026";
}

void TestCompanions::datePhrase()
{
    QFETCH(QDate, date);
    QFETCH(QString, phrase);
    // English whatever the system's language.
    QLocale::setDefault(QLocale(QLocale::German));
    FrmCalender *cal = run().app->frmCalender();
    cal->MonthView1->setSelectedDate(date);
    cal->BuildDatePhrase();
    QLocale::setDefault(QLocale::c());
    QCOMPARE(cal->DatePhrase, phrase);
}

void TestCompanions::calendarClick()
{
    run().platform.clock.time = QDateTime(QDate(2026, 7, 21), QTime(9, 0));
    FrmCalender *cal = run().app->frmCalender();
    QCOMPARE(cal->windowTitle(), QString("Calender"));
    QCOMPARE(cal->MonthView1->selectedDate(), QDate(2026, 7, 21));
    QVERIFY(cal->DatePhrase.isEmpty());
    run().agent().Agent.Hide();
    run().character().completeAll();
    run().character().log.clear();
    cal->MonthView1->setSelectedDate(QDate(2026, 7, 22));
    Q_EMIT cal->MonthView1->clicked(QDate(2026, 7, 22));
    QCOMPARE(run().log(), QStringList({"Show", "Play Read",
                                       "Speak The date you have selected is Wednesday the 22nd of July 2026",
                                       "Play ReadReturn", "Play RestPose"}));
    // Closed and shown again: today is selected again.
    cal->close();
    settle();
    QCOMPARE(run().app->frmCalender()->MonthView1->selectedDate(), QDate(2026, 7, 21));
}

// The arrows, the page keys and Enter on the calendar's days, as the user
// presses them: each move, and Enter, says the selected date as a click
// does; a key pressed again before the sentence was said replaces it.
void TestCompanions::calendarKeys()
{
    run().platform.clock.time = QDateTime(QDate(2026, 7, 21), QTime(9, 0));
    FrmCalender *cal = run().app->frmCalender();
    cal->show();
    QVERIFY(QTest::qWaitForWindowExposed(cal));
    auto *days = cal->MonthView1->findChild<QTableView *>();
    QVERIFY(days);
    days->setFocus();
    auto &c = run().character();
    run().agent().Agent.Show();
    c.completeAll();
    c.log.clear();
    const auto said = [](const QString &date) {
        return QStringList({"Play Read", "Speak The date you have selected is " + date, "Play ReadReturn",
                            "Play RestPose"});
    };
    QTest::keyClick(days, Qt::Key_Right);
    QTRY_COMPARE(c.log, said("Wednesday the 22nd of July 2026"));
    c.completeAll();
    c.log.clear();
    QTest::keyClick(days, Qt::Key_Down);
    QTRY_COMPARE(c.log, said("Wednesday the 29th of July 2026"));
    c.completeAll();
    c.log.clear();
    QTest::keyClick(days, Qt::Key_Return);
    QTRY_COMPARE(c.log, said("Wednesday the 29th of July 2026"));
    QCOMPARE(cal->MonthView1->selectedDate(), QDate(2026, 7, 29));
    c.completeAll();
    c.log.clear();
    // Two moves in a row: the first sentence, not yet said, gives way.
    QTest::keyClick(days, Qt::Key_PageDown);
    QTest::keyClick(days, Qt::Key_Left);
    QTRY_COMPARE(c.log.size(), 9);
    QCOMPARE(c.log.mid(0, 4), said("Saturday the 29th of August 2026"));
    QVERIFY(c.log.at(4).startsWith("StopRequests Play Read / Speak The date you have selected is Saturday"));
    QCOMPARE(c.log.mid(5), said("Friday the 28th of August 2026"));
    c.completeAll();
    c.log.clear();
    // A key that moves nothing says nothing.
    QTest::keyClick(days, Qt::Key_Shift);
    QTest::qWait(50);
    QCOMPARE(c.log, QStringList());
}

void TestCompanions::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTime>("time");
    QTest::newRow("7:30 PM") << "7:30 PM" << QTime(19, 30);
    QTest::newRow("7:30pm") << "7:30pm" << QTime(19, 30);
    QTest::newRow("7:30 am") << "7:30 am" << QTime(7, 30);
    QTest::newRow("12:05 AM") << "12:05 AM" << QTime(0, 5);
    QTest::newRow("19:30") << "19:30" << QTime(19, 30);
    QTest::newRow("7:30") << "7:30" << QTime(7, 30);
    QTest::newRow("07:30:15") << "07:30:15" << QTime(7, 30, 15);
    QTest::newRow("blanks around") << "  7:30 " << QTime(7, 30);
    QTest::newRow("tomorrow") << "tomorrow" << QTime();
    QTest::newRow("a date") << "12/8/2026" << QTime();
    QTest::newRow("date and time") << "12/8/2026 7:30 PM" << QTime();
    QTest::newRow("ISO date and time") << "2026-12-08 07:30" << QTime();
    QTest::newRow("25:00") << "25:00" << QTime();
    QTest::newRow("empty") << "" << QTime();
}

void TestCompanions::parseTime()
{
    QFETCH(QString, text);
    QFETCH(QTime, time);
    const auto parsed = AlarmWatch::parseTime(text, QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(parsed.has_value(), time.isValid());
    if (parsed)
        QCOMPARE(*parsed, time);
}

void TestCompanions::setAlarm(const QString &time, const QString &event, const QString &say, bool silent)
{
    FrmAlarm *w = run().app->frmAlarm();
    w->show();
    QTest::keyClicks(w->TxtAlarmTime, time);
    QTest::keyClicks(w->TxtAlarmEvent, event);
    if (!say.isEmpty()) {
        w->CmdOptions->click();
        QTest::keyClicks(w->TxtAlarmSay, say);
    }
    if (silent)
        w->ChkSilent->click();
    w->CmdOK->click();
    settle();
}

void TestCompanions::ringsOnceADay()
{
    tick(QTime(7, 0));
    setAlarm("7:30", "lunch", "Time for");
    QVERIFY(run().app->alarm().armed());
    run().character().log.clear();
    tick(QTime(7, 29, 59));
    QCOMPARE(run().log(), QStringList());
    tick(QTime(7, 30, 0));
    QCOMPARE(run().log(), QStringList({"Play Announce", "Speak Time for lunch"}));
    tick(QTime(7, 30, 1));
    tick(QTime(12, 0, 0));
    tick(QTime(23, 59, 59));
    QCOMPARE(run().log().size(), 2);
    tick(QTime(0, 0, 0), QDate(2026, 12, 9));
    tick(QTime(7, 29, 59), QDate(2026, 12, 9));
    QCOMPARE(run().log().size(), 2);
    tick(QTime(7, 30, 0), QDate(2026, 12, 9));
    QCOMPARE(run().log().size(), 4);
    QCOMPARE(run().log().last(), QString("Speak Time for lunch"));
}

void TestCompanions::passedTimeRingsAtNextTick()
{
    tick(QTime(15, 0));
    setAlarm("07:30", "coffee");
    run().character().log.clear();
    tick(QTime(15, 0, 1));
    // No prefix: the blank is still there.
    QCOMPARE(run().log(), QStringList({"Play Announce", "Speak  coffee"}));
    // The same second again changes nothing.
    tick(QTime(15, 0, 1));
    tick(QTime(15, 0, 2));
    QCOMPARE(run().log().size(), 2);

    // Nothing to say (no event, no prefix, or only what the voice drops):
    // the alarm still says something, never an empty sentence.
    QDate day(2026, 12, 9);
    for (const QString &event : {QString(), QStringLiteral("   ")}) {
        setAlarm("15:00", event);
        tick(QTime(14, 0), day); // before it: the next 15:00 rings
        run().character().log.clear();
        tick(QTime(15, 0), day);
        day = day.addDays(1);
        const QString expected = "Speak Your alarm for " + QLocale().toString(QTime(15, 0), QLocale::ShortFormat) + ".";
        QCOMPARE(run().log(), QStringList({"Play Announce", expected}));
    }
    // Control characters are dropped before speaking: nothing left either.
    AlarmWatch &alarm = run().app->alarm();
    alarm.AlarmSay = QStringLiteral("\x01");
    alarm.AlarmEvent = QStringLiteral("\x1b[0m\t");
    QVERIFY2(alarm.announcement().startsWith("Your alarm for "), qPrintable(alarm.announcement()));
    alarm.AlarmEvent = QStringLiteral("tea");
    QCOMPARE(character::cleanOutsideText(alarm.announcement()).trimmed(), QString("tea"));
    // Its preview too.
    FrmAlarm *w = run().app->frmAlarm();
    w->show();
    w->CmdOptions->click();
    run().character().log.clear();
    w->CmdTest->click();
    QCOMPARE(run().log().filter("Speak"), QStringList({"Speak This is your alarm."}));
    w->close();
}

void TestCompanions::silentMode()
{
    tick(QTime(8, 0));
    setAlarm("8:01", "meeting", "Go to", true);
    QVERIFY(run().app->alarm().AlarmSilent);
    run().agent().Agent.Hide();
    run().character().completeAll();
    run().character().log.clear();
    tick(QTime(8, 1));
    QCOMPARE(run().log(), QStringList({"Show", "Play GetAttention", "Think Go to meeting", "Play GetAttentionReturn"}));
}

void TestCompanions::emptyTimeKeepsWindow()
{
    FrmAlarm *w = run().app->frmAlarm();
    w->show();
    // The empty box shows how a time is typed, in a form the window takes.
    QVERIFY(w->TxtAlarmTime->text().isEmpty());
    const QString hint = w->TxtAlarmTime->placeholderText();
    QVERIFY2(AlarmWatch::parseTime(hint).has_value(), qPrintable("the hint \"" + hint + "\" is not a time"));
    QTest::keyClicks(w->TxtAlarmEvent, "tea");
    w->CmdOK->click();
    settle();
    QCOMPARE(run().log(), QStringList{"Speak You must enter a time."});
    QVERIFY(run().app->forms().isLoaded(w));
    QVERIFY(w->isVisible());
    QCOMPARE(w->TxtAlarmEvent->text(), QString("tea"));
    QVERIFY(run().app->alarm().AlarmEvent.isEmpty());
    // Test speaks prefix and event as separate words, as the alarm will;
    // a blank the user typed at either end is not doubled.
    w->CmdOptions->click();
    QTest::keyClicks(w->TxtAlarmSay, "it is time to");
    QTest::keyClicks(w->TxtAlarmEvent, " break");
    run().character().log.clear();
    w->CmdTest->click();
    QCOMPARE(run().log(), QStringList{"Speak it is time to tea break"});
    QCOMPARE(run().app->alarm().AlarmEvent, QString("tea break"));
    w->TxtAlarmEvent->setText(QStringLiteral("Stand up"));
    run().character().log.clear();
    w->CmdTest->click();
    QCOMPARE(run().log(), QStringList{"Speak it is time to Stand up"});
}

void TestCompanions::refusedTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("tomorrow") << "tomorrow";
    QTest::newRow("hour and minute out of range") << "25:99";
    // Accepted once, it could never have rung.
    QTest::newRow("date with the time") << "2026-12-08 07:30";
}

void TestCompanions::refusedTime()
{
    QFETCH(QString, text);
    tick(QTime(7, 0));
    setAlarm("6:45", "walk");
    QVERIFY(run().app->alarm().armed());
    run().character().log.clear();
    setAlarm(text, "gym", "Off to");
    QCOMPARE(run().log(), QStringList{"Speak The time you entered was not valid."});
    // The window stays with everything typed in it and says why in its own
    // words, all of them inside it; the alarm set before is untouched,
    // here and in the settings.
    FrmAlarm *w = nullptr;
    for (QWidget *open : run().app->forms().all())
        if (open->objectName() == u"FrmAlarm")
            w = qobject_cast<FrmAlarm *>(open);
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->TxtAlarmTime->text(), text);
    QCOMPARE(w->TxtAlarmEvent->text(), QString("gym"));
    QCOMPARE(w->TxtAlarmSay->text(), QString("Off to"));
    QVERIFY(w->LblMessage->isVisible());
    QVERIFY(w->LblMessage->text().startsWith("The time you entered was not valid."));
    QVERIFY(w->rect().contains(w->LblMessage->geometry()));
    QVERIFY(w->LblMessage->height() >= w->LblMessage->heightForWidth(w->LblMessage->width()));
    QCOMPARE(run().app->alarm().AlarmTime, QTime(6, 45));
    QCOMPARE(run().app->alarm().AlarmEvent, QString("walk"));
    QCOMPARE(run().settings.read("Kestrova", "Alarm", "Time"), QString("06:45:00"));
    // Put right, OK sets it and the window goes.
    w->TxtAlarmTime->setText(QStringLiteral("7:30"));
    w->CmdOK->click();
    settle();
    QCOMPARE(run().app->alarm().AlarmTime, QTime(7, 30));
    QCOMPARE(run().app->alarm().AlarmEvent, QString("gym"));
    QCOMPARE(run().app->alarm().AlarmSay, QString("Off to"));
    for (QWidget *open : run().app->forms().all())
        QVERIFY(open->objectName() != u"FrmAlarm");
}

void TestCompanions::alarmSurvivesRestart()
{
    tick(QTime(7, 0));
    setAlarm("7:30", "gym", "Off to", true);
    QVERIFY(run().app->alarm().armed());
    // The next run, before the time: armed with the same words and mode,
    // and it rings at that time.
    m_run.reset();
    settle();
    m_run = std::make_unique<TestRun>(m_dir->path());
    run().platform.clock.time = QDateTime(QDate(2026, 12, 8), QTime(7, 10));
    run().app->Main();
    run().character().completeAll();
    AlarmWatch &alarm = run().app->alarm();
    QCOMPARE(alarm.AlarmTime, QTime(7, 30));
    QCOMPARE(alarm.AlarmEvent, QString("gym"));
    QCOMPARE(alarm.AlarmSay, QString("Off to"));
    QVERIFY(alarm.AlarmSilent);
    QVERIFY(alarm.nextDue().isValid());
    run().character().log.clear();
    tick(QTime(7, 30));
    QVERIFY2(run().log().contains("Think Off to gym"), qPrintable(run().log().join('|')));

    // Started after the time has passed today: not rung late, but tomorrow.
    m_run.reset();
    settle();
    m_run = std::make_unique<TestRun>(m_dir->path());
    run().platform.clock.time = QDateTime(QDate(2026, 12, 8), QTime(9, 0));
    run().app->Main();
    run().character().completeAll();
    QCOMPARE(run().app->alarm().AlarmTime, QTime(7, 30));
    run().character().log.clear();
    tick(QTime(9, 0, 1));
    QVERIFY(run().log().filter("gym").isEmpty());
    tick(QTime(7, 30), QDate(2026, 12, 9));
    QVERIFY(!run().log().filter("gym").isEmpty());

    // Cancel is kept too: the run after it starts disarmed.
    run().app->frmAlarm()->CmdCancel->click();
    settle();
    m_run.reset();
    settle();
    m_run = std::make_unique<TestRun>(m_dir->path());
    run().app->Main();
    QVERIFY(!run().app->alarm().armed());
    QCOMPARE(run().app->alarm().AlarmEvent, QString("gym"));

    // A stored time that is not one, from a hand-edited file, arms nothing.
    for (const char *bad : {"25:99:00", "7:30 tomorrow", "\x01"}) {
        m_run.reset();
        settle();
        QVERIFY(SettingsStore(m_dir->path()).write("Kestrova", "Alarm", "Time", QString::fromLatin1(bad)));
        m_run = std::make_unique<TestRun>(m_dir->path());
        run().app->Main();
        QVERIFY2(!run().app->alarm().armed(), bad);
    }
}

void TestCompanions::cancelDisarms()
{
    tick(QTime(9, 0));
    setAlarm("9:30", "call");
    QVERIFY(run().app->alarm().armed());
    // A new window shows the design values, not the alarm; Escape closes it
    // as the close box does and leaves the alarm armed.
    QPointer<FrmAlarm> looked = run().app->frmAlarm();
    looked->show();
    QVERIFY(looked->TxtAlarmTime->text().isEmpty());
    QTest::keyClick(looked->TxtAlarmTime, Qt::Key_Escape);
    settle();
    QVERIFY(!looked);
    QVERIFY(run().app->alarm().armed());
    QCOMPARE(run().app->alarm().AlarmTime, QTime(9, 30));
    // "Cancel" disarms it.
    FrmAlarm *w = run().app->frmAlarm();
    w->CmdCancel->click();
    settle();
    QVERIFY(!run().app->alarm().armed());
    QCOMPARE(run().app->alarm().AlarmEvent, QString("call"));
    tick(QTime(9, 30));
    QCOMPARE(run().log(), QStringList());
}

void TestCompanions::watchOutlivesOptionsWindow()
{
    tick(QTime(10, 0, 0));
    FrmMain *options = run().app->frmMain();
    QCOMPARE(options->LblClock->text(), QLocale::system().toString(QTime(10, 0, 0), QLocale::LongFormat));
    tick(QTime(10, 0, 5));
    QCOMPARE(options->LblClock->text(), QLocale::system().toString(QTime(10, 0, 5), QLocale::LongFormat));
    setAlarm("10:02", "stretch");
    options->close();
    settle();
    // Loading the options window again does not disarm it, and with the
    // window closed the alarm still rings.
    run().app->frmMain()->close();
    settle();
    QVERIFY(run().app->alarm().armed());
    QVERIFY(!run().app->frmMainLoaded());
    run().character().log.clear();
    tick(QTime(10, 2, 0));
    QCOMPARE(run().log(), QStringList({"Play Announce", "Speak  stretch"}));
    // The watch itself sleeps until the alarm is due; while a clock label
    // shows the time it ticks once a second.
    QCOMPARE(int(AlarmWatch::TickMs), 1000);
}

void TestCompanions::watchStopsWhenTheWindowsUnload()
{
    QSignalSpy finished(run().app.get(), &Application::finished);
    run().app->Main();
    run().character().completeAll();
    setAlarm("10:02", "stretch");
    QVERIFY(run().app->alarm().watching());
    QVERIFY(run().app->alarm().nextDue().isValid());
    const QString counted = run().settings.read("Kestrova", "Run", "Number");
    run().agent().AgentCtrl_Command(UserInput{"Quit", 80, "quit"});
    run().character().completeAll();
    QCOMPARE(finished.count(), 1);
    // Nothing ticks between the last window and the end of the process: a
    // ring there would load the host window, and the character, again.
    QVERIFY(!run().app->alarm().ticking());
    QVERIFY(!run().app->alarm().watching());
    settle();
    QVERIFY(!run().app->agentLoaded());
    QCOMPARE(run().settings.read("Kestrova", "Run", "Number"), counted);
}

void TestCompanions::optionsWidening()
{
    FrmAlarm *w = run().app->frmAlarm();
    w->show();
    QCOMPARE(w->windowTitle(), QString("Set Alarm"));
    QVERIFY(w->FrmOptions->isHidden() && w->Line1->isHidden());
    const int narrow = w->width();
    // The options area lies beyond the narrow window's right edge.
    QVERIFY(w->FrmOptions->geometry().left() >= narrow);
    w->CmdOptions->click();
    // At least the original 4480 twips, wider when the font needs it.
    QVERIFY(w->width() >= 4480 * 96 / 1440);
    QCOMPARE(w->width(), w->wideWidth());
    QVERIFY(!w->FrmOptions->isHidden() && !w->Line1->isHidden());
    QVERIFY(w->FrmOptions->geometry().right() < w->width());
    // Its contents fit inside it, whole.
    const QRect inside = w->FrmOptions->contentsRect();
    for (QWidget *part : {static_cast<QWidget *>(w->TxtAlarmSay), static_cast<QWidget *>(w->CmdTest)}) {
        QVERIFY(inside.contains(part->geometry()));
        QVERIFY(part->width() >= part->minimumSizeHint().width());
    }
}

void TestCompanions::searchAddress_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("address");
    using namespace WebSearch;
    QTest::newRow("Alta Vista") << 1 << "cats" << AltaVistaHost + "/cgi-bin/query?pg=q&what=web&fmt=.&q=cats";
    QTest::newRow("Excite") << 3 << "cats" << ExciteHost + "/search.gw?c=web&search=cats";
    QTest::newRow("HotBot") << 5 << "cats" << HotBotHost + "/?SW=web&SM=MC&MT=cats";
    QTest::newRow("InfoSeek") << 7 << "cats" << InfoSeekHost + "/Titles?qt=cats&col=WW&sv=IS&lk=noframes";
    QTest::newRow("Lycos") << 9 << "cats" << LycosHost + "/cgi-bin/pursuit?query=cats";
    QTest::newRow("Yahoo") << 11 << "cats" << YahooHost + "/bin/search?p=cats";
    QTest::newRow("SoftSeek") << 13 << "cats"
                              << SoftSeekHost + "/cgi-bin/search.cgi?keywords=cats&seekindex=index&maxresults=025&cb=";
    QTest::newRow("AudioFind") << 15 << "cats" << AudioFindHost + "/?audiofindsearch=cats&audiofindtype=";
    QTest::newRow("ampersand and blanks") << 11 << "cats & dogs" << YahooHost + "/bin/search?p=cats%20%26%20dogs";
    QTest::newRow("hash and plus") << 11 << "c# + c++" << YahooHost + "/bin/search?p=c%23%20%2B%20c%2B%2B";
    QTest::newRow("not ASCII") << 11 << "Öl" << YahooHost + "/bin/search?p=%C3%96l";
    QTest::newRow("empty phrase") << 7 << "" << InfoSeekHost + "/Titles?qt=&col=WW&sv=IS&lk=noframes";
    QTest::newRow("past the table") << 17 << "cats" << "cats";
}

void TestCompanions::searchAddress()
{
    QFETCH(int, field);
    QFETCH(QString, phrase);
    QFETCH(QString, address);
    QCOMPARE(WebSearch::searchAddress(phrase, field), address);
}

void TestCompanions::getField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("field");
    QTest::newRow("first") << "a|b|c" << 1 << "a";
    QTest::newRow("last") << "a|b|c" << 3 << "c";
    QTest::newRow("past the end") << "a|b|c" << 4 << "";
    QTest::newRow("zero") << "a|b|c" << 0 << "";
    QTest::newRow("negative") << "a|b|c" << -1 << "";
    QTest::newRow("between two delimiters") << "a||c" << 2 << "";
    QTest::newRow("trailing empty") << "a|" << 2 << "";
}

void TestCompanions::getField()
{
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(QString, field);
    QCOMPARE(WebSearch::GetField(text, u'|', n), field);
    // The table's empty suffixes and the field past its end.
    const QString table = WebSearch::engineTable();
    for (int k : {2, 4, 6, 10, 12, 17, 18})
        QCOMPARE(WebSearch::GetField(table, u'|', k), QString());
}

void TestCompanions::searchForm()
{
    FrmSearch *w = run().app->frmSearch();
    w->show();
    QCOMPARE(w->windowTitle(), QString("Search"));
    QVERIFY(w->OptEngine[0]->isChecked());
    QCOMPARE(w->TxtEngine->text(), QString("1"));
    QVERIFY(w->TxtEngine->isHidden());
    w->OptEngine[3]->click();
    QCOMPARE(w->TxtEngine->text(), QString("7"));
    QTest::keyClicks(w->TxtQuery, "cats & dogs");
    // Enter in the phrase box presses "Search".
    QTest::keyClick(w->TxtQuery, Qt::Key_Return);
    settle();
    QCOMPARE(run().platform.shell.opened,
             QStringList{WebSearch::InfoSeekHost + "/Titles?qt=cats%20%26%20dogs&col=WW&sv=IS&lk=noframes"});
    QCOMPARE(run().log(), QStringList{"Play Search"});
    QVERIFY(!run().app->forms().isLoaded(w));
    // Opened again: the first engine; Cancel opens nothing and says nothing.
    FrmSearch *again = run().app->frmSearch();
    QVERIFY(again->OptEngine[0]->isChecked());
    QCOMPARE(again->TxtEngine->text(), QString("1"));
    again->CmdSearch[1]->click();
    settle();
    QVERIFY(!run().app->forms().isLoaded(again));
    QCOMPARE(run().platform.shell.opened.size(), 1);
    QCOMPARE(run().log().size(), 1);
}

void TestCompanions::openRun()
{
    FrmOpen *w = run().app->frmOpen();
    w->show();
    QCOMPARE(w->windowTitle(), QString("Open/Run File"));
    QVERIFY(w->TxtOpen->text().isEmpty());
    // Browse: the dialog's title and filter; a cancelled dialog leaves the box.
    QTest::keyClicks(w->TxtOpen, "/tmp/typed");
    w->CmdButton[1]->click();
    QCOMPARE(run().platform.openFileDialog.asked.size(), 1);
    QCOMPARE(run().platform.openFileDialog.asked[0].title, QString("Select a file to open"));
    QCOMPARE(run().platform.openFileDialog.asked[0].filter,
             QString("Executable Files (*.exe)|*.exe|All Files (*.*)|*.*"));
    QCOMPARE(w->TxtOpen->text(), QString("/tmp/typed"));
    run().platform.openFileDialog.answers = {"/usr/bin/report tool"};
    w->CmdButton[1]->click();
    QCOMPARE(w->TxtOpen->text(), QString("/usr/bin/report tool"));
    QVERIFY(run().app->forms().isLoaded(w));
    // What cannot be opened keeps the window and the text, and says why,
    // in the window (inside it) and aloud.
    run().platform.shell.succeeds = false;
    run().platform.shell.failure = OpenFailure::NotFound;
    const QString missing = m_dir->path() + "/no such folder/notes.txt";
    w->TxtOpen->setText(missing);
    w->CmdButton[0]->click();
    settle();
    QVERIFY(run().app->forms().isLoaded(w) && w->isVisible());
    QCOMPARE(w->TxtOpen->text(), missing);
    QVERIFY(w->LblMessage->isVisible());
    QVERIFY2(w->LblMessage->text().startsWith("There is no file or folder at "), qPrintable(w->LblMessage->text()));
    QVERIFY(w->rect().contains(w->LblMessage->geometry()));
    QCOMPARE(run().log(),
             QStringList{"Speak I couldn't open that. There is no file, folder or program called \"notes.txt\" here."});
    run().platform.shell.failure = OpenFailure::NotStarted;
    QCOMPARE(FrmOpen::whyNotOpened("nosuchprogram"),
             QString("No file, folder, address or program called \u201cnosuchprogram\u201d was found."));
    QVERIFY(FrmOpen::whyNotOpened(m_dir->path()).endsWith("is there, but no program could open it."));
    run().character().log.clear();
    run().platform.shell.succeeds = true;
    run().platform.shell.opened.clear();
    // OK hands the whole text over, arguments and all.
    w->TxtOpen->setText(" /usr/bin/editor --new notes.txt");
    w->CmdButton[0]->click();
    settle();
    QCOMPARE(run().platform.shell.opened, QStringList{" /usr/bin/editor --new notes.txt"});
    QVERIFY(!run().app->forms().isLoaded(w));
    // Shown again: an empty box; OK with it opens nothing and closes.
    FrmOpen *again = run().app->frmOpen();
    QVERIFY(again->TxtOpen->text().isEmpty());
    again->CmdButton[0]->click();
    settle();
    QCOMPARE(run().platform.shell.opened.size(), 1);
    QVERIFY(!run().app->forms().isLoaded(again));
    FrmOpen *third = run().app->frmOpen();
    third->CmdButton[2]->click();
    settle();
    QVERIFY(!run().app->forms().isLoaded(third));
    QCOMPARE(run().log(), QStringList());
}

void TestCompanions::tourNavigation()
{
    FrmTour *w = run().app->frmTour();
    QCOMPARE(w->windowTitle(), QString("Tour"));
    QCOMPARE(w->currentPage(), 0);
    const QRect frame = w->frameGeometry();
    const QStringList log = run().log();
    QCOMPARE(log.size(), 8);
    // Beside the window's top right corner before anything is said.
    QVERIFY(log[0].startsWith("MoveTo "));
    const QStringList xy = log[0].mid(7).split(' ');
    QCOMPARE(xy[1].toInt(), frame.top());
    QVERIFY(xy[0].toInt() == frame.left() + frame.width() || xy[0].toInt() + 128 <= frame.left());
    QCOMPARE(log.mid(1), QStringList({"Play GestureRight", "Speak Welcome to kestrova.", "Play RestPose",
                                      "Speak " + w->Label2->text(), "Play Pleased",
                                      "Speak Just look at everything I can do.", "Play LookRight"}));
    // What the character says of itself names no other vendor's agents.
    QCOMPARE(w->Label2->text(), QString("Kestrova is an exciting new programme for your computer.  It uses cool "
                                        "'agents' to create a new method of interacting with your computer."));
    QVERIFY(w->CmdCollection[1]->isEnabled());
    // Nothing before the first page: Back is off, and does nothing.
    QVERIFY(!w->CmdCollection[0]->isEnabled());
    run().character().log.clear();
    w->CmdCollection[0]->click();
    QCOMPARE(w->currentPage(), 0);
    w->CmdCollection[1]->click();
    QCOMPARE(w->currentPage(), 1);
    // The welcome, not over yet, stops for the page's own text.
    QVERIFY(run().log().value(0).startsWith("StopRequests Play GestureRight / Speak Welcome to kestrova."));
    QCOMPARE(run().log().mid(1),
             QStringList({"Play GestureRight", "Speak " + w->LblInterface->text(), "Play RestPose"}));
    QVERIFY(w->LblInterface->text().contains("The \" My Office\" and"));
    w->CmdCollection[1]->click();
    QCOMPARE(w->currentPage(), 2);
    QCOMPARE(run().log().last(), "Speak " + w->LblSettingUp->text());
    w->CmdCollection[1]->click();
    QCOMPARE(w->currentPage(), 3);
    QCOMPARE(run().log().last(), "Speak " + w->LblHelp->text());
    QVERIFY(!w->CmdCollection[1]->isEnabled());
    // The last page ends with "Finish" where "Next" was, which Enter presses.
    QVERIFY(w->CmdFinish->isVisibleTo(w) && w->CmdFinish->isEnabled());
    QVERIFY(w->CmdCollection[1]->isHidden());
    QCOMPARE(WindowKeys::defaultButton(w), w->CmdFinish);
    const int said = run().log().size();
    // Going back says nothing (what was left of the last page's text
    // stops); Next comes back with the page before, Back goes on reaching
    // page 0.
    w->CmdCollection[0]->click();
    QVERIFY(w->CmdCollection[1]->isEnabled());
    QVERIFY(!w->CmdCollection[1]->isHidden() && w->CmdFinish->isHidden());
    w->CmdCollection[0]->click();
    QCOMPARE(w->currentPage(), 1);
    QVERIFY(w->CmdCollection[0]->isEnabled());
    w->CmdCollection[0]->click();
    QCOMPARE(w->currentPage(), 0);
    QVERIFY(!w->CmdCollection[0]->isEnabled());
    QVERIFY(w->CmdCollection[1]->isEnabled());
    QCOMPARE(run().log().mid(said), QStringList{"StopRequests Speak " + w->LblHelp->text()});
    // And forward again from there, in any order: each page says its text again.
    w->CmdCollection[1]->click();
    QCOMPARE(w->currentPage(), 1);
    QVERIFY(w->CmdCollection[0]->isEnabled());
    w->CmdCollection[0]->click();
    w->CmdCollection[1]->click();
    w->CmdCollection[1]->click();
    QCOMPARE(w->currentPage(), 2);
    QCOMPARE(run().log().last(), "Speak " + w->LblSettingUp->text());
    QVERIFY(w->CmdCollection[0]->isEnabled() && w->CmdCollection[1]->isEnabled());
    // "Finish" on the last page ends the tour as "Cancel" does.
    w->CmdCollection[1]->click();
    const QPointer<FrmTour> tour(w);
    w->CmdFinish->click();
    settle();
    QVERIFY(!tour || !run().app->forms().isLoaded(tour));
    QVERIFY(run().log().contains("StopAll"));
}

// What the character reads of a page stops when another page is shown:
// Next three times, then Back three times, leaves nothing of pages 2 to 4
// to be read while the first is shown.
void TestCompanions::tourSpeechFollowsItsPage()
{
    FrmTour *w = run().app->frmTour();
    RecordingCharacter &character = run().character();
    const auto stillToSay = [&character] {
        QStringList texts;
        for (const RecordingCharacter::Pending &p : character.pending)
            if (p.text.startsWith("Speak "))
                texts << p.text;
        return texts;
    };
    QVERIFY(stillToSay().contains("Speak Welcome to kestrova."));
    // What is not the tour's is said all the same.
    run().agent().Agent.Speak("Time to stretch");
    w->CmdCollection[1]->click();
    QCOMPARE(stillToSay(), QStringList({"Speak Time to stretch", "Speak " + w->LblInterface->text()}));
    character.completeAll();
    w->CmdCollection[1]->click();
    w->CmdCollection[1]->click();
    QCOMPARE(w->currentPage(), 3);
    QCOMPARE(stillToSay(), QStringList{"Speak " + w->LblHelp->text()});
    character.log.clear();
    for (int k = 0; k < 3; ++k)
        w->CmdCollection[0]->click();
    QCOMPARE(w->currentPage(), 0);
    QVERIFY2(character.pending.isEmpty(), qPrintable(stillToSay().join('/')));
    QCOMPARE(run().log(), QStringList{"StopRequests Speak " + w->LblHelp->text()});
    // A page read to its end leaves nothing to stop: the next page's text
    // follows without cutting anything else short.
    w->CmdCollection[1]->click();
    character.completeAll();
    character.log.clear();
    w->CmdCollection[1]->click();
    QCOMPARE(run().log(), QStringList{"Speak " + w->LblSettingUp->text()});
}

// A window manager may place the tour elsewhere after it is shown (a tiling
// one floats and centres it): the character, sent beside the window where it
// was, goes beside it where it is, before what it had still to do. The
// frame a window manager adds around it sends it nowhere.
void TestCompanions::tourFollowsWindowPlacement()
{
    FrmTour *w = run().app->frmTour();
    RecordingCharacter &character = run().character();
    const auto placedBy = [w](QPoint to) {
        w->move(to);
        // The window's moves are looked at once the burst of them is over.
        QCoreApplication::sendPostedEvents(w, QEvent::MetaCall);
    };
    const auto target = [w, this] {
        const std::optional<QPoint> at = run().app->targetBeside(w->frameGeometry());
        return at ? QStringLiteral("MoveTo %1 %2").arg(at->x()).arg(at->y()) : QString();
    };
    const auto pendingTexts = [&character] {
        QStringList texts;
        for (const RecordingCharacter::Pending &p : character.pending)
            texts << p.text;
        return texts;
    };
    const QStringList welcome = {"Play GestureRight", "Speak Welcome to kestrova.", "Play RestPose",
                                 "Speak " + w->Label2->text(), "Play Pleased",
                                 "Speak Just look at everything I can do.", "Play LookRight"};
    QVERIFY(w->followsPlacement());
    const QString first = target();
    QCOMPARE(run().log(), QStringList{first} + welcome);
    character.log.clear();

    // Framed where it stands: a few pixels off, the character keeps going.
    const QPoint asked = w->pos();
    placedBy(asked + QPoint(4, 24));
    QCOMPARE(run().log(), QStringList());

    // Centred on the screen while the character is on its way: its walk and
    // the welcome are made again, beside the window as it stands now.
    placedBy(QPoint(asked.x() + 160, asked.y() + 50));
    const QString second = target();
    QVERIFY(second != first);
    QCOMPARE(run().log(), QStringList({"StopRequests " + (QStringList{first} + welcome).join(" / "), second}) + welcome);
    QCOMPARE(pendingTexts(), QStringList{second} + welcome);

    // There, and its first gesture made, the window moves again: what it
    // had still to do follows the walk; the gesture is not made twice.
    QVERIFY(character.completeNext());
    QVERIFY(character.completeNext());
    character.log.clear();
    placedBy(QPoint(asked.x() - 200, asked.y() + 100));
    const QString third = target();
    QVERIFY(third != second);
    QCOMPARE(run().log(), QStringList({"StopRequests " + welcome.mid(1).join(" / "), third}) + welcome.mid(1));
    QCOMPARE(pendingTexts(), QStringList{third} + welcome.mid(1));

    // The next page's text, interrupted by another move, is what follows.
    character.completeAll();
    w->CmdCollection[1]->click();
    character.log.clear();
    placedBy(QPoint(asked.x() + 100, asked.y() - 40));
    const QString fourth = target();
    const QStringList page = {"Play GestureRight", "Speak " + w->LblInterface->text(), "Play RestPose"};
    QCOMPARE(run().log(), QStringList({"StopRequests " + page.join(" / "), fourth}) + page);

    // Closed, it follows the window no more.
    character.completeAll();
    w->close();
    QVERIFY(!w->followsPlacement());
    settle();
}

void TestCompanions::tourCancelAndButtons()
{
    run().app->setRestPosition(40, 50);
    FrmTour *w = run().app->frmTour();
    w->CmdOptions->click();
    QVERIFY(run().app->frmMain()->isVisible());
    QCOMPARE(w->CmdOptions->text(), QString("Show me the options window now."));
    run().character().log.clear();
    // Escape is Cancel: the character stops at once and goes home.
    QTest::keyClick(w, Qt::Key_Escape);
    settle();
    QVERIFY(!run().app->forms().isLoaded(w));
    QCOMPARE(run().log(), QStringList({"StopAll", "MoveTo 40 50"}));
    // Accepting the first run's offer opens the tour.
    run().agent().MnuYes_Click();
    QVERIFY(run().app->frmTour()->isVisible());
}

void TestCompanions::tourHelpButton()
{
    // A program folder of the test's own, so what is beside the program is
    // known: first nothing, then the pages, then the compiled book too.
    const QString prog = m_dir->path() + "/prog";
    QVERIFY(QDir().mkpath(prog + "/help"));
    m_run.reset();
    settle();
    m_run = std::make_unique<TestRun>(m_dir->path() + "/settings", "Kess", prog);
    run().agent();
    run().character().completeAll();
    FrmTour *w = run().app->frmTour();
    run().character().completeAll();
    run().character().log.clear();

    w->CmdHelp->click();
    QVERIFY(run().platform.shell.opened.isEmpty());
    QCOMPARE(run().log(), QStringList({"Play Sad", "Speak I could not find the help file. See the readme file "
                                                   "for information on downloading the help file."}));

    auto touch = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
    };
    QVERIFY(touch(prog + "/help/index.html"));
    w->CmdHelp->click();
    QCOMPARE(run().platform.shell.opened, QStringList{prog + "/help/index.html"});

    QVERIFY(touch(prog + "/Kestrova_Help.chm"));
    run().platform.shell.opened.clear();
    w->CmdHelp->click();
    QCOMPARE(run().platform.shell.opened, QStringList{prog + "/Kestrova_Help.chm"});
    // Nothing on this desktop shows such a book: the pages instead.
    run().platform.shell.opened.clear();
    run().platform.shell.unhandled = QStringList{".chm"};
    w->CmdHelp->click();
    QCOMPARE(run().platform.shell.opened, QStringList{prog + "/help/index.html"});
    QCOMPARE(run().platform.shell.asked.size(), 2);
}

void TestCompanions::aboutBox()
{
    frmAbout *w = run().app->aboutBox();
    QCOMPARE(w->windowTitle(), QString("About Kestrova"));
    QCOMPARE(w->lblTitle->text(), QString("Kestrova"));
    QCOMPARE(w->lblVersion->text(), QString("Version 1.0.0"));
    w->CmdEMail->click();
    QCOMPARE(run().platform.shell.opened, QStringList{"mailto:support@kestrova.org?subject=Kestrova"});
    // A tool that cannot be started, or none at all: the message box.
    run().platform.shell.succeeds = false;
    w->cmdSysInfo->click();
    QCOMPARE(run().platform.messageBox.shown, QStringList{"Kestrova: System Information Is Unavailable At This Time"});
    w->cmdOK->click();
    settle();
    QVERIFY(!run().app->forms().isLoaded(w));
}

void TestCompanions::registryValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::newRow("string") << 1 << QByteArray("C:\\Tools\\info.exe\0", 18) << "C:\\Tools\\info.exe" << true;
    QTest::newRow("string without end") << 1 << QByteArray("C:\\x") << "C:\\x" << true;
    QTest::newRow("empty string") << 1 << QByteArray("\0", 1) << "" << true;
    QTest::newRow("double word") << 4 << QByteArray("\x01\x00\x0a\x00", 4) << "&h0a01" << true;
    QTest::newRow("double word 0x12345678") << 4 << QByteArray("\x78\x56\x34\x12", 4) << "&h12345678" << true;
    QTest::newRow("binary") << 3 << QByteArray("\x01\x02", 2) << "" << false;
}

void TestCompanions::registryValues()
{
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, text);
    QFETCH(bool, read);
    const auto value = frmAbout::registryValueText(unsigned(type), data);
    QCOMPARE(value.has_value(), read);
    if (value)
        QCOMPARE(*value, text);
}

void TestCompanions::sysInfoLookup()
{
    QTemporaryDir apps1, apps2;
    QCOMPARE(frmAbout::findSysInfo({apps1.path(), apps2.path()}), QString());
    const QStringList known = frmAbout::sysInfoDesktopEntries();
    // The first of the list that is installed, whichever folder holds it.
    QFile later(apps1.path() + '/' + known.at(3));
    QVERIFY(later.open(QIODevice::WriteOnly));
    later.close();
    QCOMPARE(frmAbout::findSysInfo({apps1.path(), apps2.path()}), later.fileName());
    QFile earlier(apps2.path() + '/' + known.at(1));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.close();
    QCOMPARE(frmAbout::findSysInfo({apps1.path(), apps2.path()}), earlier.fileName());
}

void TestCompanions::dispatchOpensWindows_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("menuEntry");
    QTest::addColumn<QString>("window");
    QTest::newRow("Alarm") << "Alarm" << "MnuAlarm" << "FrmAlarm";
    QTest::newRow("Open File") << "Open File" << "MnuOpen" << "FrmOpen";
    QTest::newRow("Calender") << "Calender" << "MnuCalender" << "FrmCalender";
    QTest::newRow("Search the Internet") << "Search the Internet" << "MnuSearch" << "FrmSearch";
    QTest::newRow("About") << "About" << "MnuAbout" << "frmAbout";
    QTest::newRow("Tour") << "" << "MnuTour" << "FrmTour";
}

void TestCompanions::dispatchOpensWindows()
{
    QFETCH(QString, command);
    QFETCH(QString, menuEntry);
    QFETCH(QString, window);
    const auto visible = [this, window] {
        for (QWidget *w : run().app->forms().all())
            if (w->objectName() == window && w->isVisible())
                return w;
        return static_cast<QWidget *>(nullptr);
    };
    if (!command.isEmpty()) {
        run().agent().AgentCtrl_Command(UserInput{command, 90, command});
        QWidget *w = visible();
        QVERIFY(w);
        w->close();
        settle();
        QVERIFY(!visible());
    }
    auto *entry = run().app->frmMenus()->findChild<QAction *>(menuEntry);
    QVERIFY(entry);
    entry->trigger();
    QVERIFY(visible());
}

// Three days of the alarm on the test's timers and clock, moved on together
// from one wake-up to the next: it sleeps until the alarm time, then until
// midnight, then until the alarm time of the next day, looking at the clock
// at most once an hour meanwhile; nothing ticks each second while the
// options window is not on the screen.
void TestCompanions::alarmSleepsUntilDue()
{
    test::ManualTimers timers;
    AlarmWatch &alarm = run().app->alarm();
    alarm.setTimers(timers);
    run().app->Main();
    run().character().completeAll();
    QVERIFY(!alarm.wakesAt().isValid()); // disarmed: nothing to wake for
    QCOMPARE(timers.armedCount(), 0);
    setAlarm("10:02", "stretch");
    QCOMPARE(alarm.wakesAt(), QDateTime(QDate(2026, 12, 6), QTime(10, 2)));
    run().character().log.clear();
    QList<QDateTime> scheduled{alarm.wakesAt()};
    QDateTime &now = run().platform.clock.time;
    int wakeUps = 0;
    while (now < QDateTime(QDate(2026, 12, 9), QTime(9, 0))) {
        const qint64 step = timers.nextDueMs() - timers.elapsedMs();
        QVERIFY(step >= 0 && timers.nextDueMs() >= 0);
        now = now.addMSecs(step);
        timers.advance(step);
        ++wakeUps;
        if (alarm.wakesAt() != scheduled.last())
            scheduled << alarm.wakesAt();
    }
    QCOMPARE(run().log().count("Play Announce"), 3);
    const QList<QDateTime> expected = {
        QDateTime(QDate(2026, 12, 6), QTime(10, 2)), QDateTime(QDate(2026, 12, 7), QTime(0, 0)),
        QDateTime(QDate(2026, 12, 7), QTime(10, 2)), QDateTime(QDate(2026, 12, 8), QTime(0, 0)),
        QDateTime(QDate(2026, 12, 8), QTime(10, 2)), QDateTime(QDate(2026, 12, 9), QTime(0, 0)),
        QDateTime(QDate(2026, 12, 9), QTime(10, 2))};
    QCOMPARE(scheduled, expected);
    // Three days are about 72 hourly looks, not 259200 seconds.
    QVERIFY2(wakeUps >= 70 && wakeUps <= 80, qPrintable(QString::number(wakeUps)));
    QVERIFY(!alarm.ticking());
    // A time already past today rings at once: the wake-up is now.
    now = QDateTime(QDate(2026, 12, 9), QTime(15, 0));
    alarm.AlarmRung = false;
    alarm.arm(QTime(7, 30));
    QCOMPARE(alarm.wakesAt(), now);
    QCOMPARE(timers.nextDueMs(), timers.elapsedMs());
    run().character().log.clear();
    timers.advance(0);
    QCOMPARE(run().log().count("Play Announce"), 1);
    // The options window on the screen ticks the clock each second.
    run().app->frmMain()->show();
    QVERIFY(alarm.ticking());
    run().app->frmMain()->hide();
    QVERIFY(!alarm.ticking());
    // Cancelled: nothing to wake for.
    alarm.disarm();
    QVERIFY(!alarm.wakesAt().isValid());
    QCOMPARE(timers.armedCount(), 0);
    alarm.setTimers(Timers::system());
}

// A new user's run as the user took it, on the timers alone (no clock on
// the screen): an alarm set a minute ahead rings; then the options window
// is opened by its command and closed with Escape, and another alarm set a
// minute ahead rings at its minute too, although the first one has rung.
// With nothing stored for the jokes switch (the box shows jokes on), jokes
// come at minutes 5 and 10.
void TestCompanions::timersOutliveOptionsWindow()
{
    run().settings.write("Kestrova", "Jokes", "Say", "Joke time:");
    test::ManualTimers timers;
    AlarmWatch &alarm = run().app->alarm();
    alarm.setTimers(timers);
    run().app->jokeWatch().setTimers(timers);
    QDateTime &now = run().platform.clock.time;
    const QDateTime start(QDate(2026, 12, 8), QTime(10, 0, 0));
    now = start;
    run().app->Main();
    run().character().completeAll();
    run().character().log.clear();

    QList<QDateTime> rang, joked;
    const auto passUntil = [&](const QDateTime &until) {
        while (now < until) {
            const qint64 step = qMin(timers.nextDueMs() - timers.elapsedMs(), now.msecsTo(until));
            QVERIFY(step >= 0);
            now = now.addMSecs(step);
            timers.advance(step);
            run().character().completeAll();
            QStringList &log = run().character().log;
            if (log.contains("Speak  stretch"))
                rang << now;
            if (log.contains("Speak Joke time:"))
                joked << now;
            log.clear();
        }
    };
    // At its minute, or at most 2 s after it.
    const auto onTime = [&](int index, int minute) {
        const QDateTime due = start.addSecs(60 * minute);
        return rang.size() > index && rang.at(index) >= due && rang.at(index) <= due.addSecs(2);
    };
    setAlarm("10:01", "stretch");
    passUntil(start.addSecs(90));
    QCOMPARE(rang.size(), 1);
    QVERIFY(onTime(0, 1));

    run().agent().AgentCtrl_Command(UserInput{"Options", 80, "open options"});
    QPointer<FrmMain> options = run().app->frmMain();
    QVERIFY(options->isVisible());
    QVERIFY(!options->ChkJokesOff->isChecked());
    QTest::keyClick(options, Qt::Key_Escape);
    settle();
    QVERIFY(!options);
    QVERIFY(!alarm.ticking());

    setAlarm("10:03", "stretch");
    passUntil(start.addSecs(10 * 60 + 30));
    QCOMPARE(rang.size(), 2);
    QVERIFY2(onTime(1, 3), qPrintable(rang.last().toString()));
    QCOMPARE(joked, (QList<QDateTime>{start.addSecs(5 * 60), start.addSecs(10 * 60)}));
    alarm.setTimers(Timers::system());
    run().app->jokeWatch().setTimers(Timers::system());
}

QTEST_MAIN(TestCompanions)
#include "test_companions.moc"
