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
#include <QTextDocument>
#include <QGuiApplication>
#include <QScreen>
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

// Names from a damaged or hostile list file (3 MB without a space, wide
// glyphs, right-to-left text, control characters) are cut by what they
// measure in the menu's font: the favourites and office menus and the
// character's own menu stay within the screen at any scale, each cut entry
// keeps the full name in its tooltip, and a short name shows as before.
void TestOutsideSpeech::longNamesKeepTheMenusNarrow()
{
    const QString huge = QStringLiteral("Site") + QString(3 * 1024 * 1024, u'A');
    const QString wide = QString(40, QChar(0x5BEC)) + QStringLiteral(" \u6f22\u5b57"); // 40 wide glyphs
    const QString narrow = QString(60, u'i'); // whole at scale 1, cut at scale 2
    QString arabic;
    while (arabic.size() < 300)
        arabic += QStringLiteral("\u0645\u0648\u0642\u0639 ");
    const QString controls = QStringLiteral("Bank\x1b[31m\u202e") + QString(200, u'x') + QStringLiteral("\x07" "end");
    const QString markup = QStringLiteral("<b>Bold</b> & <img src=\"x.png\">") + QString(100, u'M');
    const QStringList names{huge, wide, narrow, arabic, controls, QStringLiteral("News"), markup};

    UserModel &model = m_run->app->model();
    FrmMenus *menus = m_run->app->frmMenus();
    for (int k = 0; k < names.size(); ++k) {
        model.setSlotName(UserModel::List::Favourites, k, names.at(k));
        model.setSlotName(UserModel::List::Office, k, names.at(k));
    }
    model.showList(UserModel::List::Favourites);
    model.showList(UserModel::List::Office);

    // The character's own menu, with the same names as commands.
    Commands &commands = m_bot->commands();
    for (int k = 0; k < names.size(); ++k)
        QVERIFY(commands.add(QStringLiteral("name%1").arg(k), names.at(k), QString(), true, true));
    commands.setVisible(true);
    m_bot->popupCommandMenu(QPoint(10, 10));
    CommandMenu *own = m_bot->commandMenu();
    QAction *ownEntries[7] = {};
    for (int k = 0; k < names.size(); ++k)
        QVERIFY(ownEntries[k] = own->findChild<QAction *>(CommandMenu::actionName(QStringLiteral("name%1").arg(k))));

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const auto tipText = [](const QString &tip) {
        QTextDocument document;
        document.setHtml(tip);
        return document.toPlainText().remove(u'\n').remove(QChar(0x2029)).remove(QChar(0x2028));
    };
    for (QMenu *menu : {menus->MnuFavourites, menus->MnuMyOffice, static_cast<QMenu *>(own)}) {
        const QString which = menu->objectName();
        QVERIFY2(menu->sizeHint().width() <= screen.width() * 2 / 3,
                 qPrintable(which + QStringLiteral(" is %1 wide").arg(menu->sizeHint().width())));
        QAction *const *entries = menu == own ? ownEntries
                                 : menu == menus->MnuFavourites ? menus->MnuCustom : menus->MnuOffice;
        const QFontMetrics metrics(menu->font());
        for (int k = 0; k < names.size(); ++k) {
            // As drawn: "&&" is an "&", a lone "&" marks the entry's key.
            QString shown;
            const QString text = entries[k]->text();
            for (int i = 0; i < text.size(); ++i) {
                if (text.at(i) == u'&' && i + 1 < text.size() && text.at(i + 1) == u'&')
                    ++i;
                else if (text.at(i) == u'&')
                    continue;
                shown += text.at(i);
            }
            const QString clean = cleanOutsideText(names.at(k).left(5000));
            QVERIFY(k != 0 || clean.startsWith(QStringLiteral("SiteAAAA")));
            const QString row = which + QStringLiteral(" entry %1").arg(k);
            QVERIFY2(!hasControlOrOverride(shown), qPrintable(row));
            QVERIFY2(metrics.horizontalAdvance(shown) <= CommandMenu::entryWidth(*menu),
                     qPrintable(row + QStringLiteral(": %1 px").arg(metrics.horizontalAdvance(shown))));
            // Narrow glyphs fit where as many wide ones do not.
            const bool whole = k == 5 || (k == 2 && QGuiApplication::primaryScreen()->devicePixelRatio() < 1.5);
            if (whole) {
                // Short enough: whole, as before, and no tooltip.
                QCOMPARE(shown, clean);
                QVERIFY(entries[k]->toolTip().isEmpty() || entries[k]->toolTip() == clean);
                continue;
            }
            QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(row + u' ' + shown));
            // (Cut inside a joined script, the last letter keeps its joining form.)
            QVERIFY2(clean.startsWith(QString(shown.chopped(1)).remove(QChar(0x200D))), qPrintable(row + u' ' + shown));
            QVERIFY2(shown.size() > 4, qPrintable(row + u' ' + shown));
            // The whole name, as any outside text is shown (3 MB are cut at
            // its limit), in the tooltip, as text; as much of it as half the
            // screen's height holds when that is less.
            const QString tip = tipText(entries[k]->toolTip());
            if (k == 0 && tip != clean) {
                QVERIFY2(tip.endsWith(QChar(0x2026)) && clean.startsWith(tip.chopped(1)), qPrintable(row));
                QVERIFY2(tip.size() > shown.size() * 3, qPrintable(row + QStringLiteral(" holds %1").arg(tip.size())));
            } else {
                QCOMPARE(tip, clean);
            }
        }
    }
    QVERIFY(own->toolTipsVisible());
    QVERIFY(menus->MnuFavourites->toolTipsVisible());
    own->hide();
    commands.removeAll();
}

QTEST_MAIN(TestOutsideSpeech)
#include "test_outside_speech.moc"
