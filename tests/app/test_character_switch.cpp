// Switching the character while the program runs: first the host's steps
// against the recording character (what is said, in which order, which
// requests end where), then the real character service with both shipped
// characters and broken ones made for the test.

#include "AgentForm.h"
#include "Application.h"
#include "Fakes.h"
#include "FrmMain.h"
#include "RecordingCharacter.h"
#include "SettingsStore.h"
#include "TestRun.h"
#include "desktop/CharacterChooser.h"
#include "desktop/DesktopCharacter.h"
#include "desktop/DesktopCharacterService.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace kestrova;
using kestrova::character::Request;
using kestrova::test::RecordingCharacter;
using Run = kestrova::test::TestRun;

namespace {

const QString ShippedCharacters = QStringLiteral(KESTROVA_SOURCE_DIR "/data/characters");

QStringList commandNames(character::Commands &commands)
{
    QStringList names;
    for (const character::Command &c : commands.all())
        names << c.name;
    return names;
}

QList<QMessageBox *> refusals(AgentForm &agent)
{
    return agent.findChildren<QMessageBox *>(QStringLiteral("CharacterRefused"));
}

bool copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo &f : source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = QDir(to).filePath(f.fileName());
        if (f.isDir() ? !copyFolder(f.filePath(), target) : !QFile::copy(f.filePath(), target))
            return false;
    }
    return true;
}

// A scripted recogniser: whatever it is fed, it hears "quit program" as
// Quit once some speech has come in. It keeps the commands it was given.
struct Heard {
    std::vector<character::VoiceCommand> commands;
};

class QuitRecognizer : public character::SpeechRecognizer {
public:
    explicit QuitRecognizer(std::shared_ptr<Heard> heard) : m_heard(std::move(heard)) {}
    bool setCommands(const std::vector<character::VoiceCommand> &commands, QStringList *) override
    {
        m_heard->commands = commands;
        return true;
    }
    void startUtterance() override { m_samples = 0; }
    void process(const std::int16_t *, std::size_t count) override { m_samples += qint64(count); }
    bool speechStarted() const override { return m_samples >= 1600; }
    bool inSpeech() const override { return false; }
    bool commandComplete() const override { return true; }
    character::Recognition endUtterance() override
    {
        character::Recognition r;
        r.words = QStringLiteral("quit program");
        r.command = QStringLiteral("Quit");
        r.confidence = 90;
        r.speech = true;
        return r;
    }

private:
    std::shared_ptr<Heard> m_heard;
    qint64 m_samples = 0;
};

// Silence in 100 ms chunks while started.
class SilenceSource : public character::AudioSource {
public:
    SilenceSource()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] { Q_EMIT samples(QByteArray(3200, '\0')); });
    }
    bool start() override
    {
        m_timer.start();
        return true;
    }
    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

} // namespace

class TestCharacterSwitch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    // The host's steps.
    void farewellThenTheNewOneGreetsAtRest();
    void refusedSwitchKeepsTheOldOneShown_data();
    void refusedSwitchKeepsTheOldOneShown();
    void requestsOfTheOldCharacterEndOnIt();
    void quitDuringTheSwitchEndsWithTheOldOne();
    void clickDuringTheSwitchFarewellStillSwitches();
    void secondChoiceDuringTheFarewell();
    void noSwitchWhileQuitting();
    void switchWithoutACharacterLoaded();

    // The desktop service with the shipped characters.
    void liveSwitchBetweenTheShippedCharacters();
    void brokenCharacterIsRefusedAndTheOldOneStays_data();
    void brokenCharacterIsRefusedAndTheOldOneStays();
    void choiceBrokenBeforeOkIsNotStored();

private:
    // A run that has greeted and gone quiet, Kess in place, "rivet" and
    // "testbot" ready to be switched to.
    std::unique_ptr<Run> greetedRun();
    // A program folder holding kess, rivet and whatever the test adds.
    QString programWithCharacters();
    std::unique_ptr<QTemporaryDir> m_dir;
    QString settingsDir() const { return m_dir->path() + "/Kestrova"; }
};

void TestCharacterSwitch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestCharacterSwitch::cleanup()
{
    // Boxes left open by a test go before the next.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox *>(w))
            w->close();
    m_dir.reset();
}

std::unique_ptr<Run> TestCharacterSwitch::greetedRun()
{
    auto run = std::make_unique<Run>(settingsDir());
    run->settings.write("Kestrova", "Run", "Number", "4");
    run->settings.write("Kestrova", "Rest", "X", "300");
    run->settings.write("Kestrova", "Rest", "Y", "200");
    run->service.switchable.insert("rivet", "Rivet");
    run->service.switchable.insert("testbot", "Testbot");
    run->platform.clock.time = QDateTime(QDate(2026, 12, 6), QTime(15, 30));
    run->app->Main();
    run->character().completeAll();
    run->character().log.clear();
    return run;
}

void TestCharacterSwitch::farewellThenTheNewOneGreetsAtRest()
{
    std::unique_ptr<Run> run = greetedRun();
    RecordingCharacter *kess = run->service.loaded();
    const QStringList commands = commandNames(kess->commands());
    QVERIFY(commands.contains("Quit") && commands.contains("ChangeAgent"));
    QCOMPARE(run->app->frmMain()->LblCurrent[1]->text(), QString("Kess"));

    // As the chooser asks for it.
    Q_EMIT run->service.switchRequested("rivet");
    QCOMPARE(kess->log, QStringList({"StopAll", "Speak Goodbye ", "Hide"}));
    QVERIFY(run->agent().switching());
    QCOMPARE(run->service.loaded(), kess);
    QVERIFY(run->service.prepared());
    QVERIFY(!run->service.prepared()->visible());

    kess->completeAll();
    RecordingCharacter *rivet = run->service.loaded();
    QVERIFY(rivet && rivet != kess);
    QCOMPARE(rivet->name(), QString("Rivet"));
    QCOMPARE(run->agent().Agent.get(), rivet);
    QVERIFY(!run->agent().switching());
    // At the rest position while hidden, then shown with the greeting of a
    // later run, never the first run's introduction.
    const QString date = QLocale::system().dayName(7) + " " + QLocale::system().standaloneMonthName(12) + " 6th, 2026";
    QCOMPARE(rivet->log, QStringList({"MoveTo 300 200", "Show", "Speak Good Afternoon ", "Play RestPose",
                                      "Speak The time is 3:30 PM on " + date, "Play RestPose"}));
    // Set up as at start-up: the same commands, no word balloon, US English.
    QCOMPARE(commandNames(rivet->commands()), commands);
    QCOMPARE(rivet->commands().caption(), QString("Kestrova"));
    QCOMPARE(rivet->balloonStyle() & character::Character::BalloonOn, 0);
    QCOMPARE(rivet->languageId(), 1033);
    QCOMPARE(run->app->frmMain()->LblCurrent[1]->text(), QString("Rivet"));
    QVERIFY(run->service.calls.contains("Commit default"));
    QVERIFY(!run->service.calls.contains("Unload default"));
    QVERIFY(refusals(run->agent()).isEmpty());

    // The program goes on with the new one: a typed command runs on it, and
    // the quit says its farewell and ends the program.
    rivet->completeAll();
    rivet->log.clear();
    kess->log.clear();
    QSignalSpy finished(run->app.get(), &Application::finished);
    Q_EMIT run->service.command({"Quit", 100, "quit"});
    QCOMPARE(rivet->log, QStringList({"StopAll", "Speak Goodbye ", "Hide"}));
    QVERIFY(kess->log.isEmpty());
    rivet->completeAll();
    QCOMPARE(finished.size(), 1);
}

void TestCharacterSwitch::refusedSwitchKeepsTheOldOneShown_data()
{
    QTest::addColumn<bool>("hiddenByTheUser");
    QTest::newRow("shown") << false;
    QTest::newRow("hidden") << true;
}

void TestCharacterSwitch::refusedSwitchKeepsTheOldOneShown()
{
    QFETCH(bool, hiddenByTheUser);
    std::unique_ptr<Run> run = greetedRun();
    RecordingCharacter *kess = run->service.loaded();
    if (hiddenByTheUser) {
        kess->hide();
        kess->completeAll();
        kess->log.clear();
    }
    run->service.switchRefusal = "/x/broken/character.json: line 1: the file ends too early.";
    Q_EMIT run->service.switchRequested("broken");

    // No farewell; the old one is shown again when it was hidden.
    QCOMPARE(kess->log, hiddenByTheUser ? QStringList({"Show"}) : QStringList());
    QCOMPARE(run->service.loaded(), kess);
    QVERIFY(!run->agent().switching());
    QVERIFY(!run->service.calls.contains("Commit default"));
    const QList<QMessageBox *> boxes = refusals(run->agent());
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.first()->isVisible());
    QCOMPARE(boxes.first()->windowModality(), Qt::NonModal);
    QCOMPARE(boxes.first()->text(), QString("The character \"broken\" cannot be used. "
                                            "/x/broken/character.json: line 1: the file ends too early. Kess stays."));
    // A good choice after it still works.
    kess->completeAll();
    Q_EMIT run->service.switchRequested("rivet");
    kess->completeAll();
    QCOMPARE(run->service.loaded()->name(), QString("Rivet"));
}

void TestCharacterSwitch::requestsOfTheOldCharacterEndOnIt()
{
    // The first run: the introduction and the tour offer are still queued.
    Run run(settingsDir());
    run.service.switchable.insert("rivet", "Rivet");
    run.app->Main();
    RecordingCharacter *kess = run.service.loaded();
    QVERIFY(!run.agent().tourRequest().isNull());
    QSet<quint64> kessRequests;
    connect(kess, &character::Character::requestComplete, this,
            [&](Request r) { QVERIFY2(!kessRequests.contains(r.id()), "reported twice"); kessRequests << r.id(); });
    QSet<quint64> reported;
    connect(&run.service, &character::CharacterService::requestComplete, this, [&](Request r) { reported << r.id(); });

    Q_EMIT run.service.switchRequested("rivet");
    // Cut short, each reported; the tour offer is the old one's, no menu.
    QVERIFY(run.agent().tourRequest().isNull());
    QVERIFY(!run.agent().MnuTour->isVisible());
    QCOMPARE(kessRequests.size(), 5);

    // Something asks the old one during its farewell (a mail check, the
    // alarm): its request ends with it, reported, never on the new one.
    const Request late = run.agent().Agent.Speak("You have new mail.");
    QVERIFY(kess->completeNext()); // the goodbye
    QVERIFY(kess->completeNext()); // the hide: the switch
    QCOMPARE(run.service.loaded()->name(), QString("Rivet"));
    QVERIFY(kessRequests.contains(late.id()));
    QVERIFY(reported.contains(late.id()));
    QVERIFY(kess->pending.isEmpty());
    RecordingCharacter *rivet = run.service.loaded();
    for (const RecordingCharacter::Pending &p : rivet->pending)
        QVERIFY2(!kessRequests.contains(p.request.id()), qPrintable(p.text));
    QVERIFY(!rivet->log.contains("Speak You have new mail."));
    rivet->completeAll();
    QVERIFY(!run.agent().MnuTour->isVisible());
}

void TestCharacterSwitch::quitDuringTheSwitchEndsWithTheOldOne()
{
    std::unique_ptr<Run> run = greetedRun();
    RecordingCharacter *kess = run->service.loaded();
    QSignalSpy finished(run->app.get(), &Application::finished);
    Q_EMIT run->service.switchRequested("rivet");
    run->app->AgentQuit();
    QVERIFY(!run->service.prepared());
    QVERIFY(run->service.calls.contains("Cancel"));
    QVERIFY(!run->agent().switching());
    QCOMPARE(kess->log, QStringList({"StopAll", "Speak Goodbye ", "Hide", "StopAll", "Speak Goodbye ", "Hide"}));
    kess->completeAll();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!run->service.calls.contains("Commit default"));
    QVERIFY(run->service.calls.contains("Unload default"));
}

void TestCharacterSwitch::clickDuringTheSwitchFarewellStillSwitches()
{
    std::unique_ptr<Run> run = greetedRun();
    RecordingCharacter *kess = run->service.loaded();
    Q_EMIT run->service.switchRequested("rivet");
    // A left click stops everything, the hide included: the switch goes on.
    Q_EMIT run->service.click("default", character::LeftButton, 0, 10, 10);
    QVERIFY(kess->pending.isEmpty());
    QCOMPARE(run->service.loaded()->name(), QString("Rivet"));
    QCOMPARE(run->service.loaded()->log.value(1), QString("Show"));
}

void TestCharacterSwitch::secondChoiceDuringTheFarewell()
{
    std::unique_ptr<Run> run = greetedRun();
    RecordingCharacter *kess = run->service.loaded();
    Q_EMIT run->service.switchRequested("rivet");
    // Refused: the farewell under way goes on to Rivet, and the box says
    // nothing of the old one staying.
    Q_EMIT run->service.switchRequested("broken");
    QCOMPARE(refusals(run->agent()).size(), 1);
    QVERIFY(!refusals(run->agent()).first()->text().contains("stays"));
    // Another good one: it takes the place of the one prepared; one farewell.
    Q_EMIT run->service.switchRequested("testbot");
    QCOMPARE(kess->log.count("Hide"), 1);
    QCOMPARE(kess->log.count("Speak Goodbye "), 1);
    kess->completeAll();
    QCOMPARE(run->service.loaded()->name(), QString("Testbot"));
    QVERIFY(run->service.loaded()->log.contains("Show"));
}

void TestCharacterSwitch::noSwitchWhileQuitting()
{
    std::unique_ptr<Run> run = greetedRun();
    run->app->AgentQuit();
    Q_EMIT run->service.switchRequested("rivet");
    QVERIFY(!run->service.calls.contains("Prepare rivet"));
    QVERIFY(!run->agent().switching());
}

void TestCharacterSwitch::switchWithoutACharacterLoaded()
{
    Run run(settingsDir());
    run.settings.write("Kestrova", "Run", "Number", "4");
    run.service.loadFails = true;
    run.service.switchable.insert("rivet", "Rivet");
    run.app->Main();
    QVERIFY(!run.agent().Agent.isLoaded());
    Q_EMIT run.service.switchRequested("rivet");
    RecordingCharacter *rivet = run.service.loaded();
    QVERIFY(rivet);
    QCOMPARE(rivet->log.mid(0, 2), QStringList({"MoveTo 0 0", "Show"}));
    QVERIFY(commandNames(rivet->commands()).contains("Quit"));
    QCOMPARE(run.app->frmMain()->LblCurrent[1]->text(), QString("Rivet"));
}

// ---- The desktop service ---------------------------------------------------

QString TestCharacterSwitch::programWithCharacters()
{
    const QString program = m_dir->path() + "/program";
    for (const char *name : {"kess", "rivet"})
        if (!copyFolder(ShippedCharacters + "/" + name, program + "/characters/" + name))
            qFatal("cannot copy the character %s", name);
    return program;
}

namespace {

struct Desktop {
    Desktop(const QString &program, const QString &settingsDir)
        : settings(settingsDir), service(program, settingsDir)
    {
        service.setVoiceFactory([](const character::CharacterModel &) {
            return std::make_unique<character::SilentVoice>();
        });
        service.setSpeechInput(
            [heard = heard](QString *) -> std::unique_ptr<character::SpeechRecognizer> {
                return std::make_unique<QuitRecognizer>(heard);
            },
            [] { return std::make_unique<SilenceSource>(); });
        service.setDefaultCharacter("kess");
        AppContext context;
        context.programDir = QStringLiteral(KESTROVA_PROGRAM_DIR);
        context.userDataDir = settingsDir + "/data";
        context.settings = &settings;
        context.platform = platform.services();
        context.characterService = &service;
        app = std::make_unique<Application>(context);
    }
    ~Desktop()
    {
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    character::DesktopCharacter *shown() const
    {
        return qobject_cast<character::DesktopCharacter *>(service.character("default"));
    }
    // Shown, with nothing playing or waiting.
    bool quiet() const
    {
        const character::DesktopCharacter *c = shown();
        return c && c->visible() && !c->isBusy() && c->queuedCount() == 0;
    }

    SettingsStore settings;
    test::FakePlatform platform;
    std::shared_ptr<Heard> heard = std::make_shared<Heard>();
    character::DesktopCharacterService service;
    std::unique_ptr<Application> app;
};

} // namespace

void TestCharacterSwitch::liveSwitchBetweenTheShippedCharacters()
{
    Desktop desk(programWithCharacters(), settingsDir());
    desk.settings.write("Kestrova", "Run", "Number", "4");
    desk.settings.write("Kestrova", "Rest", "X", "320");
    desk.settings.write("Kestrova", "Rest", "Y", "240");
    desk.app->Main();
    QTRY_VERIFY_WITH_TIMEOUT(desk.quiet(), 30000);
    QPointer<character::DesktopCharacter> kess = desk.shown();
    QCOMPARE(kess->name(), QString("Kess"));
    const QStringList commands = commandNames(kess->commands());

    QSet<quint64> reported;
    connect(&desk.service, &character::CharacterService::requestComplete, this,
            [&](Request r) { reported << r.id(); });

    // Through the chooser: Rivet, "Switch to it now", OK.
    bool offered = false;
    QTimer::singleShot(0, this, [&] {
        auto *chooser = qobject_cast<character::CharacterChooser *>(QApplication::activeModalWidget());
        QVERIFY(chooser);
        QTimer::singleShot(6000, chooser, &QDialog::reject);
        QVERIFY(!chooser->switchNow());
        QCOMPARE(chooser->note()->text(), character::CharacterChooser::NextStartNote);
        chooser->list()->setCurrentItem(
            chooser->list()->findItems(QStringLiteral("Rivet"), Qt::MatchStartsWith).value(0));
        chooser->switchNowBox()->click();
        QCOMPARE(chooser->note()->text(), character::CharacterChooser::SwitchNowNote);
        offered = true;
        QTest::keyClick(chooser, Qt::Key_Return);
    });
    desk.app->actions().run("ChangeAgent");
    QVERIFY(offered);
    QCOMPARE(desk.service.defaultCharacter(), QString("rivet"));
    QVERIFY(desk.service.switchNow());
    QVERIFY(desk.app->agentForm()->switching());
    // The old one is still there for its farewell, the new one waits unseen.
    QCOMPARE(desk.shown(), kess.data());
    QVERIFY(desk.service.preparedCharacter());
    QVERIFY(!desk.service.preparedCharacter()->visible());
    // Asked of the old one during the farewell: ends with it, reported.
    const Request late = desk.app->agentForm()->Agent.Speak("One more thing.");

    QTRY_VERIFY_WITH_TIMEOUT(!desk.app->agentForm()->switching(), 30000);
    QVERIFY(reported.contains(late.id()));
    character::DesktopCharacter *rivet = desk.shown();
    QVERIFY(rivet && rivet != kess.data());
    QCOMPARE(rivet->name(), QString("Rivet"));
    QTRY_VERIFY_WITH_TIMEOUT(desk.quiet(), 30000);
    QTRY_VERIFY(kess.isNull());
    QCOMPARE(QPoint(rivet->left(), rivet->top()), QPoint(320, 240));
    QCOMPARE(commandNames(rivet->commands()), commands);
    QCOMPARE(desk.app->frmMain()->LblCurrent[1]->text(), QString("Rivet"));
    QVERIFY(desk.app->agentForm()->findChildren<QMessageBox *>("CharacterRefused").isEmpty());

    // The listening key reaches the new one, which hears through the
    // microphone the commands registered on it: "quit program" ends the run.
    QSignalSpy finished(desk.app.get(), &Application::finished);
    desk.service.toggleListening();
    QVERIFY(rivet->isListening());
    QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1, 30000);
    QVERIFY(std::any_of(desk.heard->commands.begin(), desk.heard->commands.end(),
                        [](const character::VoiceCommand &c) { return c.name == u"Quit"; }));
}

void TestCharacterSwitch::brokenCharacterIsRefusedAndTheOldOneStays_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("cut-off file") << "cut" << "character.json";
    // Its hide could never end: the farewell of the next switch would hang.
    QTest::newRow("endless hide") << "endless" << "hiding";
    QTest::newRow("not there") << "absent" << "none of the character folders";
    QTest::newRow("a path, not a name") << "path" << "none of the character folders";
}

void TestCharacterSwitch::brokenCharacterIsRefusedAndTheOldOneStays()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString program = programWithCharacters();
    QString name = "broken";
    const QString folder = program + "/characters/broken";
    if (kind == u"cut") {
        QDir().mkpath(folder);
        QFile json(folder + "/character.json");
        QVERIFY(json.open(QIODevice::WriteOnly));
        json.write("{ \"name\": \"Broken\", \"animations\": {");
    } else if (kind == u"endless") {
        QVERIFY(copyFolder(program + "/characters/rivet", folder));
        QFile json(folder + "/character.json");
        QVERIFY(json.open(QIODevice::ReadOnly));
        QJsonObject root = QJsonDocument::fromJson(json.readAll()).object();
        json.close();
        QJsonObject animations = root.value("animations").toObject();
        // A state names one animation or a list of them.
        const QJsonValue hiding = root.value("states").toObject().value("hiding");
        const QString hide = hiding.isArray() ? hiding.toArray().at(0).toString() : hiding.toString();
        QVERIFY(animations.contains(hide));
        QJsonObject a = animations.value(hide).toObject();
        QJsonArray frames = a.value("frames").toArray();
        QJsonObject last = frames.last().toObject();
        last.insert("branches", QJsonArray{QJsonObject{{"to", 0}, {"probability", 100}}});
        frames.replace(frames.size() - 1, last);
        a.insert("frames", frames);
        animations.insert(hide, a);
        root.insert("animations", animations);
        QVERIFY(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
        json.write(QJsonDocument(root).toJson());
    } else if (kind == u"path") {
        name = "../characters/rivet";
    } else {
        name = "nobody";
    }

    Desktop desk(program, settingsDir());
    desk.settings.write("Kestrova", "Run", "Number", "4");
    desk.app->Main();
    QTRY_VERIFY_WITH_TIMEOUT(desk.quiet(), 30000);
    QPointer<character::DesktopCharacter> kess = desk.shown();

    desk.app->agentForm()->SwitchAgent(name);
    QVERIFY(!desk.app->agentForm()->switching());
    QVERIFY(!desk.service.preparedCharacter());
    const QList<QMessageBox *> boxes = desk.app->agentForm()->findChildren<QMessageBox *>("CharacterRefused");
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.first()->isVisible());
    QVERIFY2(boxes.first()->text().startsWith(QString("The character \"%1\" cannot be used.").arg(name)),
             qPrintable(boxes.first()->text()));
    QVERIFY2(boxes.first()->text().contains(reason), qPrintable(boxes.first()->text()));
    QVERIFY(boxes.first()->text().endsWith("Kess stays."));
    // Still there, shown, and still Kess; nothing said or hidden.
    QTest::qWait(300);
    QCOMPARE(desk.shown(), kess.data());
    QVERIFY(kess->visible());
    QVERIFY(desk.quiet());
    QCOMPARE(desk.service.defaultCharacter(), QString("kess"));
}

void TestCharacterSwitch::choiceBrokenBeforeOkIsNotStored()
{
    // Listed as sound, then changed on disk (its author at work) before OK.
    const QString program = programWithCharacters();
    QVERIFY(copyFolder(program + "/characters/rivet", program + "/characters/pip"));
    Desktop desk(program, settingsDir());
    desk.settings.write("Kestrova", "Run", "Number", "4");
    desk.app->Main();
    QTRY_VERIFY_WITH_TIMEOUT(desk.quiet(), 30000);
    QPointer<character::DesktopCharacter> kess = desk.shown();

    bool chosen = false;
    QTimer::singleShot(0, this, [&] {
        auto *chooser = qobject_cast<character::CharacterChooser *>(QApplication::activeModalWidget());
        QVERIFY(chooser);
        QTimer::singleShot(6000, chooser, &QDialog::reject);
        chooser->setSwitchNow(true);
        // A copy of Rivet: listed under Rivet's name, its folder as the tip.
        for (int i = 0; i < chooser->list()->count(); ++i)
            if (chooser->list()->item(i)->toolTip().endsWith("/pip"))
                chooser->list()->setCurrentRow(i);
        QCOMPARE(chooser->chosen(), QString("pip"));
        QFile json(program + "/characters/pip/character.json");
        QVERIFY(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
        json.write("{ \"name\": ");
        json.close();
        chosen = true;
        QTest::keyClick(chooser, Qt::Key_Return);
    });
    desk.service.showDefaultCharacterProperties();
    QVERIFY(chosen);
    const QList<QMessageBox *> boxes = desk.app->agentForm()->findChildren<QMessageBox *>("CharacterRefused");
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first()->text().contains("pip/character.json"), qPrintable(boxes.first()->text()));
    QVERIFY(boxes.first()->text().endsWith("Kess stays."));
    // Neither stored nor switched; the box's state is remembered.
    QCOMPARE(desk.service.defaultCharacter(), QString("kess"));
    QVERIFY(desk.service.switchNow());
    QVERIFY(!desk.app->agentForm()->switching());
    QCOMPARE(desk.shown(), kess.data());
    QVERIFY(desk.quiet());
}

QTEST_MAIN(TestCharacterSwitch)
#include "test_character_switch.moc"
