// The options window's mail page, the mail timer over simulated ticks, and
// the check as the running program makes it (with a mailbox double).

#include "FrmMain.h"
#include "FrmMenus.h"
#include "MailTexts.h"
#include "MailWatch.h"
#include "TestRun.h"
#include "Waits.h"
#include "WindowFit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

using namespace kestrova;
using kestrova::character::UserInput;
using kestrova::test::TestRun;

namespace {
const QString Thought = QStringLiteral("Think I'll just check the mail");
}

class TestMailPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_run.reset();
        m_run = std::make_unique<TestRun>(m_dir->path());
        m_run->settings.write("Kestrova", "Run", "Number", "4");
    }

    void loadInterval_data()
    {
        QTest::addColumn<QString>("stored"); // "<missing>" for none
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("timerOn");
        QTest::addColumn<int>("interval");
        QTest::newRow("zero") << "0" << "0" << false << 0;
        QTest::newRow("missing") << "<missing>" << "0" << false << 0;
        QTest::newRow("empty") << "" << "0" << false << 0;
        QTest::newRow("not a number") << "ten" << "0" << false << 0;
        QTest::newRow("too big") << "40000" << "0" << false << 0;
        QTest::newRow("seven") << " 7 " << "7" << true << 7;
        QTest::newRow("half to even") << "2.5" << "2" << true << 2;
        QTest::newRow("negative") << "-3" << "-3" << true << -3;
    }
    void loadInterval()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(bool, timerOn);
        QFETCH(int, interval);
        if (stored != u"<missing>")
            m_run->settings.write("Kestrova", "Mail", "4", stored);
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "3", "pw");
        FrmMain *w = start();
        QCOMPARE(w->TxtServer->text(), QStringLiteral("pop.example.org"));
        QCOMPARE(w->TxtUser->text(), QString());
        // The password is fetched when the window is shown.
        QCOMPARE(w->TxtPass->text(), QString());
        w->show();
        QCOMPARE(w->TxtPass->text(), QStringLiteral("pw"));
        QCOMPARE(w->TxtPass->echoMode(), QLineEdit::Password);
        QCOMPARE(w->TxtChkInterval->text(), shown);
        QCOMPARE(watch().timerOn(), timerOn);
        QCOMPARE(watch().tickMs(), 60000);
        QCOMPARE(int(watch().MailInterval), interval);
    }

    void saveSwitchesTheTimer_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("timerOn");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("saved");
        const QString refused = QStringLiteral("Kestrova: ") + mailtext::checkIntervalRefused();
        // The running interval is 5 before each save.
        QTest::newRow("ten") << "10" << 10 << true << "Kestrova: Mail Checking ON" << true;
        QTest::newRow("zero") << "0" << 0 << false << "Kestrova: Mail Checking OFF" << true;
        QTest::newRow("not a number keeps the interval") << "abc" << 5 << true << refused << false;
        QTest::newRow("blank-padded zero is zero") << " 0" << 0 << false << "Kestrova: Mail Checking OFF" << true;
        QTest::newRow("negative is refused") << "-5" << 5 << true << refused << false;
        QTest::newRow("fraction is refused") << "2.5" << 5 << true << refused << false;
        QTest::newRow("empty is refused") << "" << 5 << true << refused << false;
        QTest::newRow("largest") << "32767" << 32767 << true << "Kestrova: Mail Checking ON" << true;
        QTest::newRow("over the largest is refused") << "32768" << 5 << true << refused << false;
    }
    void saveSwitchesTheTimer()
    {
        QFETCH(QString, typed);
        QFETCH(int, interval);
        QFETCH(bool, timerOn);
        QFETCH(QString, box);
        QFETCH(bool, saved);
        m_run->settings.write("Kestrova", "Mail", "1", "old.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "5");
        FrmMain *w = start();
        w->TxtServer->setText("pop.example.org");
        w->TxtUser->setText("kess");
        w->TxtPass->setText("se cret");
        w->TxtChkInterval->setText(typed);
        w->CmdSave_Click();
        // A refused interval stores nothing of the account either.
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "1"),
                 saved ? QStringLiteral("pop.example.org") : QStringLiteral("old.example.org"));
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "2"), saved ? QStringLiteral("kess") : QString());
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "4"), saved ? typed : QStringLiteral("5"));
        if (saved)
            QCOMPARE(m_run->settings.read("Kestrova", "Mail", "3"), QStringLiteral("se cret"));
        QCOMPARE(int(watch().MailInterval), interval);
        QCOMPARE(watch().timerOn(), timerOn);
        QCOMPARE(m_run->platform.messageBox.shown, QStringList{box});
        // What was typed stays to be corrected.
        QCOMPARE(w->TxtChkInterval->text(), typed);
    }

    // The interval as the user types it: only digits go in; a number over
    // the largest, or nothing, is refused at Save with the range named, the
    // window stays and the stored interval and running timer are kept. The
    // box and the line under it then tell what really runs.
    void intervalTypedBadlyIsRefused()
    {
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "5");
        m_run->platform.dialUp.state = true;
        FrmMain *w = start();
        w->show();
        w->ShowPage(FrmMain::MailPage);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QLineEdit *every = w->TxtChkInterval;
        auto *line = w->findChild<QLabel *>(QStringLiteral("LblTimedChecks"));
        QVERIFY(line);
        const auto retype = [every](const QString &keys) {
            every->selectAll();
            QTest::keyClick(every, Qt::Key_Delete);
            QTest::keyClicks(every, keys);
        };
        const auto save = [&] {
            m_run->platform.messageBox.shown.clear();
            QTest::mouseClick(w->CmdSave, Qt::LeftButton);
            return m_run->platform.messageBox.shown;
        };
        const QStringList refused{QStringLiteral("Kestrova: ") + mailtext::checkIntervalRefused()};
        QVERIFY(refused.first().contains(QStringLiteral("from 0 to 32767")));

        // Letters and signs do not go in.
        retype(QStringLiteral("abc"));
        QCOMPARE(every->text(), QString());
        QCOMPARE(save(), refused);
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "4"), QStringLiteral("5"));
        QVERIFY(watch().timerOn());
        QCOMPARE(int(watch().MailInterval), 5);
        QVERIFY(w->isVisible());
        QCOMPARE(line->text(), mailtext::timedChecks(5, true));
        QVERIFY(every->toolTip().contains(QStringLiteral("0 to 32767")));

        retype(QStringLiteral("-5"));
        QCOMPARE(every->text(), QStringLiteral("5"));
        retype(QStringLiteral("1.5"));
        QCOMPARE(every->text(), QStringLiteral("15"));
        // No more digits than the largest interval has.
        retype(QStringLiteral("1234567"));
        QCOMPARE(every->text(), QStringLiteral("12345"));

        retype(QStringLiteral("40000"));
        QCOMPARE(every->text(), QStringLiteral("40000"));
        QCOMPARE(save(), refused);
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "4"), QStringLiteral("5"));
        QCOMPARE(int(watch().MailInterval), 5);
        QCOMPARE(every->text(), QStringLiteral("40000"));

        // Corrected: saved, and the box says what runs.
        retype(QStringLiteral("7"));
        QCOMPARE(save(), QStringList{"Kestrova: Mail Checking ON"});
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "4"), QStringLiteral("7"));
        QCOMPARE(int(watch().MailInterval), 7);
        QCOMPARE(line->text(), mailtext::timedChecks(7, true));
        retype(QStringLiteral("0"));
        QCOMPARE(save(), QStringList{"Kestrova: Mail Checking OFF"});
        QVERIFY(!watch().timerOn());
        QCOMPARE(line->text(), QStringLiteral("Timed checks are off."));
    }

    // A negative interval in the settings file is read as before (the timer
    // runs, no check ever comes); saving it back is refused until corrected.
    void storedNegativeIntervalIsNotSavedBack()
    {
        m_run->settings.write("Kestrova", "Mail", "4", "-3");
        FrmMain *w = start();
        QCOMPARE(w->TxtChkInterval->text(), QStringLiteral("-3"));
        QVERIFY(watch().timerOn());
        w->TxtServer->setText("pop.example.org");
        w->CmdSave_Click();
        QCOMPARE(m_run->platform.messageBox.shown,
                 QStringList{QStringLiteral("Kestrova: ") + mailtext::checkIntervalRefused()});
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "4"), QStringLiteral("-3"));
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "1"), QString());
        QCOMPARE(int(watch().MailInterval), -3);
    }

    // A quit while the box after Save waits for the user: the box is
    // answered, Save ends in the window, the account stored, and the window
    // goes once control is back in the main loop.
    void windowGoesWhileTheSaveBoxWaits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("on") << "10";
        QTest::newRow("off") << "0";
    }
    void windowGoesWhileTheSaveBoxWaits()
    {
        QFETCH(QString, typed);
        QPointer<FrmMain> w = start();
        w->TxtServer->setText("pop.example.org");
        w->TxtChkInterval->setText(typed);
        w->show();
        test::Waited box;
        m_run->platform.messageBox.whileShown = [&] {
            box = test::waitIn(w, [&] {
                m_run->agent().AgentQuit();
                m_run->character().completeAll();
            });
        };
        test::inMainLoop([&] {
            w->CmdSave_Click();
            (void)QTest::qWaitFor([&] { return w.isNull(); }, 5000);
        });
        m_run->platform.messageBox.whileShown = nullptr;
        QVERIFY(!box.outlasted);
        QVERIFY(box.ownerThereAfter);
        QVERIFY(w.isNull());
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "1"), QStringLiteral("pop.example.org"));
        QCOMPARE(m_run->settings.read("Kestrova", "Mail", "4"), typed);
    }

    // Ticks after which a timed check ran, with the line up or down per
    // tick.
    void timedChecks_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("line"); // one letter per tick: u up, d down
        QTest::addColumn<QList<int>>("checkedAt");
        QTest::newRow("every tick") << "1" << "uuuu" << QList<int>{1, 2, 3, 4};
        QTest::newRow("every fifth") << "5" << "uuuuuuuuuuu" << QList<int>{5, 10};
        QTest::newRow("line down at the due tick") << "5" << "uuuudddu uuuuu" << QList<int>{8, 13};
        QTest::newRow("never online") << "2" << "dddddd" << QList<int>{};
        QTest::newRow("negative never meets") << "-1" << "uuuuu" << QList<int>{};
    }
    void timedChecks()
    {
        QFETCH(QString, interval);
        QFETCH(QString, line);
        QFETCH(QList<int>, checkedAt);
        line.remove(u' ');
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", interval);
        start();
        QList<int> checks;
        for (int t = 1; t <= line.size(); ++t) {
            m_run->platform.dialUp.state = line[t - 1] == u'u';
            if (tick())
                checks << t;
        }
        QCOMPARE(checks, checkedAt);
    }

    void savingMidCountKeepsTheCount()
    {
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "5");
        FrmMain *w = start();
        m_run->platform.dialUp.state = true;
        for (int t = 0; t < 3; ++t)
            QVERIFY(!tick());
        w->TxtChkInterval->setText("10");
        w->CmdSave_Click();
        QCOMPARE(int(watch().MailTicks), 3);
        // Ticks 4..9 count on; the 10th since the last check checks.
        for (int t = 4; t <= 9; ++t)
            QVERIFY2(!tick(), qPrintable(QString::number(t)));
        QVERIFY(tick());
        QCOMPARE(int(watch().MailTicks), 0);
    }

    void smallerIntervalAfterMoreTicksNeverChecks()
    {
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "10");
        FrmMain *w = start();
        m_run->platform.dialUp.state = true;
        for (int t = 0; t < 7; ++t)
            QVERIFY(!tick());
        w->TxtChkInterval->setText("3");
        w->CmdSave_Click();
        for (int t = 0; t < 40; ++t)
            QVERIFY(!tick());
        QCOMPARE(int(watch().MailTicks), 47);
        // The count saturates.
        watch().MailTicks = 32766;
        tick();
        tick();
        QCOMPARE(int(watch().MailTicks), 32767);
    }

    void failedDialUpListingShowsError()
    {
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "1");
        start();
        m_run->platform.messageBox.shown.clear();
        m_run->platform.dialUp.state = std::nullopt;
        QVERIFY(!tick());
        QVERIFY(!tick());
        QCOMPARE(m_run->platform.messageBox.shown, (QStringList{"Kestrova: ERROR", "Kestrova: ERROR"}));
        QCOMPARE(int(watch().MailTicks), 0);
    }

    void onlineStatusAtLoad()
    {
        m_run->platform.dialUp.state = true;
        QCOMPARE(start()->StatusMain->currentMessage(), QStringLiteral("Online"));
        m_run->platform.dialUp.state = false;
        m_run->app->frmMain()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(m_run->app->frmMain()->StatusMain->currentMessage(), QStringLiteral("Offline"));
    }

    // The line under "Check every" tells whether timed checks can come:
    // only while a dial-up connection is up, whatever other network there is.
    void pageSaysWhyNoTimedCheckComes()
    {
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "5");
        m_run->platform.dialUp.state = false;
        FrmMain *w = start();
        w->show();
        w->ShowPage(FrmMain::MailPage);
        auto *line = w->findChild<QLabel *>(QStringLiteral("LblTimedChecks"));
        QVERIFY(line);
        QCOMPARE(line->text(), mailtext::timedChecks(5, false));
        QCOMPARE(line->text(), QStringLiteral("Timed checks need a dial-up connection; none is up now."));
        QVERIFY(line->toolTip().contains(QStringLiteral("Wired and wireless networks do not count")));
        // The modem comes up: the next tick with the window open says so.
        m_run->platform.dialUp.state = true;
        tick();
        QCOMPARE(line->text(), mailtext::timedChecks(5, true));
        QCOMPARE(line->text(), QStringLiteral("Timed checks every 5 minutes while the dial-up connection is up."));
        // Switched off.
        w->TxtChkInterval->setText(QStringLiteral("0"));
        w->CmdSave_Click();
        QCOMPARE(line->text(), mailtext::timedChecks(0, true));
        QCOMPARE(line->text(), QStringLiteral("Timed checks are off."));
    }

    void countersOutliveTheWindow()
    {
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "5");
        FrmMain *w = start();
        tick();
        tick();
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Timed checks go on with the window closed, and so does the count.
        QVERIFY(watch().timerOn());
        QCOMPARE(int(watch().MailTicks), 2);
        // The timer's minute passing while it is closed counts, and makes
        // no window.
        m_run->mailTimers.advance(MailWatch::TickMs);
        QCOMPARE(int(watch().MailTicks), 3);
        QVERIFY(!m_run->app->frmMainLoaded());
        QVERIFY(!m_run->app->frmMain()->isVisible());
        QCOMPARE(int(watch().MailInterval), 5);
    }

    void checkReadsOutInOrder()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.count = 3;
        script.messages = {{"Ann", "Lunch"}, {"Bob", "Lost", 8}, {"Cy", "Late"}};
        FrmMain *w = start();
        w->TxtServer->setText("pop.example.org");
        w->TxtUser->setText("kess");
        w->TxtPass->setText("pw");
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(m_run->log(), (QStringList{Thought, "Play Pleased", "Speak You've got mail.", "Play Read",
                                            "Speak Message 1 from Ann", "Speak Subject Lunch",
                                            "Speak Message 3 from Cy", "Speak Subject Late", "Play ReadReturn",
                                            "Speak End of messages."}));
        QCOMPARE(script.calls(), (QStringList{"OpenMailbox pop.example.org|kess|pw", "FetchMessage 1",
                                              "FetchMessage 2", "FetchMessage 3", "CloseMailbox"}));
        QCOMPARE(w->StatusMain->currentMessage(), QStringLiteral("Last check 09:05: 3 messages (2 read)"));
        // The character was on the desktop to say it.
        QCOMPARE(m_run->platform.notifier.shown, QStringList());
    }

    void checkOutcomes_data()
    {
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("status");
        // A failed log-on says why.
        QTest::newRow("failed log-on") << 67 << 2
                                       << QStringList{Thought, "Play Sad",
                                                      "Speak " + mailtext::failureSpoken(MailProblem::LogOnFailed)}
                                       << "Last check 09:05: log-on failed";
        QTest::newRow("empty") << 0 << 0 << QStringList{Thought, "Play Sad"} << "Last check 09:05: 0 messages";
        QTest::newRow("one") << 0 << 1
                             << QStringList{Thought, "Play Pleased", "Speak You've got mail.", "Play Read",
                                            "Speak You have 1 new message.", "Speak Message 1 from Ann",
                                            "Speak Subject ", "Play ReadReturn", "Speak End of messages."}
                             << "Last check 09:05: 1 message";
    }
    void checkOutcomes()
    {
        QFETCH(int, openError);
        QFETCH(int, count);
        QFETCH(QStringList, log);
        QFETCH(QString, status);
        auto &script = m_run->platform.mailboxes.script;
        script.openError = openError;
        script.count = qint16(count);
        script.messages = {{"Ann", ""}, {"Bob", "b"}};
        FrmMain *w = start();
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(m_run->log(), log);
        QCOMPARE(script.calls().contains("CloseMailbox"), count > 0 && openError == 0);
        QCOMPARE(w->StatusMain->currentMessage(), status);
    }

    void hiddenCharacterIsShownForMail()
    {
        m_run->platform.mailboxes.script.count = 1;
        m_run->platform.mailboxes.script.messages = {{"Ann", "Hi"}};
        FrmMain *w = start();
        m_run->app->agent().Hide();
        m_run->character().completeAll();
        m_run->character().log.clear();
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(m_run->log().mid(0, 3), (QStringList{Thought, "Show", "Play Pleased"}));
        // The user may be away: the desktop shows it too.
        QCOMPARE(m_run->platform.notifier.shown, QStringList{"You've got mail. | Ann: Hi"});
    }

    // A check that fails says why; while the character is hidden the
    // desktop shows it as well. The server that is down, asked for from the
    // menu, then with the character shown again.
    void failureIsToldAndNotifiedWhileHidden()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.openError = 7;
        script.problem = MailProblem::Unreachable;
        m_run->settings.write("Kestrova", "Mail", "1", "down.example.org");
        m_run->app->frmMenus();
        m_run->app->agent().Hide();
        m_run->character().completeAll();
        m_run->character().log.clear();
        m_run->app->frmMenus()->MnuCheckMail->trigger();
        QTRY_VERIFY(!watch().checking());
        const QString why = mailtext::failureSpoken(MailProblem::Unreachable);
        QCOMPARE(m_run->log(), (QStringList{Thought, "Play Sad", "Speak " + why}));
        QCOMPARE(m_run->platform.notifier.shown, QStringList{mailtext::FailureSummary + " | " + why});

        m_run->app->agent().Show();
        m_run->character().completeAll();
        m_run->character().log.clear();
        script.problem = MailProblem::LogOnRefused;
        m_run->app->frmMenus()->MnuCheckMail->trigger();
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(m_run->log(), (QStringList{Thought, "Play Sad",
                                            "Speak " + mailtext::failureSpoken(MailProblem::LogOnRefused)}));
        QCOMPARE(m_run->platform.notifier.shown.size(), 1);
    }

    // A check asked for while one runs is not queued (the running one reads
    // the same mailbox a moment later), but not dropped without a word: the
    // user who asked hears so, the status bar shows it.
    void secondCheckWhileOneRunsIsToldNotQueued()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.hold = true;
        FrmMain *w = start();
        w->CmdCheck_Click();
        QTRY_COMPARE(script.calls().size(), 1);
        QVERIFY(watch().checking());
        w->CmdCheck_Click();
        QCOMPARE(w->StatusMain->currentMessage(), mailtext::StillCheckingStatus);
        m_run->agent().AgentCtrl_Command(UserInput{"Check Mail", 100, "check mail"});
        // A timer tick meanwhile only shows it.
        watch().TmrMail_Timer();
        script.hold = false;
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(script.calls().size(), 1);
        const QString still = QStringLiteral("Speak ") + mailtext::StillChecking;
        QCOMPARE(m_run->log(), (QStringList{Thought, still, still, "Play Sad"}));
        // Once it has ended, the spoken command checks again.
        m_run->agent().AgentCtrl_Command(UserInput{"Check Mail", 100, "check mail"});
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(script.calls().size(), 2);
    }

    // Quitting calls the running check off, drops what it still had to say,
    // and no check starts afterwards.
    void quitCallsTheCheckOff()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.hold = true;
        script.count = 2;
        script.messages = {{"Ann", "Hi"}, {"Bob", "Yo"}};
        FrmMain *w = start();
        w->CmdCheck_Click();
        QTRY_COMPARE(script.calls().size(), 1);
        m_run->agent().AgentQuit();
        QCOMPARE(script.cancels.load(), 1);
        QTRY_VERIFY(!watch().checking());
        QVERIFY2(!m_run->log().join(u'|').contains(QStringLiteral("got mail")), qPrintable(m_run->log().join(u'|')));
        QVERIFY(!watch().start({QStringLiteral("pop.example.org"), {}, {}}));
        QVERIFY(!watch().timerOn());
        QCOMPARE(script.calls().filter(QStringLiteral("OpenMailbox")).size(), 1);
    }

    // A refused certificate is shown with its fingerprint; trusting it keeps
    // it for that server text, which the next check then uses; another
    // server text has none of it, and saving another server drops it.
    void certificateIsOfferedTrustedAndBoundToTheServer()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.openError = 60;
        script.problem = MailProblem::UntrustedCertificate;
        const QString fingerprint = QStringLiteral("AB:CD:EF:01");
        script.certificate = fingerprint;
        FrmMain *w = start();
        w->TxtServer->setText(QStringLiteral("home.example.org"));
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(w->StatusMain->currentMessage(),
                 QStringLiteral("Last check 09:05: certificate not trusted, password not sent"));
        QCOMPARE(m_run->log(), (QStringList{Thought, "Play Sad",
                                            "Speak " + mailtext::failureSpoken(MailProblem::UntrustedCertificate)}));
        QVERIFY(!w->LblCertificate->isHidden());
        QVERIFY(!w->CmdTrustCert->isHidden());
        QVERIFY(w->LblCertificate->text().contains(fingerprint));
        QCOMPARE(w->CmdTrustCert->text(), mailtext::TrustCaption);
        QVERIFY(script.security().trustedCertificate.isEmpty());

        w->CmdTrustCert->click();
        QCOMPARE(setting("TrustedCertificate"), fingerprint);
        QCOMPARE(setting("SecurityFor"), QStringLiteral("home.example.org"));
        QCOMPARE(w->LblCertificate->text(), mailtext::trustedCertificate(fingerprint));
        QCOMPARE(w->CmdTrustCert->text(), mailtext::ForgetCaption);
        script.openError = 0;
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(script.security().trustedCertificate, fingerprint);

        // Typed another server: not trusted there.
        w->TxtServer->selectAll();
        QTest::keyClicks(w->TxtServer, QStringLiteral("evil.example.org"));
        QVERIFY(w->LblCertificate->isHidden());
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QVERIFY(script.security().trustedCertificate.isEmpty());
        w->TxtChkInterval->setText(QStringLiteral("0"));
        w->CmdSave_Click();
        QCOMPARE(setting("TrustedCertificate"), QString());
        QCOMPARE(setting("SecurityFor"), QString());
        // Typing the first server again does not bring it back.
        w->TxtServer->selectAll();
        QTest::keyClicks(w->TxtServer, QStringLiteral("home.example.org"));
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QVERIFY(script.security().trustedCertificate.isEmpty());
    }

    // A failure's reason is read whole on the status line, in a window as
    // narrow as it is at twice the scale on a small screen: it wraps onto
    // the lines it needs instead of being cut at the window's edge.
    void longFailureIsReadWhole()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.openError = 60;
        script.problem = MailProblem::ChangedCertificate;
        script.certificate = QStringLiteral("AB:CD:EF:01");
        FrmMain *w = start();
        w->TabStrip1->setCurrentIndex(1);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->resize(360, w->height());
        w->TxtServer->setText(QStringLiteral("home.example.org"));
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        const QString status = QStringLiteral("Last check 09:05: ") + mailtext::problem(MailProblem::ChangedCertificate);
        QCOMPARE(w->StatusMain->currentMessage(), status);
        QVERIFY2(w->StatusMain->fontMetrics().horizontalAdvance(status) > w->StatusMain->width(),
                 "the reason should be longer than the window is wide");
        QTRY_VERIFY2(kestrova::test::statusFaults(w, "mail").isEmpty(),
                     qPrintable(kestrova::test::statusFaults(w, "mail").join(u'\n')));
        QTRY_VERIFY2(kestrova::test::labelFaults(w->StatusMain, "mail").isEmpty(),
                     qPrintable(kestrova::test::labelFaults(w->StatusMain, "mail").join(u'\n')));
        // The whole bar is inside the window, above its bottom edge.
        QVERIFY(w->rect().contains(w->StatusMain->geometry()));
        // A short message after it takes one line again: the page gets its
        // room back.
        const int tall = w->StatusMain->height();
        w->StatusMain->showMessage(QStringLiteral("Online"));
        QTRY_VERIFY(w->StatusMain->height() < tall);
    }

    // A trusted certificate's fingerprint is compared by eye: the whole of
    // it shows when the mail page comes up in a window made for a smaller
    // page.
    void wholeFingerprintShowsOnThePage()
    {
        const QString fingerprint = QStringLiteral("3F:9A:12:C4:7B:E0:55:2D:91:6C:A8:0B:F3:47:DE:21:"
                                                   "6A:B9:04:CC:78:E2:1F:5D:93:A6:0E:B1:4C:D7:28:F5");
        m_run->settings.write("Kestrova", "Mail", "1", "home.example.org");
        m_run->settings.write("Kestrova", "Mail", "SecurityFor", "home.example.org");
        m_run->settings.write("Kestrova", "Mail", "TrustedCertificate", fingerprint);
        FrmMain *w = start();
        w->ShowPage(FrmMain::AgentPage);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->ShowPage(FrmMain::MailPage);
        QCoreApplication::processEvents();
        QLabel *label = w->LblCertificate;
        QVERIFY(label->isVisible());
        QVERIFY2(label->text().contains(fingerprint.right(23)), qPrintable(label->text()));
        QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                 qPrintable(QStringLiteral("%1 < %2").arg(label->height()).arg(label->heightForWidth(label->width()))));
        QVERIFY(w->FrameOptions[FrmMain::MailPage]->rect().contains(
            label->geometry().translated(label->parentWidget()->mapTo(w->FrameOptions[FrmMain::MailPage], QPoint()))));
    }

    void plainLogOnIsAllowedPerServer()
    {
        auto &script = m_run->platform.mailboxes.script;
        m_run->settings.write("Kestrova", "Mail", "1", "old.example.org");
        FrmMain *w = start();
        QVERIFY(!w->ChkPlainLogOn->isChecked());
        // The caption wraps beside the box; a click on it clicks the box.
        auto *caption = w->findChild<QLabel *>(QStringLiteral("LblPlainLogOn"));
        QVERIFY(caption);
        QCOMPARE(caption->text(), mailtext::AllowPlainCaption);
        QVERIFY(caption->wordWrap());
        QTest::mouseClick(caption, Qt::LeftButton, {}, QPoint(4, 4));
        QVERIFY(w->ChkPlainLogOn->isChecked());
        QCOMPARE(setting("PlainLogOn"), QStringLiteral("1"));
        QCOMPARE(setting("SecurityFor"), QStringLiteral("old.example.org"));
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QVERIFY(script.security().allowPlain);
        // Kept for the next run of the window.
        m_run->app->frmMain()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w = m_run->app->frmMain();
        w->show();
        QVERIFY(w->ChkPlainLogOn->isChecked());
        // Another server text: not allowed there.
        w->TxtServer->selectAll();
        QTest::keyClicks(w->TxtServer, QStringLiteral("new.example.org"));
        QVERIFY(!w->ChkPlainLogOn->isChecked());
        w->CmdCheck_Click();
        QTRY_VERIFY(!watch().checking());
        QVERIFY(!script.security().allowPlain);
    }

    // A timed check refused for the password's sake shows it in the status
    // bar and says why once: the same refusal at the next ticks only shows
    // it; another one, or the same after a check that worked, is said again.
    void timedCheckRefusalIsSaidOnce()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.openError = 64;
        script.problem = MailProblem::NoEncryption;
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "4", "1");
        m_run->platform.dialUp.state = true;
        FrmMain *w = start();
        const QString refused = "Speak " + mailtext::failureSpoken(MailProblem::NoEncryption);
        QVERIFY(tick());
        QCOMPARE(w->StatusMain->currentMessage(),
                 QStringLiteral("Last check 09:05: not encrypted: the server offers no STLS, password not sent"));
        QCOMPARE(m_run->log(), (QStringList{Thought, "Play Sad", refused}));
        QVERIFY(tick());
        QCOMPARE(m_run->log(), (QStringList{Thought, "Play Sad", refused, Thought}));
        script.problem = MailProblem::TimedOut;
        QVERIFY(tick());
        QCOMPARE(m_run->log().mid(4),
                 (QStringList{Thought, "Play Sad", "Speak " + mailtext::failureSpoken(MailProblem::TimedOut)}));
        script.openError = 0;
        script.problem = MailProblem::None;
        QVERIFY(tick());
        script.openError = 64;
        script.problem = MailProblem::TimedOut;
        QVERIFY(tick());
        QCOMPARE(m_run->log().mid(7), (QStringList{Thought, "Play Sad", Thought, "Play Sad",
                                                   "Speak " + mailtext::failureSpoken(MailProblem::TimedOut)}));
    }

    // Neither a due timed check nor the spoken command makes the options
    // window: the check runs with the stored account and reads out as ever.
    void checksMakeNoWindow()
    {
        auto &script = m_run->platform.mailboxes.script;
        script.count = 1;
        script.messages = {{"Ann", "Hi"}};
        m_run->settings.write("Kestrova", "Mail", "1", "pop.example.org");
        m_run->settings.write("Kestrova", "Mail", "2", "kess");
        m_run->settings.write("Kestrova", "Mail", "3", "pw");
        m_run->settings.write("Kestrova", "Mail", "4", "2");
        m_run->platform.dialUp.state = true;
        m_run->app->Main();
        m_run->character().completeAll();
        m_run->character().log.clear();
        QVERIFY(watch().timerOn());
        QCOMPARE(optionsWindows(), 0);
        QVERIFY(!tick());
        QVERIFY(tick());
        const QStringList readOut{Thought, "Play Pleased", "Speak You've got mail.", "Play Read",
                                  "Speak You have 1 new message.", "Speak Message 1 from Ann", "Speak Subject Hi",
                                  "Play ReadReturn", "Speak End of messages."};
        QCOMPARE(m_run->log(), readOut);
        QCOMPARE(script.calls().value(0), QStringLiteral("OpenMailbox pop.example.org|kess|pw"));
        QCOMPARE(optionsWindows(), 0);
        m_run->character().log.clear();
        m_run->agent().AgentCtrl_Command(UserInput{"Check Mail", 100, "check mail"});
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(m_run->log(), readOut);
        QCOMPARE(script.calls().filter(QStringLiteral("OpenMailbox")).size(), 2);
        QCOMPARE(optionsWindows(), 0);
        QVERIFY(!m_run->app->frmMainLoaded());
        // Opened afterwards, the page shows the account the checks used.
        FrmMain *w = m_run->app->frmMain();
        w->show();
        QCOMPARE(w->TxtUser->text(), QStringLiteral("kess"));
        QCOMPARE(w->TxtPass->text(), QStringLiteral("pw"));
    }

    void menuEntryNeedsAServer()
    {
        start();
        FrmMenus *menus = m_run->app->frmMenus();
        menus->MnuCheckMail->trigger();
        QCOMPARE(m_run->log(), (QStringList{"Play Sad", "Speak I was unable to find your e-mail settings."}));
        QVERIFY(m_run->app->frmMain()->isVisible());
        QVERIFY(m_run->platform.mailboxes.script.calls().isEmpty());
        // A server without a user name goes on to the check.
        m_run->character().log.clear();
        m_run->app->frmMain()->TxtServer->setText("pop.example.org");
        menus->MnuCheckMail->trigger();
        QTRY_VERIFY(!watch().checking());
        QCOMPARE(m_run->platform.mailboxes.script.calls().value(0), QStringLiteral("OpenMailbox pop.example.org||"));
        QCOMPARE(m_run->log().value(0), Thought);
    }

private:
    FrmMain *start()
    {
        m_run->app->Main();
        m_run->character().completeAll();
        m_run->character().log.clear();
        FrmMain *w = m_run->app->frmMain();
        m_run->platform.messageBox.shown.clear();
        return w;
    }
    MailWatch &watch() { return m_run->app->mailWatch(); }
    static int optionsWindows()
    {
        int n = 0;
        for (QWidget *w : QApplication::allWidgets())
            n += qobject_cast<FrmMain *>(w) != nullptr;
        return n;
    }
    QString setting(const char *key) const { return m_run->settings.read("Kestrova", "Mail", QString::fromLatin1(key)); }
    // One timer tick; true when it ran a check (waited for).
    bool tick()
    {
        const int before = m_run->log().count(Thought);
        watch().TmrMail_Timer();
        if (!QTest::qWaitFor([this] { return !watch().checking(); }, 5000))
            return false;
        return m_run->log().count(Thought) > before;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
};

QTEST_MAIN(TestMailPage)
#include "test_mail_page.moc"
