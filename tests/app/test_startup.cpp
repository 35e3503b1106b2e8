#include "AgentForm.h"
#include "Application.h"
#include "Fakes.h"
#include "MailWatch.h"
#include "UserModel.h"
#include "RecordingCharacter.h"
#include "SettingsStore.h"
#include "TestRun.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTextDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace kestrova;
using kestrova::test::RecordingCharacter;

using Run = kestrova::test::TestRun;

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void firstRun();
    void secondRunGreetsByPartOfDay();
    void runCounter_data();
    void runCounter();
    void namedGreetings_data();
    void namedGreetings();
    void setAgentPreparesTheCharacter();
    void restPositionFromSettings();
    void noCharacterStillCountsTheRun();
    void refusedCharacterIsToldBesideTheGreeting();
    void refusalQuotingMarkupIsShownAsWritten();
    void anotherStartShowsTheCharacter();
    void tourOfferCompletionGesturesAtMouse();
    void startUpMakesNoOptionsWindow();

    void quitSequence_data();
    void quitSequence();
    void quitWhileSpeakingStopsFirst();
    void programEndsOnlyWhenHideCompletes();
    void repeatPromptDoesNotBlockQuit();
    void quitDuringUnloadQueuesNothing();
    void quitWithoutCharacterEnds();
    void quitCuttingTheTourOfferShort();
    void clickDuringTheFarewellStillQuits_data();
    void clickDuringTheFarewellStillQuits();
    void farewellThatNeverEndsIsCutShort();
    void clickDuringTheIntroductionStillOffersTheTour_data();
    void clickDuringTheIntroductionStillOffersTheTour();
    void doubleClickDuringTheIntroductionListens();
    void tourQuestionStaysBesideTheCharacter();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString settingsDir() const { return m_dir->path() + "/Kestrova"; }
};

void TestStartup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestStartup::firstRun()
{
    Run run(settingsDir());
    run.app->Main();
    QCOMPARE(run.settings.read("Kestrova", "Run", "Number"), QString("1"));
    QCOMPARE(run.log(), QStringList({
        "MoveTo 0 0", "Show", "Play Greet",
        "Speak Hi! my name is Kess I can help you get started if you would like me to",
        "Speak Would you like to tour the programme?"}));
    QCOMPARE(run.app->agentForm()->tourRequest(),
             run.character().pendingRequest("Speak Would you like to tour the programme?"));
}

// The start-up reads the user's things and switches the mail timer without
// making the options window: only the host window, the quick toolbar and the
// tip of the day are made.
void TestStartup::startUpMakesNoOptionsWindow()
{
    Run run(settingsDir());
    run.settings.write("Kestrova", "Mail", "1", "pop.example.org");
    run.settings.write("Kestrova", "Mail", "2", "kess");
    run.settings.write("Kestrova", "Mail", "4", "7");
    run.settings.write("Kestrova", "User", "Name", "Ann");
    run.app->Main();
    QStringList made;
    for (const QWidget *w : QApplication::topLevelWidgets())
        if (!w->objectName().isEmpty() && !w->inherits("QMenu"))
            made << w->objectName();
    made.sort();
    qInfo().noquote() << "windows made at start-up:" << made.join(u' ');
    QVERIFY2(!made.contains("FrmMain"), qPrintable(made.join(u' ')));
    QVERIFY(!run.app->frmMainLoaded());
    QCOMPARE(run.app->model().mailServer(), QString("pop.example.org"));
    QCOMPARE(run.app->model().mailUser(), QString("kess"));
    QCOMPARE(run.app->model().userName(), QString("Ann"));
    QVERIFY(run.app->mailWatch().timerOn());
    QCOMPARE(run.app->mailWatch().MailInterval, qint16(7));
}

void TestStartup::secondRunGreetsByPartOfDay()
{
    { Run first(settingsDir()); first.app->Main(); }
    Run run(settingsDir());
    run.platform.clock.time = QDateTime(QDate(2026, 12, 6), QTime(9, 5));
    run.app->Main();
    QCOMPARE(run.settings.read("Kestrova", "Run", "Number"), QString("2"));
    const QString date = QLocale::system().dayName(7) + " "
        + QLocale::system().standaloneMonthName(12) + " 6th, 2026";
    QCOMPARE(run.log(), QStringList({
        "MoveTo 0 0", "Show", "Speak Good Morning ", "Play RestPose",
        "Speak The time is 9:05 AM on " + date, "Play RestPose"}));
    QVERIFY(run.app->agentForm()->tourRequest().isNull());
}

void TestStartup::runCounter_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("firstRunGreeting");
    // What the log says about the stored count; empty: nothing.
    QTest::addColumn<QString>("logged");
    QTest::newRow("absent") << QString() << "1" << true << QString();
    QTest::newRow("abc") << "abc" << "1" << true << "Run/Number holds \"abc\".*0 is used";
    QTest::newRow("1") << "1" << "2" << false << QString();
    QTest::newRow("0") << "0" << "1" << true << QString();
    QTest::newRow("fraction") << "4.5" << "5" << false << QString();
    QTest::newRow("max stays") << "32767" << "32767" << false << QString();
    QTest::newRow("out of range") << "40000" << "1" << true << "Run/Number holds \"40000\"";
    // A count below zero is no count of starts: this start is the first,
    // not the sixth one from now.
    QTest::newRow("negative") << "-5" << "1" << true << "Run/Number holds -5.*counted as the first";
    QTest::newRow("minus one") << "-1" << "1" << true << "Run/Number holds -1.*counted as the first";
}

void TestStartup::runCounter()
{
    QFETCH(QString, stored);
    QFETCH(QString, written);
    QFETCH(bool, firstRunGreeting);
    QFETCH(QString, logged);
    SettingsStore(settingsDir()).write("Kestrova", "Run", "Number", stored);
    if (stored.isNull())
        QFile::remove(SettingsStore(settingsDir()).fileOf("Kestrova"));
    if (logged.isEmpty())
        QTest::failOnWarning(QRegularExpression("Run/Number"));
    else
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(logged));
    {
        Run run(settingsDir());
        run.app->Main();
        QCOMPARE(run.settings.read("Kestrova", "Run", "Number"), written);
        QCOMPARE(run.log().contains("Play Greet"), firstRunGreeting);
    }
    // The next start goes on counting from there, with no introduction.
    Run again(settingsDir());
    again.app->Main();
    QCOMPARE(again.settings.read("Kestrova", "Run", "Number"),
             QString::number(std::min(written.toInt() + 1, 32767)));
    QVERIFY(!again.log().contains("Play Greet"));
}

void TestStartup::namedGreetings_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("greeting");
    QTest::addColumn<QStringList>("farewell");
    QTest::newRow("Genie") << "Genie"
        << QStringList{"Play Greet", "Speak Hello master, how may I serve you today?", "Play RestPose"}
        << QStringList{"Play Sad", "Speak Goodbye master."};
    QTest::newRow("Merlin") << "Merlin"
        << QStringList{"Play Surprised", "Speak How did you get here?|Where am I now?", "Play RestPose"}
        << QStringList{"Play LookDown", "Speak Are we finished already?"};
    QTest::newRow("Robby") << "Robby"
        << QStringList{"Play Wave", "Speak Hi! ", "Play RestPose"}
        << QStringList{"Play Sad", "Speak Goodbye "};
    // An empty user name: "Hi " runs straight into the comma.
    QTest::newRow("Peedy") << "Peedy"
        << QStringList{"Play Wave", "Speak Hi , what are we going to do today?", "Play RestPose"}
        << QStringList{"Play Sad", "Speak OK, bye "};
    QTest::newRow("lower-case genie is any other") << "genie"
        << QStringList{"Speak Good Evening ", "Play RestPose"}
        << QStringList{"Speak Goodbye "};
}

void TestStartup::namedGreetings()
{
    QFETCH(QString, name);
    QFETCH(QStringList, greeting);
    QFETCH(QStringList, farewell);
    SettingsStore(settingsDir()).write("Kestrova", "Run", "Number", "7");
    Run run(settingsDir(), name);
    run.platform.clock.time = QDateTime(QDate(2026, 12, 8), QTime(19, 30));
    run.app->Main();
    QCOMPARE(run.log().mid(2, greeting.size()), greeting);

    run.character().log.clear();
    run.app->agentForm()->AgentQuit();
    QCOMPARE(run.log(), QStringList{"StopAll"} + farewell + QStringList{"Hide"});
}

void TestStartup::setAgentPreparesTheCharacter()
{
    Run run(settingsDir());
    run.app->agentForm();
    QCOMPARE(run.service.calls, QStringList{"Load default"});
    RecordingCharacter &c = run.character();
    QCOMPARE(c.languageId(), 1033);
    // Bit 0 (the word balloon) cleared, the other bits kept.
    QCOMPARE(c.balloonStyle(), 0x2);
    QCOMPARE(c.commands().caption(), QString("Kestrova"));
    QCOMPARE(c.commands().voice(), QString("Kestrova"));
    // Loading the host window queues nothing: the greeting waits for StartAgent.
    QVERIFY(c.log.isEmpty());
}

void TestStartup::restPositionFromSettings()
{
    SettingsStore s(settingsDir());
    s.write("Kestrova", "Rest", "X", "640");
    s.write("Kestrova", "Rest", "Y", "abc");
    Run run(settingsDir());
    run.app->Main();
    QCOMPARE(run.log().value(0), QString("MoveTo 640 0"));
    QCOMPARE(run.log().value(1), QString("Show"));
}

void TestStartup::noCharacterStillCountsTheRun()
{
    Run run(settingsDir());
    run.service.loadFails = true;
    run.app->Main();
    QVERIFY(!run.app->agentForm()->Agent.isLoaded());
    QCOMPARE(run.settings.read("Kestrova", "Run", "Number"), QString("1"));
}

void TestStartup::refusedCharacterIsToldBesideTheGreeting()
{
    Run run(settingsDir());
    run.settings.write("Kestrova", "Run", "Number", "4");
    const QString text = "The character \"looper\" was refused. /x/character.json: animation \"Show\": it plays in "
                         "\"showing\", which Kestrova waits to end, but from frames 0 there is no way to its end. "
                         "Kess is shown instead.";
    run.service.refusalText = text;
    run.app->Main();
    auto *box = run.app->agentForm()->findChild<QMessageBox *>("CharacterRefused");
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->text(), text);
    // It waits for the user without holding anything up: the greeting is
    // queued and the box is not modal.
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(run.log().contains("Show"));
    QVERIFY(run.log().contains("Play RestPose"));
    // Nothing refused, nothing told.
    Run quiet(m_dir->path() + "/quiet");
    quiet.app->Main();
    QVERIFY(!quiet.app->agentForm()->findChild<QMessageBox *>("CharacterRefused"));
}

void TestStartup::refusalQuotingMarkupIsShownAsWritten()
{
    // The refusal quotes the character's file, which may hold markup.
    Run run(settingsDir());
    run.settings.write("Kestrova", "Run", "Number", "4");
    const QString text = "The character \"x\" was refused. /x/character.json: animations.Show.frames[0].pose: the "
                         "pose \"<img src=\"nowhere.png\"><h1>All is well</h1>\" is not in \"poses\". Kess is shown "
                         "instead.";
    QVERIFY(Qt::mightBeRichText(text));
    run.service.refusalText = text;
    run.app->Main();
    auto *box = run.app->agentForm()->findChild<QMessageBox *>("CharacterRefused");
    QVERIFY(box);
    QCOMPARE(box->text(), text);
    auto *label = box->findChild<QLabel *>("qt_msgbox_label");
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void TestStartup::anotherStartShowsTheCharacter()
{
    Run run(settingsDir());
    // Asked before the program has started: nothing is loaded for it.
    QVERIFY(!run.app->showForAnotherStart());
    QVERIFY(!run.app->agentLoaded());
    run.settings.write("Kestrova", "Run", "Number", "4");
    run.app->Main();
    run.character().completeAll();
    run.app->agentForm()->Agent.Hide();
    run.character().completeAll();
    run.character().log.clear();
    QVERIFY(run.app->showForAnotherStart());
    QCOMPARE(run.log(), QStringList({"Show"}));
    run.character().completeAll();
    // Shown already: asked again, nothing more happens.
    QVERIFY(run.app->showForAnotherStart());
    QCOMPARE(run.log(), QStringList({"Show"}));

    // Saying goodbye: the other start is told so, and the farewell goes on.
    QSignalSpy finished(run.app.get(), &Application::finished);
    run.app->AgentQuit();
    run.character().log.clear();
    QVERIFY(!run.app->showForAnotherStart());
    QVERIFY(run.log().isEmpty());
    run.character().completeAll();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!run.app->showForAnotherStart());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!run.app->showForAnotherStart());
    QVERIFY(!run.app->agentLoaded());
    QCOMPARE(run.settings.read("Kestrova", "Run", "Number"), QString("5"));
}

void TestStartup::tourOfferCompletionGesturesAtMouse()
{
    Run run(settingsDir());
    run.platform.mousePointer.where = QPoint(300, 200);
    run.app->Main();
    RecordingCharacter &c = run.character();
    const auto offer = run.app->agentForm()->tourRequest();
    // The introduction completing does nothing; the offer does.
    while (!c.pending.isEmpty() && c.pending.first().request != offer)
        c.completeNext();
    QCOMPARE(c.log.last(), QString("Speak Would you like to tour the programme?"));
    QVERIFY(c.complete(offer));
    QCOMPARE(c.log.last(), QString("GestureAt 300 200"));
}

void TestStartup::quitSequence_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("Kess") << "Kess";
    QTest::newRow("Genie") << "Genie";
}

void TestStartup::quitSequence()
{
    QFETCH(QString, name);
    Run run(settingsDir(), name);
    QSignalSpy finished(run.app.get(), &Application::finished);
    run.app->Main();
    RecordingCharacter &c = run.character();
    c.completeAll();
    c.log.clear();

    run.app->agentForm()->AgentQuit();
    QCOMPARE(c.log.first(), QString("StopAll"));
    QCOMPARE(c.log.last(), QString("Hide"));
    c.completeAll();
    QCOMPARE(run.service.calls, QStringList({"Load default", "Unload default"}));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(run.app->forms().count(), 0);
}

void TestStartup::quitWhileSpeakingStopsFirst()
{
    Run run(settingsDir());
    run.app->Main();
    RecordingCharacter &c = run.character();
    QVERIFY(c.pending.size() > 2); // the introduction is still being spoken
    run.app->agentForm()->AgentQuit();
    // Everything queued before is dropped; only the farewell is left.
    QCOMPARE(c.pending.size(), 2);
    QCOMPARE(c.pending.at(0).text, QString("Speak Goodbye "));
    QCOMPARE(c.pending.at(1).text, QString("Hide"));
}

void TestStartup::programEndsOnlyWhenHideCompletes()
{
    Run run(settingsDir());
    QSignalSpy finished(run.app.get(), &Application::finished);
    run.app->Main();
    RecordingCharacter &c = run.character();
    run.app->agentForm()->AgentQuit();
    QVERIFY(c.completeNext()); // the farewell speech
    QCOMPARE(finished.count(), 0);
    QVERIFY(run.app->agentLoaded());
    QVERIFY(run.app->forms().isLoaded(run.app->agentForm()));
    QVERIFY(c.completeNext()); // the hide
    QCOMPARE(finished.count(), 1);
    QCOMPARE(run.app->forms().count(), 0);
}

void TestStartup::repeatPromptDoesNotBlockQuit()
{
    Run run(settingsDir());
    QSignalSpy finished(run.app.get(), &Application::finished);
    run.app->Main();
    RecordingCharacter &c = run.character();
    c.completeAll();
    // A prompt to repeat a command, kept by the host.
    AgentForm *agent = run.app->agentForm();
    agent->SpeechInputRequest = agent->Agent.Speak("Say that again?");
    QVERIFY(c.completeNext());
    QCOMPARE(c.log.last(), QString("Speak Better try that again."));
    c.completeAll();

    agent->AgentQuit();
    c.completeAll();
    QCOMPARE(finished.count(), 1);
    // The finished hide was not taken for the old prompt.
    QCOMPARE(c.log.count("Speak Better try that again."), 1);
}

void TestStartup::quitDuringUnloadQueuesNothing()
{
    Run run(settingsDir());
    run.app->Main();
    RecordingCharacter &c = run.character();
    AgentForm *agent = run.app->agentForm();
    // A window that, like the quick toolbar, asks to quit when unloaded.
    auto *toolbar = new QWidget;
    struct QuitOnClose : QObject {
        AgentForm *agent;
        int calls = 0;
        explicit QuitOnClose(AgentForm *a) : agent(a) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Close) {
                ++calls;
                agent->AgentQuit();
            }
            return false;
        }
    } filter(agent);
    toolbar->installEventFilter(&filter);
    run.app->forms().loaded(toolbar);

    agent->AgentQuit();
    const int before = c.log.size();
    c.completeAll();
    QCOMPARE(filter.calls, 1);
    // Only the completions ran; no second farewell or hide was queued.
    QCOMPARE(c.log.size(), before);
    QCOMPARE(c.log.count("Hide"), 1);
    QCOMPARE(run.app->forms().count(), 0);
    toolbar->removeEventFilter(&filter);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestStartup::quitWithoutCharacterEnds()
{
    Run run(settingsDir());
    run.service.loadFails = true;
    QSignalSpy finished(run.app.get(), &Application::finished);
    run.app->Main();
    run.app->agentForm()->AgentQuit();
    QCOMPARE(finished.count(), 1);
}

void TestStartup::quitCuttingTheTourOfferShort()
{
    Run run(settingsDir());
    run.platform.mousePointer.where = QPoint(10, 20);
    run.app->Main();
    RecordingCharacter &c = run.character();
    // Play everything up to the tour offer, which is then the running request.
    while (c.pending.size() > 1)
        c.completeNext();
    const auto offer = run.app->agentForm()->tourRequest();
    QCOMPARE(c.pending.first().request, offer);
    run.app->agentForm()->AgentQuit();
    // The desktop character reports the request that StopAll cut short.
    Q_EMIT c.requestComplete(offer);
    QVERIFY(!c.log.contains("GestureAt 10 20"));
    QVERIFY(!run.app->agentForm()->MnuTour->isVisible());
    QCOMPARE(c.log.mid(c.log.indexOf("StopAll")), QStringList({"StopAll", "Speak Goodbye ", "Hide"}));
}

void TestStartup::clickDuringTheFarewellStillQuits_data()
{
    QTest::addColumn<int>("played"); // farewell requests played before the click
    QTest::newRow("while saying goodbye") << 0;
    QTest::newRow("while hiding") << 1;
}

void TestStartup::clickDuringTheFarewellStillQuits()
{
    QFETCH(int, played);
    Run run(settingsDir());
    QSignalSpy finished(run.app.get(), &Application::finished);
    run.app->Main();
    RecordingCharacter &c = run.character();
    c.completeAll();
    run.app->agentForm()->AgentQuit();
    QCOMPARE(c.pending.size(), 2); // the farewell and the hide
    for (int i = 0; i < played; ++i)
        QVERIFY(c.completeNext());
    QCOMPARE(finished.count(), 0);

    // A left click stops everything: the hide the program waits for
    // reports as stopped, and the program ends all the same.
    Q_EMIT c.click(character::LeftButton, 0, 5, 5);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(run.service.calls, QStringList({"Load default", "Unload default"}));
    QCOMPARE(run.app->forms().count(), 0);
}

// A farewell or hide that does not end (a voice that never reports, a hide
// animation that hangs) is cut short once the quit's deadline has passed:
// both are reported as stopped, and the program ends all the same.
void TestStartup::farewellThatNeverEndsIsCutShort()
{
    Run run(settingsDir());
    QSignalSpy finished(run.app.get(), &Application::finished);
    run.app->Main();
    RecordingCharacter &c = run.character();
    c.completeAll();
    run.app->agentForm()->AgentQuit();
    const auto hide = run.app->agentForm()->quitRequest();
    QVERIFY(!hide.isNull());
    QSignalSpy completions(&c, &character::Character::requestComplete);
    // Not before the deadline: the farewell is said when it can be.
    QTest::qWait(AgentForm::QuitDeadlineMs / 2);
    QCOMPARE(finished.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, AgentForm::QuitDeadlineMs * 3);
    QCOMPARE(c.log.mid(c.log.lastIndexOf("Hide")), QStringList({"Hide", "StopAll"}));
    // The farewell speech and then the hide, each reported once.
    QCOMPARE(completions.count(), 2);
    QCOMPARE(completions.at(1).at(0).value<character::Request>(), hide);
    QCOMPARE(run.service.calls, QStringList({"Load default", "Unload default"}));
    QCOMPARE(run.app->forms().count(), 0);
}

void TestStartup::clickDuringTheIntroductionStillOffersTheTour_data()
{
    QTest::addColumn<int>("played"); // requests of the first run played before the click
    QTest::newRow("while moving into place") << 0;
    QTest::newRow("while greeting") << 2;
    QTest::newRow("while introducing itself") << 3;
    QTest::newRow("while offering the tour") << 4;
}

void TestStartup::clickDuringTheIntroductionStillOffersTheTour()
{
    QFETCH(int, played);
    Run run(settingsDir());
    run.platform.mousePointer.where = QPoint(300, 200);
    run.app->Main();
    RecordingCharacter &c = run.character();
    QCOMPARE(c.pending.size(), 5);
    for (int i = 0; i < played; ++i)
        QVERIFY(c.completeNext());
    QVERIFY(!c.log.contains("GestureAt 300 200"));

    Q_EMIT c.click(character::LeftButton, 0, 5, 5);
    // The offer, cut short, still brings the tour menu where the user is,
    // once a double click can no longer follow.
    QCOMPARE(c.log.mid(c.log.indexOf("StopAll")), QStringList({"StopAll", "GestureAt 300 200"}));
    QMenu *tour = run.app->agentForm()->MnuTour;
    QTRY_VERIFY(tour->isVisible());
    tour->hide();
}

// A double click while the character introduces itself: its first click
// stops the offer, and the offer's menu must not pop up under the second,
// which would take it: the character listens instead.
void TestStartup::doubleClickDuringTheIntroductionListens()
{
    Run run(settingsDir());
    run.platform.mousePointer.where = QPoint(300, 200);
    run.app->Main();
    RecordingCharacter &c = run.character();
    QVERIFY(c.completeNext());
    QVERIFY(c.completeNext());
    Q_EMIT c.click(character::LeftButton, 0, 5, 5);
    QMenu *tour = run.app->agentForm()->MnuTour;
    QVERIFY(!tour->isVisible());
    Q_EMIT c.dblClick(character::LeftButton, 0, 5, 5);
    QCOMPARE(c.log.mid(c.log.indexOf("StopAll")), QStringList({"StopAll", "GestureAt 300 200", "Listen true"}));
    QTest::qWait(QApplication::doubleClickInterval() + 200);
    QVERIFY(!tour->isVisible());
}

// The first run's question is shown in the balloon, with the balloon
// turned off for speech, and stays there while the Yes/No menu waits; the
// menu stands beside the character, over neither the character nor the
// tip of the day, and the tip is clear of the character too.
void TestStartup::tourQuestionStaysBesideTheCharacter()
{
    Run run(settingsDir());
    run.settings.write("Kestrova", "Rest", "X", "300");
    run.settings.write("Kestrova", "Rest", "Y", "200");
    run.platform.mousePointer.where = QPoint(340, 240);
    run.app->Main();
    RecordingCharacter &c = run.character();
    QVERIFY(c.balloonStyle() & character::Character::BalloonOn);
    QVERIFY(c.balloonHeld());
    c.completeAll();
    QMenu *tour = run.app->agentForm()->MnuTour;
    QTRY_VERIFY(tour->isVisible());
    QVERIFY(c.balloonHeld());
    const QRect character(300, 200, 128, 128);
    QCOMPARE(run.app->characterArea(), std::optional<QRect>(character));
    QWidget *tip = nullptr;
    for (QWidget *w : run.app->forms().all())
        if (w->objectName() == u"frmTip")
            tip = w;
    QVERIFY(tip && tip->isVisible());
    QVERIFY2(!tip->frameGeometry().intersects(character), "the tip of the day is under the character");
    const QRect menu = tour->geometry();
    QVERIFY2(!menu.intersects(character), "the menu covers the character");
    QVERIFY2(!menu.intersects(tip->frameGeometry()), "the menu covers the tip of the day");
    // Beside it: nearer the character than half a screen away.
    QVERIFY((menu.center() - character.center()).manhattanLength() < 400);
    // Answered, the question goes and the balloon is as the user set it.
    tour->hide();
    QVERIFY(!c.balloonHeld());
    QVERIFY(!(c.balloonStyle() & character::Character::BalloonOn));
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
