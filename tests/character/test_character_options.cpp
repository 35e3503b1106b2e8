// The character service's options (settings file, their effect on loaded
// characters, the options sheet), starting at login, the default-character
// chooser, and the characters' sound effects.

#include "desktop/Autostart.h"
#include "desktop/Balloon.h"
#include "CharacterCheck.h"
#include "desktop/CharacterChooser.h"
#include "desktop/CharacterOptionsDialog.h"
#include "desktop/CharacterServiceSettings.h"
#include "desktop/DesktopCharacter.h"
#include "desktop/DesktopCharacterService.h"
#include "FliteVoice.h"
#include "LeftBehind.h"
#include "desktop/ListeningPrompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QScreen>
#include <QSemaphore>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTextDocument>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova::character;

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");
const QString ProgramData = QStringLiteral(KESTROVA_SOURCE_DIR "/data");

// A voice that writes down what it is given, speaks for speakMs and
// remembers the rate it was made with.
class ScriptedVoice : public Voice {
public:
    explicit ScriptedVoice(double rate = 0) : rate(rate) {}
    bool isAvailable() const override { return true; }
    int say(const QString &text) override
    {
        said << text;
        const int u = next++;
        QTimer::singleShot(0, this, [this, u] { Q_EMIT started(u); });
        QTimer::singleShot(400, this, [this, u] { Q_EMIT finished(u); });
        return u;
    }
    void stop() override {}
    QStringList said;
    double rate;
    int next = 1;
};

void installBot(const QString &base, const QString &name)
{
    QDir().mkpath(base + u'/' + name);
    for (const QString &file : {QStringLiteral("character.json"), QStringLiteral("art.svg")})
        QFile::copy(TestbotFolder + u'/' + file, base + u'/' + name + u'/' + file);
}

// A service over a program folder holding one test character, with
// scripted voices; the voices made are collected.
struct ServiceRig {
    QTemporaryDir program;
    QTemporaryDir settingsDir;
    QList<QPointer<ScriptedVoice>> voices;
    std::unique_ptr<DesktopCharacterService> service;

    ServiceRig() { installBot(program.path() + QStringLiteral("/characters"), QStringLiteral("bot")); }
    QString ini() const { return settingsDir.path() + QStringLiteral("/CharacterService.ini"); }
    DesktopCharacter *start()
    {
        service = std::make_unique<DesktopCharacterService>(program.path(), settingsDir.path());
        service->setSpeechInput({}, {});
        // The machine's speech engines are not this test's.
        service->setVoiceListing([] { return QList<SystemVoice>(); });
        service->setVoiceFactory([this](const CharacterModel &m) -> std::unique_ptr<Voice> {
            auto v = std::make_unique<ScriptedVoice>(m.voice.rate);
            voices << v.get();
            return v;
        });
        if (!service->load(QStringLiteral("C")))
            return nullptr;
        return qobject_cast<DesktopCharacter *>(service->character(QStringLiteral("C")));
    }
};

bool showAndWait(DesktopCharacter *c)
{
    bool done = false;
    const Request r = c->show();
    QMetaObject::Connection k =
        QObject::connect(c, &Character::requestComplete, c, [&done, r](Request got) { done = done || got == r; });
    const bool ok = QTest::qWaitFor([&] { return done; }, 3000);
    QObject::disconnect(k);
    return ok;
}

bool completes(DesktopCharacter *c, Request r, int ms = 8000)
{
    bool done = false;
    QMetaObject::Connection k =
        QObject::connect(c, &Character::requestComplete, c, [&done, r](Request got) { done = done || got == r; });
    const bool ok = QTest::qWaitFor([&] { return done; }, ms);
    QObject::disconnect(k);
    return ok;
}

// Warnings of the character's log, counted.
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;
void collect(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg)
        g_warnings << text;
    if (g_previous)
        g_previous(type, context, text);
}

} // namespace

class TestCharacterOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsReadBackAndGarbageFallsBack();
    void speechOffShowsTheBalloonOnly();
    void balloonWhileSpeakingAndFont();
    void rateIsAddedAndClamped();
    void timeoutReachesThePrompt();
    void sheetAppliesAndCancelChangesNothing();
    void popupMenuOpensTheSheet();
    void autostartEntry();
    void autostartFailureLeavesNothing();
    void chooserListsStoresAndKeepsTheRunningCharacter();
    void chooserShowsNamesAsWritten();
    void chooserCutsALongNameToItsWidth();
    void frameSoundsPlayWhenOn();
    void voiceListReachesTheSheetAndIsNotWaitedForAtTheEnd();
};

void TestCharacterOptions::settingsReadBackAndGarbageFallsBack()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("CharacterService.ini"));
    // Nothing stored: the defaults.
    const CharacterServiceSettings defaults = CharacterServiceSettings::read(ini);
    QVERIFY(defaults.speechOutput && defaults.sounds && !defaults.balloonWhileSpeaking);
    QCOMPARE(defaults.listeningKey, QStringLiteral("Scroll_Lock"));
    QCOMPARE(defaults.listeningTimeoutSeconds, ListeningPrompt::IdleTimeoutMs / 1000);

    CharacterServiceSettings s;
    s.speechOutput = false;
    s.voice = QStringLiteral("flite:rms");
    s.rate = -0.3;
    s.balloonWhileSpeaking = true;
    s.balloonFont = QFont(QStringLiteral("DejaVu Serif"), 14).toString();
    s.listeningKey = QStringLiteral("F12");
    s.listeningTimeoutSeconds = 40;
    s.microphone = QStringLiteral("some-device");
    s.sounds = false;
    QVERIFY(s.write(ini));
    QCOMPARE(CharacterServiceSettings::read(ini), s);
    // The service's own keys stay as they were.
    {
        QSettings raw(ini, QSettings::IniFormat);
        raw.setValue(QStringLiteral("Default"), QStringLiteral("rivet"));
    }
    QVERIFY(s.write(ini));
    QCOMPARE(QSettings(ini, QSettings::IniFormat).value(QStringLiteral("Default")).toString(), QStringLiteral("rivet"));

    // Garbage reads as the defaults, value by value.
    QFile f(ini);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[General]\nSpeechOutput=perhaps\nRate=fast\nBalloon=7\nListeningTimeout=100000\nSounds=\n"
            "Voice=espeak-what\nMicrophone=\nListeningKey=F11\n\x01\xff garbage line\n");
    f.close();
    const CharacterServiceSettings g = CharacterServiceSettings::read(ini);
    QVERIFY(g.speechOutput);
    QCOMPARE(g.rate, 0.0);
    QVERIFY(!g.balloonWhileSpeaking);
    QCOMPARE(g.listeningTimeoutSeconds, 15);
    QVERIFY(g.sounds);
    QVERIFY(g.voice.isEmpty());
    QCOMPARE(g.microphone, QStringLiteral("Default"));
    QCOMPARE(g.listeningKey, QStringLiteral("F11"));

    // A service starting on that file loads its character all the same.
    ServiceRig rig;
    QFile::copy(ini, rig.ini());
    QVERIFY(rig.start());
}

void TestCharacterOptions::speechOffShowsTheBalloonOnly()
{
    ServiceRig rig;
    DesktopCharacter *c = rig.start();
    QVERIFY(c);
    QVERIFY(showAndWait(c));
    c->setBalloonStyle(0); // the program asks for no balloon while heard
    CharacterServiceSettings s = rig.service->settings();
    s.speechOutput = false;
    QVERIFY(rig.service->applySettings(s));
    QVERIFY(!c->speechOutput());
    const Request r = c->speak(QStringLiteral("Nobody hears this"));
    QTRY_VERIFY(c->balloon()->isVisible());
    QCOMPARE(c->balloon()->text(), QStringLiteral("Nobody hears this"));
    QVERIFY(completes(c, r));
    QVERIFY(rig.voices.last()->said.isEmpty());
    // Read back at the next start.
    QVERIFY(!CharacterServiceSettings::read(rig.ini()).speechOutput);
    ServiceRig again;
    QFile::copy(rig.ini(), again.ini());
    DesktopCharacter *d = again.start();
    QVERIFY(d && !d->speechOutput());

    // On again: the voice is given the text and the balloon stays away.
    s.speechOutput = true;
    QVERIFY(rig.service->applySettings(s));
    const Request r2 = c->speak(QStringLiteral("Heard now"));
    QTRY_COMPARE(rig.voices.last()->said, QStringList{QStringLiteral("Heard now")});
    QVERIFY(!c->balloon()->isVisible());
    QVERIFY(completes(c, r2));
}

void TestCharacterOptions::balloonWhileSpeakingAndFont()
{
    ServiceRig rig;
    DesktopCharacter *c = rig.start();
    QVERIFY(c && showAndWait(c));
    c->setBalloonStyle(0);
    CharacterServiceSettings s = rig.service->settings();
    s.balloonWhileSpeaking = true;
    const QFont font(QStringLiteral("DejaVu Serif"), 17);
    s.balloonFont = font.toString();
    QVERIFY(rig.service->applySettings(s));
    const Request r = c->speak(QStringLiteral("Heard and shown"));
    QTRY_VERIFY(c->balloon()->isVisible());
    QCOMPARE(rig.voices.last()->said, QStringList{QStringLiteral("Heard and shown")});
    QCOMPARE(c->balloon()->textFont().pointSizeF(), 17.0);
    QCOMPARE(c->balloon()->textFont().family(), font.family());
    QVERIFY(completes(c, r));
    // Thoughts use it as well, and a bigger font makes a bigger balloon.
    const Request t = c->think(QStringLiteral("Hm, a thought"));
    QTRY_VERIFY(c->balloon()->isVisible());
    const int bigHeight = c->balloon()->bubbleRect().height();
    QVERIFY(completes(c, t));
    s.balloonFont.clear();
    QVERIFY(rig.service->applySettings(s));
    QCOMPARE(c->balloon()->textFont().pointSizeF(), Balloon::FontPointSize);
    const Request t2 = c->think(QStringLiteral("Hm, a thought"));
    QTRY_VERIFY(c->balloon()->isVisible());
    QVERIFY(c->balloon()->bubbleRect().height() < bigHeight);
    QVERIFY(completes(c, t2));
    // A size far larger than the balloon can take, typed into the file or
    // picked in the font window, still leaves a balloon on the screen with
    // whole words on its lines: the font is shown at the largest size that
    // allows it, in its own family. Point and pixel sizes alike.
    QFont huge(QStringLiteral("DejaVu Serif"));
    for (const bool pixels : {false, true}) {
        if (pixels)
            huge.setPixelSize(4000);
        else
            huge.setPointSizeF(3000);
        s.balloonFont = huge.toString();
        QVERIFY(rig.service->applySettings(s));
        const QFont shown = c->balloon()->textFont();
        QCOMPARE(shown.family(), huge.family());
        QVERIFY(shown.pointSizeF() <= CharacterServiceSettings::MaxBalloonPointSize);
        QVERIFY(QFontInfo(shown).pointSizeF() <= CharacterServiceSettings::MaxBalloonPointSize + 1);
        const Request said = c->think(QStringLiteral("Wednesday December"));
        QTRY_VERIFY(c->balloon()->isVisible());
        QVERIFY(c->balloon()->bubbleRect().height() < c->balloon()->screen()->availableGeometry().height() / 2);
        QVERIFY(completes(c, said));
    }
    // A stored size the balloon can take is read as it stands.
    s.balloonFont = QFont(QStringLiteral("DejaVu Serif"), CharacterServiceSettings::MaxBalloonPointSize).toString();
    QVERIFY(rig.service->applySettings(s));
    QCOMPARE(c->balloon()->textFont().pointSizeF(), qreal(CharacterServiceSettings::MaxBalloonPointSize));
}

void TestCharacterOptions::rateIsAddedAndClamped()
{
    VoiceSettings own;
    own.rate = 0.4;
    CharacterServiceSettings s;
    s.rate = 0.3;
    QCOMPARE(effectiveVoice(own, s).rate, 0.7);
    s.rate = 0.9;
    QCOMPARE(effectiveVoice(own, s).rate, 1.0);
    own.rate = -0.6;
    s.rate = -0.8;
    QCOMPARE(effectiveVoice(own, s).rate, -1.0);
    s.voice = QStringLiteral("flite:slt");
    QCOMPARE(effectiveVoice(own, s).engine, QStringLiteral("flite"));
    QCOMPARE(effectiveVoice(own, s).name, QStringLiteral("slt"));
    s.voice = QStringLiteral("qt:speechd:Alice Smith");
    QCOMPARE(effectiveVoice(own, s).systemEngine, QStringLiteral("speechd"));
    QCOMPARE(effectiveVoice(own, s).name, QStringLiteral("Alice Smith"));
    // A character naming no engine speaks with flite, by its gender; one
    // that asks for the desktop's speech service keeps it.
    s.voice.clear();
    own.gender = QStringLiteral("male");
    QCOMPARE(effectiveVoice(own, s).engine, QStringLiteral("flite"));
    QCOMPARE(FliteVoice::voiceNameFor(effectiveVoice(own, s)), QStringLiteral("rms"));
    own.engine = QStringLiteral("system");
    QCOMPARE(effectiveVoice(own, s).engine, QStringLiteral("system"));
    own.engine.clear();

    // Applied, the loaded character gets a new voice made at the new rate.
    ServiceRig rig;
    DesktopCharacter *c = rig.start();
    QVERIFY(c);
    QCOMPARE(rig.voices.size(), 1);
    CharacterServiceSettings applied = rig.service->settings();
    applied.rate = 1.0; // testbot's own rate is 0
    QVERIFY(rig.service->applySettings(applied));
    QCOMPARE(rig.voices.size(), 2);
    QCOMPARE(rig.voices.last()->rate, 1.0);
    QCOMPARE(c->speakingRate(), 1.0);
    QCOMPARE(static_cast<Voice *>(rig.voices.last().data()), c->voice());
    // Settings that leave the voice alone keep it.
    applied.sounds = false;
    QVERIFY(rig.service->applySettings(applied));
    QCOMPARE(rig.voices.size(), 2);
}

void TestCharacterOptions::timeoutReachesThePrompt()
{
    ServiceRig rig;
    DesktopCharacter *c = rig.start();
    QVERIFY(c && showAndWait(c));
    c->listen(true);
    QVERIFY(c->listeningPrompt());
    QCOMPARE(c->listeningPrompt()->idleTimeout(), ListeningPrompt::IdleTimeoutMs);
    CharacterServiceSettings s = rig.service->settings();
    s.listeningTimeoutSeconds = 3;
    QVERIFY(rig.service->applySettings(s));
    QCOMPARE(c->listeningPrompt()->idleTimeout(), 3000);
    c->listen(false);
    c->listen(true);
    QVERIFY(c->isListening());
    QTRY_VERIFY_WITH_TIMEOUT(!c->isListening(), 5000);
}

void TestCharacterOptions::sheetAppliesAndCancelChangesNothing()
{
    ServiceRig rig;
    DesktopCharacter *c = rig.start();
    QVERIFY(c);
    rig.service->showPropertySheet();
    CharacterOptionsDialog *sheet = rig.service->optionsDialog();
    QVERIFY(sheet && sheet->isVisible());
    QCOMPARE(sheet->objectName(), QStringLiteral("kestrovaCharacterOptions"));
    QCOMPARE(sheet->windowTitle(), QStringLiteral("Character Options"));
    QCOMPARE(sheet->tabs()->count(), 5);
    QVERIFY(sheet->speakAloudBox()->isChecked());
    QVERIFY(sheet->soundsBox()->isChecked());
    QVERIFY(!sheet->autostartBox()->isChecked());

    // Cancel: nothing changes, and the sheet shows the settings in force
    // when it opens again.
    sheet->speakAloudBox()->setChecked(false);
    sheet->soundsBox()->setChecked(false);
    sheet->rateSlider()->setValue(5);
    sheet->buttons()->button(QDialogButtonBox::Cancel)->click();
    QVERIFY(!sheet->isVisible());
    QVERIFY(c->speechOutput() && c->soundsOn());
    QVERIFY(!QFileInfo::exists(rig.ini()));
    rig.service->showPropertySheet();
    QCOMPARE(rig.service->optionsDialog(), sheet); // one sheet
    QVERIFY(sheet->speakAloudBox()->isChecked());
    QCOMPARE(sheet->rateSlider()->value(), 0);

    // Apply: in force and stored, the sheet stays open; Escape closes it.
    sheet->soundsBox()->setChecked(false);
    sheet->timeoutSpin()->setValue(30);
    sheet->rateSlider()->setValue(-4);
    sheet->buttons()->button(QDialogButtonBox::Apply)->click();
    QVERIFY(sheet->isVisible());
    QVERIFY(!c->soundsOn());
    QCOMPARE(c->listeningTimeoutMs(), 30000);
    QCOMPARE(c->speakingRate(), -0.4);
    CharacterServiceSettings stored = CharacterServiceSettings::read(rig.ini());
    QVERIFY(!stored.sounds);
    QCOMPARE(stored.listeningTimeoutSeconds, 30);
    QCOMPARE(stored.rate, -0.4);
    QTest::keyClick(sheet, Qt::Key_Escape);
    QVERIFY(!sheet->isVisible());

    // OK applies and closes.
    rig.service->showPropertySheet();
    sheet->balloonBox()->setChecked(true);
    sheet->buttons()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!sheet->isVisible());
    QVERIFY(c->balloonWhileSpeaking());
    QVERIFY(CharacterServiceSettings::read(rig.ini()).balloonWhileSpeaking);
}

void TestCharacterOptions::popupMenuOpensTheSheet()
{
    ServiceRig rig;
    DesktopCharacter *c = rig.start();
    QVERIFY(c && showAndWait(c));
    c->popupCommandMenu(c->window()->geometry().center());
    QVERIFY(c->commandMenu());
    QAction *options = c->commandMenu()->findChild<QAction *>(QStringLiteral("kestrovaOptions"));
    QVERIFY(options);
    QCOMPARE(options->text(), QStringLiteral("&Character Options..."));
    c->commandMenu()->hide();
    options->trigger();
    QVERIFY(rig.service->optionsDialog());
    QTRY_VERIFY(rig.service->optionsDialog()->isVisible());
}

void TestCharacterOptions::autostartEntry()
{
    const QString folder = Autostart::folder();
    QVERIFY(folder.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
    QDir().mkpath(folder);
    // Someone else's entry in the same folder.
    QFile other(folder + QStringLiteral("/other.desktop"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
    other.close();

    CharacterOptionsDialog sheet;
    sheet.setSettings(CharacterServiceSettings{});
    QVERIFY(!sheet.autostartBox()->isChecked());
    sheet.autostartBox()->setChecked(true);
    QVERIFY(sheet.apply());
    QVERIFY(Autostart::startsAtLogin());
    QFile entry(Autostart::entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QVERIFY(text.contains(QStringLiteral("\nType=Application\n")));
    QVERIFY(text.contains(QStringLiteral("\nName=Kestrova\n")));
    QVERIFY(text.contains(QStringLiteral("\nIcon=org.kestrova.Kestrova\n")));
    QVERIFY(text.contains(QStringLiteral("\nX-GNOME-Autostart-enabled=true\n")));
    // This test program is not on PATH: the entry names it by its path.
    QVERIFY(text.contains(QStringLiteral("\nExec=") + QCoreApplication::applicationFilePath() + u'\n'));
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        QProcess p;
        p.start(validator, {Autostart::entryPath()});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
        QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray());
    }
    // The box shows the truth when the sheet opens again.
    CharacterOptionsDialog again;
    again.setSettings(CharacterServiceSettings{});
    QVERIFY(again.autostartBox()->isChecked());
    again.autostartBox()->setChecked(false);
    QVERIFY(again.apply());
    QVERIFY(!QFileInfo::exists(Autostart::entryPath()));
    QVERIFY(other.exists());
    // Removing what is not there is no failure.
    QVERIFY(Autostart::setStartAtLogin(false));
}

void TestCharacterOptions::autostartFailureLeavesNothing()
{
    // The entry's place is taken by a folder, so the entry cannot be put
    // there (whoever runs the test, even with every permission).
    const QString folder = Autostart::folder();
    QDir().mkpath(folder);
    QFile(Autostart::entryPath()).remove();
    QFile(folder + QStringLiteral("/other.desktop")).remove();
    QVERIFY(QDir().mkpath(Autostart::entryPath()));
    CharacterOptionsDialog sheet;
    sheet.setSettings(CharacterServiceSettings{});
    sheet.show();
    sheet.autostartBox()->setChecked(true);
    sheet.buttons()->button(QDialogButtonBox::Ok)->click();
    // The sheet stays open and says what went wrong; nothing is left.
    QVERIFY(sheet.isVisible());
    QVERIFY2(sheet.message().contains(Autostart::entryPath()), qPrintable(sheet.message()));
    QVERIFY(!sheet.autostartBox()->isChecked());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{Autostart::FileName});
    QVERIFY(QFileInfo(Autostart::entryPath()).isDir());
    QVERIFY(QDir(Autostart::entryPath()).isEmpty());
    QVERIFY(QDir(Autostart::entryPath()).removeRecursively());
}

void TestCharacterOptions::chooserListsStoresAndKeepsTheRunningCharacter()
{
    QTemporaryDir settingsDir;
    const QString user = characterFolders(ProgramData).first();
    installBot(user, QStringLiteral("testbot"));
    QDir().mkpath(user + QStringLiteral("/broken"));
    QFile json(user + QStringLiteral("/broken/character.json"));
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write("{ \"name\": ");
    json.close();

    DesktopCharacterService service(ProgramData, settingsDir.path());
    service.setSpeechInput({}, {});
    service.setVoiceFactory([](const CharacterModel &) { return std::make_unique<SilentVoice>(); });
    service.setDefaultCharacter(QStringLiteral("rivet"));
    QVERIFY(service.load(QStringLiteral("C")));
    Character *running = service.character(QStringLiteral("C"));
    QCOMPARE(running->name(), QStringLiteral("Rivet"));

    QStringList listed;
    bool previewed = false;
    QString brokenTip;
    bool brokenSelectable = true;
    QTimer::singleShot(0, this, [&] {
        auto *chooser = qobject_cast<CharacterChooser *>(QApplication::activeModalWidget());
        QVERIFY(chooser);
        // Whatever fails below, the dialog closes and the test goes on.
        QTimer::singleShot(6000, chooser, &QDialog::reject);
        QCOMPARE(chooser->objectName(), QStringLiteral("kestrovaCharacterChooser"));
        for (int i = 0; i < chooser->list()->count(); ++i) {
            QListWidgetItem *item = chooser->list()->item(i);
            listed << item->text().section(u'\n', 0, 0);
            if (item->text().startsWith(u"broken")) {
                brokenTip = item->toolTip();
                brokenSelectable = item->flags() & Qt::ItemIsSelectable;
            }
        }
        QCOMPARE(chooser->chosen(), QStringLiteral("rivet")); // the default, preselected
        // Arrow keys move through what can be chosen; the preview follows
        // and plays.
        chooser->list()->setCurrentItem(chooser->list()->findItems(QStringLiteral("Kess"), Qt::MatchStartsWith).value(0));
        QCOMPARE(chooser->chosen(), QStringLiteral("kess"));
        QTest::keyClick(chooser->list(), Qt::Key_Down);
        QCOMPARE(chooser->chosen(), QStringLiteral("rivet"));
        QTest::keyClick(chooser->list(), Qt::Key_Up);
        QTest::keyClick(chooser->list(), Qt::Key_Up);
        QCOMPARE(chooser->chosen(), QStringLiteral("testbot"));
        QVERIFY(chooser->preview()->model());
        QCOMPARE(chooser->preview()->model()->id, QStringLiteral("testbot"));
        previewed = QTest::qWaitFor([&] { return chooser->preview()->paints() > 1; }, 3000);
        QTest::keyClick(chooser, Qt::Key_Return);
    });
    service.showDefaultCharacterProperties();
    QVERIFY(previewed);
    // Kess and Rivet from the program, the user's test character, and the
    // broken one greyed with the loader's error.
    QVERIFY2(listed.contains(QStringLiteral("Kess")) && listed.contains(QStringLiteral("Rivet"))
                 && listed.contains(QStringLiteral("Testbot")),
             qPrintable(listed.join(u',')));
    QVERIFY(listed.contains(QStringLiteral("broken (cannot be loaded)")));
    QVERIFY(!brokenSelectable);
    QVERIFY2(brokenTip.contains(QStringLiteral("character.json")), qPrintable(brokenTip));
    QCOMPARE(service.defaultCharacter(), QStringLiteral("testbot"));
    QCOMPARE(service.character(QStringLiteral("C")), running);
    QCOMPARE(running->name(), QStringLiteral("Rivet"));

    // Escape keeps the stored choice.
    QTimer::singleShot(0, this, [] {
        QWidget *chooser = QApplication::activeModalWidget();
        QVERIFY(chooser);
        QTimer::singleShot(3000, chooser, &QWidget::close);
        QTest::keyClick(chooser, Qt::Key_Escape);
    });
    service.showDefaultCharacterProperties();
    QCOMPARE(service.defaultCharacter(), QStringLiteral("testbot"));

    // The preview draws nothing while hidden.
    CharacterChooser chooser(ProgramData, QStringLiteral("kess"));
    chooser.show();
    QTRY_VERIFY(chooser.preview()->isPlaying());
    chooser.hide();
    QVERIFY(!chooser.preview()->isPlaying());
    const int paints = chooser.preview()->paints();
    QTest::qWait(400);
    QCOMPARE(chooser.preview()->paints(), paints);
    QDir(user).removeRecursively();
}

void TestCharacterOptions::chooserShowsNamesAsWritten()
{
    // A character from someone else whose name and description are markup:
    // the chooser shows the characters typed, and loads nothing they name.
    const QString user = characterFolders(ProgramData).first();
    installBot(user, QStringLiteral("marked"));
    const QString name = QStringLiteral("<b>Bold</b> <img src=\"nowhere.png\">");
    const QString description = QStringLiteral("<h1>Big</h1><a href=\"https://example.org\">click</a>");
    QFile json(user + QStringLiteral("/marked/character.json"));
    QVERIFY(json.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(json.readAll()).object();
    json.close();
    root.insert(QStringLiteral("name"), name);
    root.insert(QStringLiteral("description"), description);
    QVERIFY(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
    json.write(QJsonDocument(root).toJson());
    json.close();
    QVERIFY(Qt::mightBeRichText(name) && Qt::mightBeRichText(description));

    CharacterChooser chooser(ProgramData, QStringLiteral("marked"));
    chooser.show();
    QCOMPARE(chooser.chosen(), QStringLiteral("marked"));
    int shown = 0;
    // The name may be cut to its label's width, then whole in its tooltip.
    const auto showsName = [&name](const QLabel *label) {
        return label->text() == name
            || (label->toolTip() == name && label->text().endsWith(QChar(0x2026))
                && name.startsWith(label->text().chopped(1)));
    };
    for (const QLabel *label : chooser.findChildren<QLabel *>()) {
        if (!showsName(label) && label->text() != description)
            continue;
        ++shown;
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    QCOMPARE(shown, 2);
    QDir(user + QStringLiteral("/marked")).removeRecursively();
}

// A character whose name runs far beyond any screen, as words and as one
// word: the chooser stays as wide as it was made and inside the screen, the
// name is cut to the label's width ending in "…", and its tooltip holds it
// whole.
void TestCharacterOptions::chooserCutsALongNameToItsWidth()
{
    const QString user = characterFolders(ProgramData).first();
    installBot(user, QStringLiteral("long"));
    const QString words = QStringLiteral("The Very Long Name ").repeated(16).trimmed();
    const QString word = QStringLiteral("Longname").repeated(40);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QString &name : {words, word}) {
        QVERIFY(name.size() >= 300);
        QFile json(user + QStringLiteral("/long/character.json"));
        QVERIFY(json.open(QIODevice::ReadOnly));
        QJsonObject root = QJsonDocument::fromJson(json.readAll()).object();
        json.close();
        root.insert(QStringLiteral("name"), name);
        QVERIFY(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
        json.write(QJsonDocument(root).toJson());
        json.close();

        CharacterChooser chooser(ProgramData, QStringLiteral("long"));
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QCOMPARE(chooser.chosen(), QStringLiteral("long"));
        QVERIFY2(chooser.width() <= std::min(560, screen.width()),
                 qPrintable(QStringLiteral("the chooser is %1 px wide").arg(chooser.width())));
        auto *label = chooser.findChild<QLabel *>(QStringLiteral("kestrovaCharacterName"));
        QVERIFY(label);
        QVERIFY(label->isVisible());
        QVERIFY(label->width() > 0);
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(QStringLiteral("\"%1\" in %2 px").arg(label->text()).arg(label->contentsRect().width())));
        QVERIFY2(label->text().endsWith(QChar(0x2026)) && name.startsWith(label->text().chopped(1)),
                 qPrintable(label->text()));
        QCOMPARE(label->toolTip(), name);
    }
    QDir(user + QStringLiteral("/long")).removeRecursively();
}

void TestCharacterOptions::frameSoundsPlayWhenOn()
{
    // The test character with a sound on Greet's first frame and a missing
    // one on Wave's.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("noisy"));
    installBot(dir.path(), QStringLiteral("noisy"));
    QFile file(folder + QStringLiteral("/character.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonObject anims = root.value(QStringLiteral("animations")).toObject();
    for (const auto &[name, sound] : {std::pair{QStringLiteral("Greet"), QStringLiteral("chirp")},
                                      std::pair{QStringLiteral("Wave"), QStringLiteral("nothere")}}) {
        QJsonObject a = anims.value(name).toObject();
        QJsonArray frames = a.value(QStringLiteral("frames")).toArray();
        QJsonObject f0 = frames.at(0).toObject();
        f0.insert(QStringLiteral("sound"), sound);
        frames.replace(0, f0);
        a.insert(QStringLiteral("frames"), frames);
        anims.insert(name, a);
    }
    root.insert(QStringLiteral("animations"), anims);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(root).toJson());
    file.close();
    QDir().mkpath(folder + QStringLiteral("/sounds"));
    const QFile wav(folder + QStringLiteral("/sounds/chirp.wav"));
    QVERIFY(QFile::copy(ProgramData + QStringLiteral("/characters/kess/sounds/chirp.wav"), wav.fileName()));

    // The checker names the one whose file is missing, as missing.
    const QList<CharacterProblem> problems = checkCharacterFolder(folder);
    QList<CharacterProblem> sounds;
    for (const CharacterProblem &p : problems)
        if (p.place.endsWith(QStringLiteral(".sound")))
            sounds << p;
    QCOMPARE(sounds.size(), 1);
    QCOMPARE(sounds.first().kind, CharacterProblem::Missing);
    QVERIFY(sounds.first().message.contains(QStringLiteral("sounds/nothere.wav")));

    std::optional<CharacterModel> model = CharacterModel::load(folder);
    QVERIFY(model);
    DesktopCharacter c(std::move(*model), std::make_unique<SilentVoice>());
    QStringList played;
    c.setSoundPlayer([&](const QString &f) { played << f; });
    QVERIFY(showAndWait(&c));
    QVERIFY(completes(&c, c.play(QStringLiteral("Greet"))));
    QCOMPARE(played, QStringList{wav.fileName()});

    c.setSoundsOn(false);
    QVERIFY(completes(&c, c.play(QStringLiteral("Greet"))));
    QCOMPARE(played.size(), 1);

    c.setSoundsOn(true);
    g_warnings.clear();
    g_previous = qInstallMessageHandler(collect);
    QVERIFY(completes(&c, c.play(QStringLiteral("Wave"))));
    QVERIFY(completes(&c, c.play(QStringLiteral("Wave"))));
    qInstallMessageHandler(g_previous);
    QCOMPARE(played.size(), 1);
    const QStringList missing = g_warnings.filter(QStringLiteral("nothere"));
    QCOMPARE(missing.size(), 1);
    QVERIFY(missing.first().contains(QStringLiteral("sounds/nothere.wav")));
}

// The system's voices are listed on a thread of their own while the sheet
// is open, and reach its list when they are there. An engine may take
// seconds to give them: the service's end (the program's) does not wait for
// a list no one will read, and tells the program's end that a thread was
// left running.
void TestCharacterOptions::voiceListReachesTheSheetAndIsNotWaitedForAtTheEnd()
{
    struct Gate {
        QSemaphore started;
        QSemaphore go;
        QSemaphore done;
    };
    auto listing = [](std::shared_ptr<Gate> gate) {
        return [gate] {
            gate->started.release();
            gate->go.acquire();
            QList<SystemVoice> voices{{QStringLiteral("qt:test:Alice"), QStringLiteral("Alice (test, Female)"),
                                       QStringLiteral("en_US")}};
            gate->done.release();
            return voices;
        };
    };

    const int leftBefore = kestrova::platform::leftBehind();
    {
        ServiceRig rig;
        QVERIFY(rig.start());
        auto gate = std::make_shared<Gate>();
        rig.service->setVoiceListing(listing(gate));
        rig.service->showPropertySheet();
        CharacterOptionsDialog *sheet = rig.service->optionsDialog();
        QVERIFY(sheet && sheet->isVisible());
        QVERIFY(gate->started.tryAcquire(1, 10000));
        QVERIFY(!sheet->systemVoicesListed());
        QCOMPARE(sheet->voiceCombo()->findData(QStringLiteral("qt:test:Alice")), -1);
        gate->go.release();
        QTRY_VERIFY_WITH_TIMEOUT(sheet->systemVoicesListed(), 10000);
        QVERIFY(sheet->voiceCombo()->findData(QStringLiteral("qt:test:Alice")) >= 0);
        // Listed: nothing runs on at the end.
        rig.service.reset();
        QCOMPARE(kestrova::platform::leftBehind(), leftBefore);
    }

    // The end comes while the engine is still at it.
    auto gate = std::make_shared<Gate>();
    {
        ServiceRig rig;
        QVERIFY(rig.start());
        rig.service->setVoiceListing(listing(gate));
        rig.service->showPropertySheet();
        QVERIFY(gate->started.tryAcquire(1, 10000));
        rig.service.reset();
        // Gone while the list is still being made, and the program knows
        // a thread runs on.
        QCOMPARE(gate->done.available(), 0);
        QCOMPARE(kestrova::platform::leftBehind(), leftBefore + 1);
    }
    // The list made after the service went goes nowhere.
    gate->go.release();
    QVERIFY(gate->done.tryAcquire(1, 10000));
    QTest::qWait(50);
}

QTEST_MAIN(TestCharacterOptions)
#include "test_character_options.moc"
