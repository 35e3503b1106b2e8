#include "CommandRows.h"
#include "VoiceGrammar.h"

#include <QTest>

using namespace kestrova::character;

namespace {

// The voices of the command table, by command name.
const QList<QPair<QString, QString>> &table()
{
    static const QList<QPair<QString, QString>> t = [] {
        QList<QPair<QString, QString>> voices;
        for (const kestrova::test::CommandRow &row : kestrova::test::commandRows())
            voices.append({row.name, row.voice});
        return voices;
    }();
    return t;
}

int distance(const QString &grammar, const QString &phrase)
{
    const ParsedGrammar g = parseVoiceGrammar(grammar);
    Q_ASSERT(g.ok());
    return grammarDistance(*g.root, normalisePhrase(phrase));
}

CommandMatcher tableMatcher()
{
    CommandMatcher m;
    for (const auto &[name, voice] : table())
        m.add(name, voice);
    return m;
}

} // namespace

class TestVoiceGrammar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyGrammarOfTheTableParses();
    void parseErrors_data();
    void parseErrors();
    void treeShape_data();
    void treeShape();

    void accepts_data();
    void accepts();
    void rejects_data();
    void rejects();

    void matcherFindsTheCommand_data();
    void matcherFindsTheCommand();
    void typosLowerTheConfidence();
    void nothingCloseGivesEmptyName();
    void tiesGoToTheFirstRegistered();
    void onlyAllowedCommandsTakePart();
    void typedInputs_data();
    void typedInputs();
    void sentencesOfAGrammar();
    void everySentenceFindsItsCommand();
};

void TestVoiceGrammar::everyGrammarOfTheTableParses()
{
    for (const auto &[name, voice] : table()) {
        const ParsedGrammar g = parseVoiceGrammar(voice);
        QVERIFY2(g.ok(), qPrintable(name + ": " + g.error));
    }
}

void TestVoiceGrammar::parseErrors_data()
{
    QTest::addColumn<QString>("grammar");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << "empty grammar or choice at character 1";
    QTest::newRow("blank") << "   " << "empty grammar or choice";
    QTest::newRow("unclosed optional") << "quit[program" << "\"[\" is not closed at character 5";
    QTest::newRow("unclosed group") << "(move to|go to mouse" << "\"(\" is not closed at character 1";
    QTest::newRow("stray closer") << "quit]" << "unexpected \"]\" at character 5";
    QTest::newRow("wrong closer") << "[a)" << "\"[\" is not closed";
    QTest::newRow("empty optional") << "quit[]" << "empty optional part at character 6";
    QTest::newRow("empty choice") << "(a||b)" << "empty choice";
    QTest::newRow("trailing bar") << "quit|" << "empty grammar or choice";
}

void TestVoiceGrammar::parseErrors()
{
    QFETCH(QString, grammar);
    QFETCH(QString, message);
    const ParsedGrammar g = parseVoiceGrammar(grammar);
    QVERIFY(!g.ok());
    QVERIFY2(g.error.startsWith(message), qPrintable(g.error));
}

void TestVoiceGrammar::treeShape_data()
{
    QTest::addColumn<QString>("grammar");
    QTest::addColumn<QString>("text");
    QTest::newRow("glued optional") << "quit[program|application]" << "quit [program|application]";
    QTest::newRow("two optionals glued") << "[check][e]mail" << "[check] [e] mail";
    QTest::newRow("any words") << "[...]general[...]" << "[...] general [...]";
    QTest::newRow("choice of phrases") << "(move to|go to|follow)mouse" << "(move to|go to|follow) mouse";
    QTest::newRow("case and punctuation") << "Office Menu!" << "office menu";
    QTest::newRow("top-level choice") << "yes|no" << "(yes|no)";
}

void TestVoiceGrammar::treeShape()
{
    QFETCH(QString, grammar);
    QFETCH(QString, text);
    const ParsedGrammar g = parseVoiceGrammar(grammar);
    QVERIFY(g.ok());
    QCOMPARE(grammarToText(*g.root), text);
}

void TestVoiceGrammar::accepts_data()
{
    QTest::addColumn<QString>("grammar");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("quit") << "quit[program|application]" << "quit";
    QTest::newRow("quit application") << "quit[program|application]" << "Quit application";
    QTest::newRow("quit glued") << "quit[program|application]" << "quitprogram";
    QTest::newRow("general alone") << "[...]general[...]" << "general";
    QTest::newRow("general in a sentence") << "[...]general[...]" << "show me the general menu please";
    QTest::newRow("internet split") << "[...](inter net|internet|net|web) menu[...]" << "the inter net menu";
    QTest::newRow("web menu") << "[...](inter net|internet|net|web) menu[...]" << "web menu";
    QTest::newRow("go to mouse pointer") << "(move to|go to|follow)mouse[pointer|cursor]" << "go to mouse pointer";
    QTest::newRow("follow mouse") << "(move to|go to|follow)mouse[pointer|cursor]" << "follow mouse";
    QTest::newRow("a c o glued") << "[open|show]a c o" << "aco";
    QTest::newRow("open a.c.o.") << "[open|show]a c o" << "open A.C.O.";
    QTest::newRow("choose new agent") << "[change|new|choose new|different]agent[character]" << "choose new agent character";
    QTest::newRow("mail") << "[check][e]mail" << "mail";
    QTest::newRow("email") << "[check][e]mail" << "check email";
    QTest::newRow("e-mail") << "[check][e]mail" << "check e-mail";
    QTest::newRow("e mail") << "[check][e]mail" << "check e mail";
    QTest::newRow("word doc") << "[start|open|run]word doc" << "open word doc";
    QTest::newRow("search") << "[start|new][inter net]search" << "new internet search";
}

void TestVoiceGrammar::accepts()
{
    QFETCH(QString, grammar);
    QFETCH(QString, phrase);
    QCOMPARE(distance(grammar, phrase), 0);
}

void TestVoiceGrammar::rejects_data()
{
    QTest::addColumn<QString>("grammar");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("quit twice optional") << "quit[program|application]" << "quit program application";
    QTest::newRow("mouse without verb") << "(move to|go to|follow)mouse[pointer|cursor]" << "mouse";
    QTest::newRow("help with two verbs") << "[show|open|run|get]help" << "show open help";
    QTest::newRow("words after quit") << "quit[program|application]" << "quit now";
    QTest::newRow("menu missing") << "[...]accessories menu[...]" << "accessories";
    QTest::newRow("empty phrase") << "quit" << "";
    QTest::newRow("word order") << "[start|open|run]word doc" << "doc word";
}

void TestVoiceGrammar::rejects()
{
    QFETCH(QString, grammar);
    QFETCH(QString, phrase);
    QVERIFY(distance(grammar, phrase) > 0);
}

void TestVoiceGrammar::matcherFindsTheCommand_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("name");
    QTest::newRow("check mail") << "check mail" << "Check Mail";
    QTest::newRow("new mail") << "new e-mail" << "NewMail";
    QTest::newRow("go to mouse pointer") << "go to mouse pointer" << "MovetoMouse";
    QTest::newRow("quit application") << "quit application" << "Quit";
    QTest::newRow("word") << "run word" << "Word";
    QTest::newRow("word doc") << "run word doc" << "New Document";
    QTest::newRow("office menu") << "my office menu" << "My Office";
    QTest::newRow("calender typo") << "open calendar" << "Calender";
    QTest::newRow("notepad typo") << "open notpad" << "Notepad";
    QTest::newRow("cd player") << "run cd player" << "CD Player";
}

void TestVoiceGrammar::matcherFindsTheCommand()
{
    QFETCH(QString, phrase);
    QFETCH(QString, name);
    const CommandMatcher m = tableMatcher();
    const auto match = m.match(phrase);
    QCOMPARE(match.name, name);
    QVERIFY2(match.confidence > -60, qPrintable(QString::number(match.confidence)));
}

void TestVoiceGrammar::typosLowerTheConfidence()
{
    const CommandMatcher m = tableMatcher();
    const int exact = m.match("check mail").confidence;
    const int oneOff = m.match("chek mail").confidence;
    const int twoOff = m.match("chek mial").confidence;
    QCOMPARE(exact, 100);
    QVERIFY(oneOff < exact);
    QVERIFY(twoOff < oneOff);
    QVERIFY(oneOff > -60);
    QCOMPARE(m.match("chek mail").name, QString("Check Mail"));
}

void TestVoiceGrammar::nothingCloseGivesEmptyName()
{
    const CommandMatcher m = tableMatcher();
    for (const QString phrase : {"xyzzy", "", "!!!", "the quick brown fox jumps"}) {
        const auto match = m.match(phrase);
        QVERIFY2(match.confidence <= -60, qPrintable(phrase + ": " + match.name + " " + QString::number(match.confidence)));
    }
    QCOMPARE(m.match("").name, QString());
    QCOMPARE(m.match("").confidence, -100);
}

void TestVoiceGrammar::tiesGoToTheFirstRegistered()
{
    // "mail" is exact for both mail commands; the one registered first wins.
    const CommandMatcher m = tableMatcher();
    QCOMPARE(m.match("mail").name, QString("Check Mail"));
    QCOMPARE(m.match("mail").confidence, 100);
}

void TestVoiceGrammar::onlyAllowedCommandsTakePart()
{
    const CommandMatcher m = tableMatcher();
    QCOMPARE(m.match("open notepad").name, QString("Notepad"));
    const auto without = m.match("open notepad", QStringList{"Quit", "Wordpad"});
    QVERIFY(without.name != "Notepad");
    QVERIFY(without.confidence < 100);
}

// What people type: slips of the fingers, extra words, and the word of a
// command that is not there. The right command, or none at all (the
// character then says it did not understand) — never a neighbour.
void TestVoiceGrammar::typedInputs_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QStringList>("missing"); // commands not enabled
    QTest::addColumn<QString>("name");        // empty: nothing is run
    const QStringList all;
    QTest::newRow("two slips") << "chek mial" << all << "Check Mail";
    QTest::newRow("swapped letters") << "show optoins" << all << "Options";
    QTest::newRow("a letter left out") << "quit progam" << all << "Quit";
    QTest::newRow("spelled the usual way") << "open calendar" << all << "Calender";
    QTest::newRow("a word more") << "check my mail" << all << "Check Mail";
    QTest::newRow("words around it") << "please check mail" << all << "Check Mail";
    QTest::newRow("a word after") << "open alarm clock" << all << "Alarm";
    QTest::newRow("calculator") << "open calculator" << all << "Calculator";
    QTest::newRow("calculator, politely") << "open calculator please" << all << "Calculator";
    QTest::newRow("calculator not ticked: not the calendar")
        << "open calculator" << QStringList{"Calculator"} << "";
    QTest::newRow("calculator misspelt, not ticked") << "open calculater" << QStringList{"Calculator"} << "";
    QTest::newRow("calendar not there: typed exactly") << "open calender" << QStringList{"Calender"} << "";
    QTest::newRow("wordpad not there: not Word") << "run wordpad" << QStringList{"Wordpad"} << "";
    QTest::newRow("notepad not there: not Wordpad") << "open notepad" << QStringList{"Notepad"} << "";
    QTest::newRow("cd player not there: not the calendar") << "open cd player" << QStringList{"CD Player"} << "";
    QTest::newRow("another command's word beside") << "open notepad calender" << all << "";
    // The questions, as people put them.
    QTest::newRow("what time is it") << "What time is it?" << all << "What Time";
    QTest::newRow("what's the time") << "what's the time" << all << "What Time";
    QTest::newRow("what is the time now") << "what is the time now" << all << "What Time";
    QTest::newRow("tell me the time") << "tell me the time" << all << "What Time";
    QTest::newRow("what's the date") << "what's the date" << all << "What Date";
    QTest::newRow("what is the date today") << "what is the date today" << all << "What Date";
    QTest::newRow("what's today's date") << "what's today's date?" << all << "What Date";
    QTest::newRow("what day is it") << "what day is it" << all << "What Date";
    QTest::newRow("a slip in the question") << "what tme is it" << all << "What Time";
    QTest::newRow("read this") << "read this" << all << "Read Selected Text";
    QTest::newRow("read the selected text") << "read the selected text" << all << "Read Selected Text";
    // ... and what they must not take: the word processor keeps "read
    // selection", and a "the" or "what" typed around another command still
    // finds that command.
    QTest::newRow("read selection stays the word processor's") << "read selection" << all << "Read Selection";
    QTest::newRow("read the selection") << "read the selection" << all << "Read Selection";
    QTest::newRow("open the calendar") << "open the calendar" << all << "Calender";
    QTest::newRow("check the mail") << "check the mail" << all << "Check Mail";
    QTest::newRow("set the alarm") << "set the alarm" << all << "Alarm";
    QTest::newRow("open this file") << "open this file" << all << "Open File";
    QTest::newRow("the time beside another command") << "open calendar time" << all << "";
    // Sentences that are no command, however close their letters come to
    // one: the word that says what the command is about is not there.
    QTest::newRow("tell me a joke") << "tell me a joke" << all << "";
    QTest::newRow("Tell me a joke!") << "Tell me a joke!" << all << "";
    QTest::newRow("tell me a story") << "tell me a story" << all << "";
    QTest::newRow("tell me the news") << "tell me the news" << all << "";
    QTest::newRow("what is the weather") << "what is the weather" << all << "";
    QTest::newRow("open the door") << "open the door" << all << "";
    QTest::newRow("run away") << "run away" << all << "";
    // ... while the command's own words, around or slipped, still find it.
    QTest::newRow("tell me the time please") << "tell me the time please" << all << "What Time";
    QTest::newRow("tell me teh time") << "tell me teh time" << all << "What Time";
    QTest::newRow("glued") << "gotomouse" << all << "MovetoMouse";
    QTest::newRow("split") << "open note pad" << all << "Notepad";
    // A menu by its caption, without the word "menu".
    QTest::newRow("my office") << "my office" << all << "My Office";
    QTest::newRow("accessories") << "accessories" << all << "Accessories";
}

void TestVoiceGrammar::typedInputs()
{
    QFETCH(QString, phrase);
    QFETCH(QStringList, missing);
    QFETCH(QString, name);
    const CommandMatcher m = tableMatcher();
    QStringList enabled;
    for (const auto &[command, voice] : table())
        if (!missing.contains(command))
            enabled << command;
    const auto match = m.match(phrase, enabled);
    // What the host runs: a name with a confidence above -60.
    const QString run = match.confidence > -60 ? match.name : QString();
    QVERIFY2(run == name, qPrintable(QStringLiteral("%1 (%2)").arg(match.name).arg(match.confidence)));
}

void TestVoiceGrammar::sentencesOfAGrammar()
{
    const ParsedGrammar aco = parseVoiceGrammar("[open|show]a c o");
    QCOMPARE(grammarSentences(*aco.root),
             (QList<QStringList>{{"a", "c", "o"}, {"open", "a", "c", "o"}, {"show", "a", "c", "o"}}));
    const ParsedGrammar menu = parseVoiceGrammar("[...](inter net|web) menu");
    QCOMPARE(grammarSentences(*menu.root),
             (QList<QStringList>{{"inter", "net", "menu"}, {"...", "inter", "net", "menu"}, {"web", "menu"},
                                 {"...", "web", "menu"}}));
    QCOMPARE(grammarSentences(*menu.root, 3).size(), 3);
}

// Every sentence a grammar of the table accepts, typed as it stands, finds
// that command, or one registered before it that accepts the very same
// sentence ("mail" is both mail commands' and goes to the first).
void TestVoiceGrammar::everySentenceFindsItsCommand()
{
    const CommandMatcher m = tableMatcher();
    int tried = 0;
    for (qsizetype k = 0; k < table().size(); ++k) {
        const ParsedGrammar g = parseVoiceGrammar(table()[k].second);
        for (QStringList sentence : grammarSentences(*g.root)) {
            sentence.removeAll("...");
            const QString phrase = sentence.join(' ');
            const auto match = m.match(phrase);
            QString expected = table()[k].first;
            for (qsizetype e = 0; e < k; ++e)
                if (distance(table()[e].second, phrase) == 0) {
                    expected = table()[e].first;
                    break;
                }
            QVERIFY2(match.name == expected && match.confidence == 100,
                     qPrintable(QStringLiteral("\"%1\": %2 (%3)").arg(phrase, match.name).arg(match.confidence)));
            ++tried;
        }
    }
    QVERIFY(tried > 200);
}

QTEST_GUILESS_MAIN(TestVoiceGrammar)
#include "test_voice_grammar.moc"
