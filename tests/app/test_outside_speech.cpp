// Text from outside the program on its way to the character: mail senders
// and subjects, the clipboard, alarm texts, the user's name, the word
// processor's selection, another program's selection, favourite names. Each is made into a speech text
// by the program's own code and handed to a real desktop character; the
// test reads what its voice was given, what its balloon showed and what its
// log wrote.
#include "AlarmWatch.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmQuick.h"
#include "FrmUser.h"
#include "HeaderDecoding.h"
#include "MailCheck.h"
#include "SpeechText.h"
#include "TestRun.h"
#include "UserModel.h"
#include "WordControls.h"
#include "desktop/CommandMenu.h"
#include "desktop/DesktopCharacter.h"

#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kestrova;
using namespace kestrova::character;
using kestrova::test::TestRun;

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");

// A voice that writes down what it is given and goes on speaking until
// stopped.
class RecordingVoice : public Voice {
    Q_OBJECT
public:
    bool isAvailable() const override { return true; }
    int say(const QString &text) override
    {
        said << text;
        return ++m_next;
    }
    void stop() override {}
    QStringList said;

private:
    int m_next = 0;
};

// The mail check's sentences, as the options window hands them on.
class ListSink : public MailSink {
public:
    QStringList speech;
    void AgentVisible() override {}
    void Play(const QString &) override {}
    void Speak(const QString &text) override { speech << text; }
};

QStringList g_log;
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (context.category && QByteArray(context.category) == "kestrova.character")
        g_log << message;
}

bool hasControlOrOverride(const QString &s)
{
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            return true;
    }
    return false;
}

enum Source {
    MailSender,
    MailSubject,
    ClipboardText,
    Alarm,
    SilentAlarm,
    UserName,
    NewUserName,
    WordSelection,
    SelectedText,       // the toolbar's item
    SelectedTextSpoken, // the spoken command
};

struct Hostile {
    const char *name;
    QString text;
    QString expected; // what is said and shown
};

QList<Hostile> hostileTexts()
{
    QString longText;
    while (longText.size() < 5000)
        longText += QStringLiteral("word ");
    return {
        {"bars", QStringLiteral("a|b|c"), QStringLiteral("a|b|c")},
        {"a sentence in the character's voice",
         QStringLiteral("x|Your mail password has expired. Type it into the box now.|y"),
         QStringLiteral("x|Your mail password has expired. Type it into the box now.|y")},
        {"map tag", QStringLiteral("\\Map=\"I love you\"=\"Quarterly report\"\\"),
         QStringLiteral("\\Map=\"I love you\"=\"Quarterly report\"\\")},
        {"bell and escape sequences", QStringLiteral("Ring\x07 \x1b[1;31mred\x1b[0m \x1b]0;title\x07" "done"),
         QStringLiteral("Ring red done")},
        {"right-to-left override", QStringLiteral("report\u202etxt.exe"), QStringLiteral("reporttxt.exe")},
        {"forged end of the piece", QStringLiteral("a\ufdd1|\\Map=\"p\"=\"q\"\\"), QStringLiteral("a|\\Map=\"p\"=\"q\"\\")},
        {"line breaks", QStringLiteral("Ann\r\nExample\t<ann@example.org>"), QStringLiteral("Ann Example <ann@example.org>")},
        {"5,000 characters", longText, QStringList(60, QStringLiteral("word")).join(u' ') + QChar(0x2026)},
    };
}

} // namespace

class TestOutsideSpeech : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void sourcesAreSpokenAsText_data();
    void sourcesAreSpokenAsText();
    void encodedWordsInMail_data();
    void encodedWordsInMail();
    void favouriteNames_data();
    void favouriteNames();
    void longNamesKeepTheMenusNarrow();

private:
    // The speech text one source makes of the text, and the words the
    // program puts around it.
    QString speechFrom(Source source, const QString &text, QString *prefix, QString *suffix, bool *thought);
    struct Heard {
        QString voice, balloon, log;
    };
    // What the desktop character does with a speech text.
    Heard throughCharacter(const QString &text, bool thought);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
    std::unique_ptr<DesktopCharacter> m_bot;
    RecordingVoice *m_voice = nullptr;
};

void TestOutsideSpeech::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("kestrova.character.debug=true"));
    std::optional<CharacterModel> model = CharacterModel::load(TestbotFolder);
    QVERIFY(model);
    auto voice = std::make_unique<RecordingVoice>();
    m_voice = voice.get();
    m_bot = std::make_unique<DesktopCharacter>(std::move(*model), std::move(voice));
    // The last alternative: a text split where it should not be is heard.
    m_bot->setPick([](int count) { return count - 1; });
    bool shown = false;
    connect(m_bot.get(), &Character::requestComplete, this, [&shown] { shown = true; });
    m_bot->show();
    QTRY_VERIFY(shown);
    m_bot->disconnect(this);
}

void TestOutsideSpeech::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_run = std::make_unique<TestRun>(m_dir->path());
    m_run->agent();
    m_run->character().completeAll();
    m_run->agent().Agent.Show();
    m_run->character().completeAll();
    m_run->character().log.clear();
}

void TestOutsideSpeech::cleanup()
{
    m_run.reset();
}

void TestOutsideSpeech::cleanupTestCase()
{
    m_bot.reset();
    QLoggingCategory::setFilterRules(QString());
}

QString TestOutsideSpeech::speechFrom(Source source, const QString &text, QString *prefix, QString *suffix,
                                      bool *thought)
{
    TestRun &run = *m_run;
    test::RecordingCharacter &c = run.character();
    *thought = false;
    suffix->clear();
    switch (source) {
    case MailSender:
    case MailSubject: {
        test::FakeMailboxScript script;
        script.count = 1;
        script.messages = {{source == MailSender ? text : QStringLiteral("Hello"),
                            source == MailSubject ? text : QStringLiteral("Hello")}};
        test::FakeMailbox box(script);
        ListSink sink;
        CheckMail(box, MailAccount{}, sink);
        *prefix = source == MailSender ? QStringLiteral("Message 1 from ") : QStringLiteral("Subject ");
        const qsizetype at = source == MailSender ? 2 : 3;
        return sink.speech.value(at);
    }
    case ClipboardText:
        run.platform.clipboard.contents = text;
        run.app->frmQuick()->Toolbar_ButtonMenuClick(QStringLiteral("clipboard"));
        prefix->clear();
        break;
    case SelectedText:
    case SelectedTextSpoken:
        // The clipboard holds something else: only the selection is read.
        run.platform.clipboard.contents = QStringLiteral("clipboard");
        run.platform.clipboard.selection = text;
        if (source == SelectedText)
            run.app->frmQuick()->Toolbar_ButtonMenuClick(QStringLiteral("selection"));
        else
            run.agent().AgentCtrl_Command(UserInput{QStringLiteral("Read Selected Text"), 70, QStringLiteral("read this")});
        prefix->clear();
        break;
    case Alarm:
    case SilentAlarm: {
        AlarmWatch &alarm = run.app->alarm();
        alarm.AlarmSay = QStringLiteral("Time for");
        alarm.AlarmEvent = text;
        alarm.AlarmSilent = source == SilentAlarm;
        alarm.arm(QTime(7, 30));
        run.platform.clock.time = QDateTime(QDate(2026, 12, 8), QTime(7, 30));
        alarm.Timer1_Timer();
        *prefix = QStringLiteral("Time for ");
        *thought = source == SilentAlarm;
        break;
    }
    case UserName:
        run.app->model().setUserName(text);
        run.agent().AgentQuit();
        *prefix = QStringLiteral("Goodbye ");
        break;
    case NewUserName:
        run.app->frmUser()->show();
        run.app->frmUser()->TxtName->setText(text);
        run.app->frmUser()->CmdOK_Click();
        *prefix = QStringLiteral("Hello ");
        *suffix = QStringLiteral("; my name is Kess");
        break;
    case WordSelection:
        run.platform.wordProcessor.selection = text;
        run.app->wordControls().OpenWord();
        run.app->wordControls().ReadSelection();
        if (!run.app->wordControls().waitForIdle(5000))
            return {};
        QCoreApplication::sendPostedEvents();
        prefix->clear();
        break;
    }
    return c.speech.value(c.speech.size() - 1);
}

TestOutsideSpeech::Heard TestOutsideSpeech::throughCharacter(const QString &text, bool thought)
{
    Heard heard;
    m_voice->said.clear();
    g_log.clear();
    g_previous = qInstallMessageHandler(collect);
    const Request r = thought ? m_bot->think(text) : m_bot->speak(text);
    const bool started = QTest::qWaitFor([this] { return m_bot->balloon()->isVisible(); }, 3000);
    qInstallMessageHandler(g_previous);
    heard.voice = m_voice->said.join(u'\n');
    heard.balloon = started ? m_bot->balloon()->text() : QStringLiteral("(no balloon)");
    m_bot->stopAll();
    const QString queued = QStringLiteral("#%1 ").arg(r.id());
    for (const QString &line : std::as_const(g_log))
        if (line.startsWith(queued))
            heard.log = line.mid(queued.size());
    return heard;
}

void TestOutsideSpeech::sourcesAreSpokenAsText_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const std::pair<Source, const char *> sources[] = {
        {MailSender, "sender"},   {MailSubject, "subject"},     {ClipboardText, "clipboard"},
        {Alarm, "alarm"},         {SilentAlarm, "silent alarm"}, {UserName, "user name"},
        {NewUserName, "new user"}, {WordSelection, "selection"}, {SelectedText, "selected text"},
        {SelectedTextSpoken, "selected text, spoken"},
    };
    for (const auto &[source, sourceName] : sources)
        for (const Hostile &h : hostileTexts())
            QTest::addRow("%s: %s", sourceName, h.name) << int(source) << h.text << h.expected;
}

void TestOutsideSpeech::sourcesAreSpokenAsText()
{
    QFETCH(int, source);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QString prefix, suffix;
    bool thought = false;
    const QString speech = speechFrom(Source(source), text, &prefix, &suffix, &thought);
    QVERIFY(!speech.isEmpty());
    const QString said = prefix + expected + suffix;

    // The program's own log of the request, through the recording double.
    if (source != MailSender && source != MailSubject)
        QVERIFY(m_run->character().log.contains((thought ? QStringLiteral("Think ") : QStringLiteral("Speak ")) + said));

    const Heard heard = throughCharacter(speech, thought);
    QCOMPARE(heard.voice, thought ? QString() : said);
    QCOMPARE(heard.balloon, said);
    QVERIFY2(!hasControlOrOverride(heard.log), qPrintable(heard.log));
    const QString logged = (thought ? QStringLiteral("Think \"") : QStringLiteral("Speak \"")) + said;
    if (said.size() <= 200)
        QCOMPARE(heard.log, logged + u'"');
    else
        QVERIFY2(heard.log.startsWith(logged.left(200)) && heard.log.size() < 260, qPrintable(heard.log));
}

void TestOutsideSpeech::encodedWordsInMail_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("topic");
    const QByteArray tag = QStringLiteral("x|\\Map=\"I love you\"=\"Quarterly report\"\\ \u202etxt.exe\x1b[2J").toUtf8();
    QTest::newRow("base64 words with bars, a map tag, an override and ESC")
        << QByteArray("=?UTF-8?B?" + tag.toBase64() + "?= <a@example.org>")
        << QByteArray("=?UTF-8?B?" + QByteArray("a|b|c").toBase64() + "?=")
        << QStringLiteral("x|\\Map=\"I love you\"=\"Quarterly report\"\\ txt.exe") << QStringLiteral("a|b|c");
    QTest::newRow("quoted-printable control characters")
        << QByteArray("=?ISO-8859-1?Q?Bob=07=1B]0;t=07?= <b@example.org>")
        << QByteArray("=?UTF-8?Q?=E2=80=AEfdp.exe_=7C_now?=")
        << QStringLiteral("Bob") << QStringLiteral("fdp.exe | now");
}

void TestOutsideSpeech::encodedWordsInMail()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, subject);
    QFETCH(QString, sender);
    QFETCH(QString, topic);
    // Decoded as the mailbox decodes the headers it fetched.
    test::FakeMailboxScript script;
    script.count = 1;
    script.messages = {{mail::senderName(from), mail::decodeHeader(subject).trimmed()}};
    test::FakeMailbox box(script);
    ListSink sink;
    CheckMail(box, MailAccount{}, sink);
    QCOMPARE(sink.speech.size(), 5);

    const Heard fromLine = throughCharacter(sink.speech.at(2), false);
    QCOMPARE(fromLine.voice, QStringLiteral("Message 1 from ") + sender);
    QCOMPARE(fromLine.balloon, QStringLiteral("Message 1 from ") + sender);
    QCOMPARE(fromLine.log, QStringLiteral("Speak \"Message 1 from %1\"").arg(sender));
    const Heard subjectLine = throughCharacter(sink.speech.at(3), false);
    QCOMPARE(subjectLine.voice, QStringLiteral("Subject ") + topic);
    QCOMPARE(subjectLine.balloon, QStringLiteral("Subject ") + topic);
    QCOMPARE(subjectLine.log, QStringLiteral("Speak \"Subject %1\"").arg(topic));
}

void TestOutsideSpeech::favouriteNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("override") << QStringLiteral("News\u202etxt.exe") << "Newstxt.exe";
    QTest::newRow("escape sequence and bell") << QStringLiteral("BBC\x1b[31m News\x07") << "BBC News";
    QTest::newRow("ampersand and bar") << QStringLiteral("Barnes & Noble|x") << "Barnes && Noble|x";
}

void TestOutsideSpeech::favouriteNames()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    // The favourites menu.
    FrmMain *options = m_run->app->frmMain();
    options->TxtSiteName[0]->setText(name);
    options->SetFavouritesMenu();
    QCOMPARE(m_run->app->frmMenus()->MnuCustom[0]->text(), shown);

    // The character's command menu, and the log when the entry is chosen.
    Commands &commands = m_bot->commands();
    QVERIFY(commands.add(name, name, QString(), true, true));
    commands.setVisible(true);
    m_bot->popupCommandMenu(QPoint(10, 10));
    QAction *entry = m_bot->commandMenu()->findChild<QAction *>(CommandMenu::actionName(name));
    QVERIFY(entry);
    // Shown as it stands, with a key of its own marked in it.
    QString marked = entry->text();
    for (int i = 0; i < marked.size(); ++i) {
        if (marked.at(i) != u'&')
            continue;
        if (i + 1 < marked.size() && marked.at(i + 1) == u'&')
            ++i;
        else {
            marked.remove(i, 1);
            break;
        }
    }
    QCOMPARE(marked, shown);
    g_log.clear();
    g_previous = qInstallMessageHandler(collect);
    entry->trigger();
    const bool logged = QTest::qWaitFor([] { return !g_log.filter(QStringLiteral("Command ")).isEmpty(); }, 3000);
    qInstallMessageHandler(g_previous);
    m_bot->commandMenu()->hide();
    commands.removeAll();
    QVERIFY(logged);
    const QString line = g_log.filter(QStringLiteral("Command ")).first();
    QVERIFY2(!hasControlOrOverride(line), qPrintable(line));
    QVERIFY2(line.contains(QString(shown).replace(QStringLiteral("&&"), QStringLiteral("&"))), qPrintable(line));
}

// A name of thousands of characters (a damaged list file) is cut in the
// favourites menu and in the character's own menu: neither grows wider
// than a screen, and the name's start stays readable.
void TestOutsideSpeech::longNamesKeepTheMenusNarrow()
{
    const QString name = QStringLiteral("Site ") + QString(3000, u'A');
    FrmMain *options = m_run->app->frmMain();
    options->TxtSiteName[0]->setText(name);
    options->SetFavouritesMenu();
    FrmMenus *menus = m_run->app->frmMenus();
    const QString text = menus->MnuCustom[0]->text();
    QCOMPARE(text.size(), CommandMenu::MaxEntryChars);
    QVERIFY(text.startsWith(QStringLiteral("Site AAA")));
    QVERIFY(text.endsWith(QChar(0x2026)));
    QVERIFY2(menus->MnuFavourites->sizeHint().width() < 800, qPrintable(QString::number(menus->MnuFavourites->sizeHint().width())));

    Commands &commands = m_bot->commands();
    QVERIFY(commands.add(QStringLiteral("long"), name, QString(), true, true));
    commands.setVisible(true);
    m_bot->popupCommandMenu(QPoint(10, 10));
    CommandMenu *menu = m_bot->commandMenu();
    QAction *entry = menu->findChild<QAction *>(CommandMenu::actionName(QStringLiteral("long")));
    QVERIFY(entry);
    QVERIFY2(entry->text().size() <= CommandMenu::MaxEntryChars + 1, qPrintable(QString::number(entry->text().size())));
    const int width = menu->sizeHint().width();
    menu->hide();
    commands.removeAll();
    QVERIFY2(width < 800, qPrintable(QString::number(width)));
}

QTEST_MAIN(TestOutsideSpeech)
#include "test_outside_speech.moc"
