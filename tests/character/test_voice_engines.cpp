// The voices as the user reaches them, with the real sound module: the
// character options' voice list, its Test button for every voice listed,
// and OK with a flite voice chosen, for every character that comes with the
// program; then the end of the service. An engine used from two threads at
// once, or a thread still at work when its objects go, ends this test with a
// crash (under the sanitisers, with a report).

#include "desktop/CharacterOptionsDialog.h"
#include "desktop/DesktopCharacter.h"
#include "desktop/DesktopCharacterService.h"
#include "QtVoice.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace kestrova::character;

namespace {

// The characters that come with the program.
QStringList shippedCharacters()
{
    QStringList names;
    const QDir data(QStringLiteral(KESTROVA_SOURCE_DIR "/data/characters"));
    for (const QString &name : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFileInfo::exists(data.filePath(name + QStringLiteral("/character.json"))))
            names << name;
    return names;
}

bool completes(DesktopCharacter *c, Request r, int ms)
{
    bool done = false;
    QMetaObject::Connection k =
        QObject::connect(c, &Character::requestComplete, c, [&done, r](Request got) { done = done || got == r; });
    const bool ok = QTest::qWaitFor([&] { return done; }, ms);
    QObject::disconnect(k);
    return ok;
}

// Whether a library of that name is loaded in this process.
bool mapped(const char *library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// The speech server the system's engine started for this test's runtime
// folder outlives the test: it and its modules go by their process ids.
void stopSpeechServers()
{
    const QByteArray socket = QByteArray("--socket-path") + '\0' + qgetenv("XDG_RUNTIME_DIR") + '/';
    QList<pid_t> servers;
    QHash<pid_t, pid_t> parents;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(socket))
            servers << pid;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            parents.insert(pid, pid_t(line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toInt()));
        }
    }
    for (auto it = parents.cbegin(); it != parents.cend(); ++it)
        if (servers.contains(it.value()))
            ::kill(it.key(), SIGKILL);
    for (pid_t server : std::as_const(servers))
        ::kill(server, SIGKILL);
}

// Whether the voice reported the end of its next utterance (finished or
// failed) within ms.
struct Outcome {
    explicit Outcome(Voice *voice)
    {
        QObject::connect(voice, &Voice::finished, voice, [this] { over = true; });
        QObject::connect(voice, &Voice::failed, voice, [this] { over = true; });
    }
    bool within(int ms) { return QTest::qWaitFor([this] { return over; }, ms); }
    bool over = false;
};

} // namespace

class TestVoiceEngines : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<SpeechTiming>();
        // With no sound server here, a speech-dispatcher started for this
        // run would take texts it can never play and, asked again, hang:
        // the system's engine finds no server and is listed without voices.
        // The end-to-end tests try it with a sound server.
        qputenv("SPEECHD_ADDRESS", "unix_socket:" + qgetenv("XDG_RUNTIME_DIR") + "/no-speech-server/speechd.sock");
    }
    void cleanupTestCase() { stopSpeechServers(); }
    void everyListedVoiceWithEveryCharacter_data();
    void everyListedVoiceWithEveryCharacter();
    void systemVoiceHandsFliteToTheProgram();
};

void TestVoiceEngines::everyListedVoiceWithEveryCharacter_data()
{
    QTest::addColumn<QString>("character");
    const QStringList names = shippedCharacters();
    QVERIFY(names.contains(QStringLiteral("kess")) && names.contains(QStringLiteral("rivet")));
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

void TestVoiceEngines::everyListedVoiceWithEveryCharacter()
{
    QFETCH(QString, character);
    QTemporaryDir settingsDir;
    QSettings(settingsDir.filePath(QStringLiteral("CharacterService.ini")), QSettings::IniFormat)
        .setValue(QStringLiteral("Default"), character);
    // The program's own folder: the characters and the sound module are
    // beside the tests as beside the program.
    auto service = std::make_unique<DesktopCharacterService>(QCoreApplication::applicationDirPath(), settingsDir.path());
    service->setSpeechInput({}, {});
    QVERIFY(service->load(QStringLiteral("C")));
    auto *c = qobject_cast<DesktopCharacter *>(service->character(QStringLiteral("C")));
    QVERIFY(c);
    QCOMPARE(c->model().id, character);
    QVERIFY(completes(c, c->show(), 5000));
    // It speaks with its own voice before the options are opened, as it
    // greets at the start.
    QVERIFY(completes(c, c->speak(QStringLiteral("Hello there.")), 20000));

    // Character Options... from its menu.
    c->popupCommandMenu(c->window()->geometry().center());
    QAction *options = c->commandMenu()->findChild<QAction *>(QStringLiteral("kestrovaOptions"));
    QVERIFY(options);
    c->commandMenu()->hide();
    options->trigger();
    CharacterOptionsDialog *sheet = service->optionsDialog();
    QVERIFY(sheet);
    QTRY_VERIFY(sheet->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(sheet->systemVoicesListed(), 30000);
    QComboBox *list = sheet->voiceCombo();
    QVERIFY(list->findData(QStringLiteral("flite:slt")) >= 0);
    QVERIFY(list->findData(QStringLiteral("flite:rms")) >= 0);

    // Test, for the character's own voice, each of flite's and the first
    // voice of every other engine listed. flite's are made in the program
    // and find no sound output in this run: each reports that it failed,
    // after flite has made its sound. Another engine reports what it can;
    // it is given a while, and must leave the program standing.
    QStringList enginesTried;
    for (int i = 0; i < list->count(); ++i) {
        // A language's title row is not a voice.
        if (!(list->model()->flags(list->model()->index(i, 0)) & Qt::ItemIsEnabled))
            continue;
        const QString value = list->itemData(i).toString();
        const QString engine = value.section(u':', 0, 1);
        if (value.startsWith(u"qt:") && enginesTried.contains(engine))
            continue;
        enginesTried << engine;
        list->setCurrentIndex(i);
        QTest::mouseClick(sheet->testButton(), Qt::LeftButton);
        Voice *voice = service->lastTestVoice();
        QVERIFY2(voice, qPrintable(value));
        Outcome outcome(voice);
        const bool flite = value.isEmpty() || value.startsWith(u"flite:");
        QVERIFY2(outcome.within(flite ? 20000 : 5000) || !flite, qPrintable(value));
    }

    // "Flite: slt", Enter: OK, and the character speaks with it.
    list->setCurrentIndex(list->findData(QStringLiteral("flite:slt")));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(!sheet->isVisible());
    QCOMPARE(service->settings().voice, QStringLiteral("flite:slt"));
    QVERIFY(completes(c, c->speak(QStringLiteral("Now with another voice.")), 20000));
    // Test while the character speaks: two voices of flite at once.
    service->showPropertySheet();
    const Request speaking = c->speak(QStringLiteral("One, two, three, four, five, six."));
    QTest::mouseClick(sheet->testButton(), Qt::LeftButton);
    QVERIFY(service->lastTestVoice());
    Outcome both(service->lastTestVoice());
    QVERIFY(both.within(20000));
    QVERIFY(completes(c, speaking, 20000));
    // flite has one owner in the program: Qt's engine for it was never
    // loaded beside it.
    QVERIFY(!mapped("libqtexttospeech_flite"));
    // The end: the sheet open, a Test under way.
    QTest::mouseClick(sheet->testButton(), Qt::LeftButton);
    service.reset();
}

void TestVoiceEngines::systemVoiceHandsFliteToTheProgram()
{
    // The system voice with flite as its engine speaks through the
    // program's own flite; its reports carry its own utterance numbers.
    VoiceSettings settings;
    settings.gender = QStringLiteral("male");
    QtVoice voice(settings, {QStringLiteral("flite")});
    QList<int> ended;
    connect(&voice, &Voice::finished, this, [&ended](int u) { ended << u; });
    connect(&voice, &Voice::failed, this, [&ended](int u) { ended << u; });
    const int first = voice.say(QStringLiteral("First."));
    const int second = voice.say(QStringLiteral("Second."));
    QTRY_VERIFY_WITH_TIMEOUT(ended.contains(second), 20000);
    QCOMPARE(voice.engineName(), QStringLiteral("flite"));
    // The first was cut short by the second, or said before it.
    for (int u : std::as_const(ended))
        QVERIFY(u == first || u == second);
    QVERIFY(!mapped("libqtexttospeech_flite"));
}

QTEST_MAIN(TestVoiceEngines)
#include "test_voice_engines.moc"
