#include "CharacterRef.h"
#include "Fakes.h"
#include "CharacterSink.h"
#include "JokeWatch.h"
#include "Jokes.h"
#include "ManualTimers.h"
#include "RecordingCharacter.h"
#include "SettingsStore.h"
#include "TextLines.h"
#include "UserModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;

class TestJokes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lineEnds_data();
    void lineEnds();
    void encodings();
    void loadJokes();
    void tellJoke();
    void emptyLinesAndLeadIn();
    void pickIsUniform();
    void watchOnTheTimers();
};

void TestJokes::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("LF") << QByteArray("a\nb") << QStringList{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("empty line kept") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
    QTest::newRow("blanks kept") << QByteArray("  \r\n") << QStringList{"  "};
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("only an end") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("nothing") << QByteArray() << QStringList{};
}

void TestJokes::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(splitTextLines(bytes), lines);
}

void TestJokes::encodings()
{
    QCOMPARE(splitTextLines("caf\xC3\xA9\n"), QStringList{QString::fromUtf8("café")});
    QCOMPARE(splitTextLines("\xEF\xBB\xBFhi\n"), QStringList{"hi"});
    // Not valid UTF-8: read as Windows-1252 ("é", and "€" at 0x80).
    QCOMPARE(splitTextLines("caf\xE9 \x80" "5\r\n"), QStringList{QString::fromUtf8("café €5")});
}

void TestJokes::loadJokes()
{
    Jokes jokes;
    QVERIFY(!jokes.LoadJokes(QString()));
    QTemporaryDir dir;
    QVERIFY(!jokes.LoadJokes(dir.path() + "/JOKES.TXT"));
    QVERIFY(!jokes.LoadJokes(dir.path())); // a folder is no jokes file
    QVERIFY(jokes.JokeList.isEmpty());

    QFile f(dir.path() + "/JOKES.TXT");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("one\r\ntwo\r\n");
    f.close();
    QVERIFY(jokes.LoadJokes(f.fileName()));
    QVERIFY(jokes.LoadJokes(f.fileName())); // the list only grows
    QCOMPARE(jokes.JokeList, QStringList({"one", "two", "one", "two"}));
}

void TestJokes::tellJoke()
{
    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    test::FakeRandom random;
    Jokes jokes;
    jokes.JokeSay = "Here's one:";

    jokes.TellJoke(agent, random); // no jokes: silent
    QVERIFY(c.log.isEmpty());
    QCOMPARE(jokes.JokeIndex, 1);

    jokes.JokeList = {"first", "second", "third"};
    random.queued = {0.0, 0.34, 0.999999};
    for (int i = 0; i < 3; ++i)
        jokes.TellJoke(agent, random);
    QCOMPARE(c.log, QStringList({
        "Play GetAttention", "Speak Here's one:", "Speak first", "Play Pleased",
        "Play GetAttention", "Speak Here's one:", "Speak second", "Play Pleased",
        "Play GetAttention", "Speak Here's one:", "Speak third", "Play Pleased"}));
    QCOMPARE(jokes.JokeIndex, 3);

    // With no character loaded nothing happens.
    character::CharacterRef none;
    jokes.TellJoke(none, random);
}

void TestJokes::emptyLinesAndLeadIn()
{
    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    test::FakeRandom random;
    Jokes jokes;
    jokes.JokeList = {"", "joke"};
    jokes.JokeSay = "Listen:";
    random.queued = {0.1, 0.9};
    jokes.TellJoke(agent, random);
    jokes.JokeSay.clear();
    jokes.TellJoke(agent, random);
    QCOMPARE(c.log, QStringList({"Play GetAttention", "Speak Listen:", "Play Pleased",
                                 "Play GetAttention", "Speak joke", "Play Pleased"}));
}

void TestJokes::pickIsUniform()
{
    // Each joke owns an equal share of [0, 1).
    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    test::FakeRandom random;
    Jokes jokes;
    jokes.JokeList = {"a", "b", "c", "d"};
    QList<int> picked;
    for (double r : {0.0, 0.2499, 0.25, 0.5, 0.7499, 0.75, 0.9999}) {
        random.queued = {r};
        jokes.TellJoke(agent, random);
        picked << jokes.JokeIndex;
    }
    QCOMPARE(picked, QList<int>({1, 1, 2, 3, 3, 4, 4}));
}

// A day of the joke timer on the test's timers: a joke every fifth minute
// while jokes are on, none while they are off, and the count waiting at 4
// meanwhile, so the first minute after switching on tells one.
void TestJokes::watchOnTheTimers()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    UserModel model(store, UserFiles(dir.path(), dir.path() + "/data"));
    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    CharacterRefSink sink(agent);
    test::FakeRandom random;
    test::ManualTimers timers;
    Jokes jokes;
    jokes.JokeList = {"only"};
    JokeWatch watch(model, jokes, random, sink, timers);
    model.setJokesOn(true);
    model.setJokeLeadIn("Hey:");
    QVERIFY(!watch.running());
    watch.start();
    QCOMPARE(timers.nextDueMs(), qint64(JokeWatch::TickMs));
    const qint64 minute = JokeWatch::TickMs;
    timers.advance(4 * minute);
    QVERIFY(c.log.isEmpty());
    timers.advance(minute);
    QCOMPARE(c.log, QStringList({"Play GetAttention", "Speak Hey:", "Speak only", "Play Pleased"}));
    c.log.clear();
    timers.advance(24 * 60 * minute - 5 * minute);
    QCOMPARE(c.log.count("Speak only"), 24 * 60 / 5 - 1);
    // Off: nothing for an hour, the count waits at 4.
    c.log.clear();
    model.setJokesOn(false);
    timers.advance(60 * minute);
    QVERIFY(c.log.isEmpty());
    QCOMPARE(watch.JokeTicks, qint16(4));
    model.setJokesOn(true);
    timers.advance(minute);
    QCOMPARE(c.log.count("Speak only"), 1);
    // Stopped: no tick comes.
    watch.stop();
    QCOMPARE(timers.armedCount(), 0);
    c.log.clear();
    timers.advance(60 * minute);
    QVERIFY(c.log.isEmpty());
}

QTEST_GUILESS_MAIN(TestJokes)
#include "test_jokes.moc"
